#include "Net/NSURLResponse.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::string trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int64_t contentLength(const NSHTTPHeaderFields& headers) {
    const auto found = headers.find("Content-Length");
    if (found == headers.end())
        return -1;
    const std::string text = trimmed(found->second);
    int64_t length = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size() || length < 0)
        return -1;
    return length;
}

// "text/html; charset=UTF-8" -> ("text/html", "utf-8").
std::pair<std::string, std::optional<std::string>> contentType(const NSHTTPHeaderFields& headers) {
    const auto found = headers.find("Content-Type");
    if (found == headers.end())
        return {"", std::nullopt};
    const std::string_view value = found->second;
    const size_t semicolon = value.find(';');
    std::string mime = lowered(trimmed(value.substr(0, semicolon)));
    std::optional<std::string> charset;
    size_t position = semicolon;
    while (position != std::string_view::npos) {
        const size_t next = value.find(';', position + 1);
        const std::string parameter = trimmed(value.substr(
            position + 1, next == std::string_view::npos ? value.npos : next - position - 1));
        if (lowered(parameter.substr(0, 8)) == "charset=") {
            std::string name = trimmed(parameter.substr(8));
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
                name = name.substr(1, name.size() - 2);
            charset = lowered(name);
        }
        position = next;
    }
    return {mime, charset};
}

}  // namespace

NSURLResponse::NSURLResponse(NSURL url, std::string MIMEType, int64_t expectedContentLength,
                             std::optional<std::string> textEncodingName)
    : url_(std::move(url)),
      mimeType_(std::move(MIMEType)),
      expectedContentLength_(expectedContentLength),
      textEncodingName_(std::move(textEncodingName)) {}

NSHTTPURLResponse::NSHTTPURLResponse(NSURL url, long statusCode, NSHTTPHeaderFields headerFields)
    : NSURLResponse(std::move(url), contentType(headerFields).first, contentLength(headerFields),
                    contentType(headerFields).second),
      statusCode_(statusCode),
      headers_(std::move(headerFields)) {}

std::optional<std::string> NSHTTPURLResponse::valueForHTTPHeaderField(
    const std::string& field) const {
    const auto found = headers_.find(field);
    if (found == headers_.end())
        return std::nullopt;
    return found->second;
}
