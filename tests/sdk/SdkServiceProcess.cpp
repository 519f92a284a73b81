#include "SdkServiceProcess.h"

#include "Foundation/NSJSONSerialization.h"
#include "LocalServerSpawn.h"
#include "Net/NSURLConnection.h"
#include "sdk/BITZizavaFormatting.h"

SdkServiceProcess::SdkServiceProcess(const std::vector<std::string>& apps,
                                     const std::vector<std::string>& options) {
    std::vector<std::string> arguments{KELVARA_SDK_SERVICE, "--port", "0", "--test-control"};
    for (const std::string& app : apps) {
        arguments.push_back("--app");
        arguments.push_back(app);
    }
    arguments.insert(arguments.end(), options.begin(), options.end());
    port_ = spawnLocalServer(std::move(arguments), pid_);
}

SdkServiceProcess::~SdkServiceProcess() {
    stopLocalServer(pid_);
}

std::string SdkServiceProcess::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

Value SdkServiceProcess::received() const {
    return getJSON("_received");
}

Value SdkServiceProcess::crashes() const {
    return getJSON("_crashes");
}

Value SdkServiceProcess::getJSON(const std::string& path) const {
    const NSURLRequest request(*NSURL::URLWithString(baseURL() + path));
    const auto data = NSURLConnection::sendSynchronousRequest(request);
    if (!data)
        return Value(Value::Array{});
    return NSJSONSerialization::JSONObjectWithData(*data).value_or(Value(Value::Array{}));
}

void SdkServiceProcess::control(const std::string& pathAndQuery, const std::string& body) const {
    NSMutableURLRequest request(*NSURL::URLWithString(baseURL() + pathAndQuery));
    request.setHTTPMethod("POST");
    if (!body.empty()) {
        request.setValueForHTTPHeaderField("application/octet-stream", "Content-Type");
        request.setHTTPBody(Value::Data(body.begin(), body.end()));
    }
    NSURLConnection::sendSynchronousRequest(request);
}

std::optional<size_t> SdkServiceProcess::memoryUsed() const {
    const Value memory = getJSON("_memory");
    const Value* used = memory.get("used");
    if (!used || !used->integerValue())
        return std::nullopt;
    return size_t(*used->integerValue());
}

void SdkServiceProcess::reset() const {
    control("_control/reset");
}

void SdkServiceProcess::answerNextWith(int status) const {
    control("_control/next?status=" + std::to_string(status));
}

void SdkServiceProcess::dropNext() const {
    control("_control/next?drop=1");
}

void SdkServiceProcess::answerNextWith(int status, const std::string& body,
                                       const std::string& location) const {
    std::string query = "_control/next?status=" + std::to_string(status);
    if (!location.empty())
        query += "&location=" + bit_URLEncodedString(location);
    // The body goes as the request's: an address would bound its length.
    if (body.empty())
        query += "&body=";
    control(query, body);
}

long SdkServiceProcess::setBuilds(const std::string& app, const std::string& json) const {
    NSMutableURLRequest request(
        *NSURL::URLWithString(baseURL() + "_control/builds?app=" + bit_URLEncodedString(app)));
    request.setHTTPMethod("POST");
    request.setHTTPBody(Value::Data(json.begin(), json.end()));
    std::optional<NSHTTPURLResponse> response;
    NSURLConnection::sendSynchronousRequest(request, &response);
    return response ? response->statusCode() : 0;
}

void SdkServiceProcess::setStoreVersion(const std::string& bundleId, const std::string& country,
                                        const std::string& version) const {
    control("_control/store?bundleId=" + bit_URLEncodedString(bundleId) + "&country=" +
            bit_URLEncodedString(country) + "&version=" + bit_URLEncodedString(version));
}
