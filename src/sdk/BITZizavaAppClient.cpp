#include "sdk/BITZizavaAppClient.h"

#include <random>

#include "Foundation/NSLog.h"

namespace {

void append(Value::Data& data, std::string_view text) {
    data.insert(data.end(), text.begin(), text.end());
}

// Quotes, backslashes and control characters cannot appear inside a quoted
// header value; they are written as percent escapes, as browsers do.
std::string quotedHeaderValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == '%' || byte < 0x20 || byte == 0x7F) {
            static constexpr char digits[] = "0123456789ABCDEF";
            escaped += '%';
            escaped += digits[byte >> 4];
            escaped += digits[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string withoutLineBreaks(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c != '\r' && c != '\n')
            result += c;
    }
    return result;
}

// The part of a path before its query, and the query.
std::pair<std::string, std::optional<std::string>> splitQuery(const std::string& path) {
    const size_t question = path.find('?');
    if (question == std::string::npos)
        return {path, std::nullopt};
    return {path.substr(0, question), path.substr(question + 1)};
}

}  // namespace

BITZizavaAppClient::BITZizavaAppClient(NSURL baseURL) : baseURL_(std::move(baseURL)) {}

BITZizavaAppClient::~BITZizavaAppClient() {
    cancelOperationsWithPathMethod(std::nullopt, std::nullopt);
}

NSMutableURLRequest BITZizavaAppClient::requestWithMethodPathParameters(
    const std::string& method, const std::optional<std::string>& path,
    const std::optional<Parameters>& parameters) const {
    const auto [pathPart, pathQuery] = splitQuery(path.value_or(""));
    std::string text = baseURL_.URLByAppendingPathComponent(pathPart).absoluteString();
    if (pathQuery)
        text += "?" + NSURL::percentEncode(*pathQuery, "=&;,/?:@+$!*'()%");
    const bool isGet = method == "GET";
    if (parameters && isGet)
        text += (pathQuery ? "&" : "?") + queryStringFromParametersWithEncoding(*parameters);
    const auto url = NSURL::URLWithString(text);
    if (!url)
        NSLogWithLevel(NSLogLevel::Error, "Cannot make a URL of %s", text.c_str());
    NSMutableURLRequest request(url.value_or(baseURL_));
    request.setHTTPMethod(method);
    if (!parameters || isGet)
        return request;

    std::vector<std::string_view> contents;
    for (const auto& [key, value] : *parameters) {
        contents.push_back(key);
        contents.push_back(value);
    }
    const std::string boundary = boundaryForContents(contents);
    request.setValueForHTTPHeaderField("multipart/form-data; boundary=" + boundary, "Content-type");
    Value::Data body;
    for (const auto& [key, value] : *parameters) {
        const Value::Data part = dataWithPostValueForKeyBoundary(value, key, boundary);
        body.insert(body.end(), part.begin(), part.end());
    }
    append(body, "--" + boundary + "--\r\n");
    request.setHTTPBody(std::move(body));
    return request;
}

std::shared_ptr<BITHTTPOperation> BITZizavaAppClient::operationWithURLRequestCompletion(
    const NSURLRequest& request, Completion completion) const {
    auto operation = BITHTTPOperation::operationWithRequest(request);
    operation->setCompletion(std::move(completion));
    return operation;
}

void BITZizavaAppClient::getPathParametersCompletion(const std::optional<std::string>& path,
                                                     const std::optional<Parameters>& parameters,
                                                     Completion completion) {
    enqeueHTTPOperation(operationWithURLRequestCompletion(
        requestWithMethodPathParameters("GET", path, parameters), std::move(completion)));
}

void BITZizavaAppClient::postPathParametersCompletion(const std::optional<std::string>& path,
                                                      const std::optional<Parameters>& parameters,
                                                      Completion completion) {
    enqeueHTTPOperation(operationWithURLRequestCompletion(
        requestWithMethodPathParameters("POST", path, parameters), std::move(completion)));
}

void BITZizavaAppClient::enqeueHTTPOperation(const std::shared_ptr<BITHTTPOperation>& operation) {
    operationQueue()->addOperation(operation);
}

size_t BITZizavaAppClient::cancelOperationsWithPathMethod(
    const std::optional<std::string>& path, const std::optional<std::string>& method) {
    if (!operationQueue_)
        return 0;
    std::optional<std::string> pathURL;
    if (path)
        pathURL = requestWithMethodPathParameters("GET", path, std::nullopt).URL().absoluteString();
    size_t cancelled = 0;
    for (const auto& operation : operationQueue_->operations()) {
        const NSURLRequest& request = operation->URLRequest();
        const bool methodMatches = !method || request.HTTPMethod() == *method;
        const bool pathMatches = !pathURL || request.URL().absoluteString() == *pathURL;
        if (methodMatches && pathMatches && !operation->isFinished() && !operation->isCancelled()) {
            operation->cancel();
            ++cancelled;
        }
    }
    return cancelled;
}

std::shared_ptr<BITHTTPOperationQueue> BITZizavaAppClient::operationQueue() {
    if (!operationQueue_)
        operationQueue_ = std::make_shared<BITHTTPOperationQueue>();
    return operationQueue_;
}

void BITZizavaAppClient::setOperationQueue(std::shared_ptr<BITHTTPOperationQueue> queue) {
    operationQueue_ = std::move(queue);
}

Value::Data BITZizavaAppClient::dataWithPostValueForKeyBoundary(const std::string& value,
                                                                const std::string& key,
                                                                const std::string& boundary) {
    return dataWithPostValueForKeyContentTypeBoundaryFilename(
        Value::Data(value.begin(), value.end()), key, "text", boundary, std::nullopt);
}

Value::Data BITZizavaAppClient::dataWithPostValueForKeyContentTypeBoundaryFilename(
    const Value::Data& value, const std::string& key, const std::string& contentType,
    const std::string& boundary, const std::optional<std::string>& filename) {
    Value::Data part;
    append(part, "--" + boundary + "\r\n");
    if (filename) {
        append(part, "Content-Disposition: form-data; name=\"" + quotedHeaderValue(key) +
                         "\"; filename=\"" + quotedHeaderValue(*filename) + "\"\r\n");
        append(part, "Content-Type: " + withoutLineBreaks(contentType) + "\r\n");
        append(part, "Content-Transfer-Encoding: binary\r\n\r\n");
    } else {
        append(part, "Content-Disposition: form-data; name=\"" + quotedHeaderValue(key) + "\"\r\n");
        append(part, "Content-Type: " + withoutLineBreaks(contentType) + "\r\n\r\n");
    }
    part.insert(part.end(), value.begin(), value.end());
    append(part, "\r\n");
    return part;
}

std::string BITZizavaAppClient::boundaryForContents(const std::vector<std::string_view>& contents) {
    const auto occurs = [&](const std::string& boundary) {
        for (const std::string_view content : contents) {
            if (content.find(boundary) != std::string_view::npos)
                return true;
        }
        return false;
    };
    std::string boundary = kDefaultBoundary;
    if (!occurs(boundary))
        return boundary;
    std::random_device seed;
    std::mt19937_64 random(seed());
    static constexpr char digits[] = "0123456789abcdef";
    do {
        boundary = kDefaultBoundary;
        for (int i = 0; i < 24; ++i)
            boundary += digits[random() % 16];
    } while (occurs(boundary));
    return boundary;
}

std::string BITZizavaAppClient::queryStringFromParametersWithEncoding(
    const Parameters& parameters) {
    std::string query;
    for (const auto& [key, value] : parameters) {
        query += query.empty() ? "" : "&";
        query += NSURL::percentEncode(key) + "=" + NSURL::percentEncode(value);
    }
    return query;
}
