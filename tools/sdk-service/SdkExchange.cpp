#include "SdkExchange.h"

#include <set>

namespace {

// The text, or its first `bytes` bytes followed by "...".
std::string cutShort(std::string_view text, size_t bytes) {
    if (text.size() <= bytes)
        return std::string(text);
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
        --bytes;  // not inside a UTF-8 sequence
    return std::string(text.substr(0, bytes)) + "...";
}

}  // namespace

void SdkExchange::violation(std::string text) {
    if (violations.size() == kMaximumViolations) {
        // The last kept violation gives way to the count.
        omittedViolations += omittedViolations == 0 ? 2 : 1;
        violations.back() = "and " + std::to_string(omittedViolations) + " more violations";
        return;
    }
    violations.push_back(cutShort(text, kMaximumViolationBytes));
}

std::string SdkExchange::appIdentifier() {
    const std::string app = match[1];
    if (app.size() != 32 || app.find_first_not_of("0123456789abcdef") != std::string::npos)
        violation("app identifier \"" + app + "\" is not 32 lower-case hex digits");
    return app;
}

void SdkExchange::expectMethod(const std::string& method) {
    if (request.method != method)
        violation("method " + request.method + ", expected " + method);
}

void SdkExchange::expectHeader(const std::string& name, const std::string& value) {
    if (!request.has_header(name))
        violation("header " + name + " missing");
    else if (request.get_header_value(name) != value)
        violation("header " + name + " is \"" + request.get_header_value(name) + "\", expected \"" +
                  value + "\"");
}

bool SdkExchange::expectMultipart() {
    const std::string type = request.get_header_value("Content-Type");
    const std::string prefix = "multipart/form-data; boundary=";
    if (type.rfind(prefix, 0) != 0 || type.size() == prefix.size()) {
        violation("Content-Type \"" + type + "\" is not multipart/form-data with a boundary");
        return false;
    }
    return true;
}

void SdkExchange::expectField(const std::string& name, const std::string& value) {
    const auto count = request.files.count(name);
    if (count != 1) {
        violation("field " + name + " appears " + std::to_string(count) + " times");
        return;
    }
    const auto& field = request.files.find(name)->second;
    if (!field.filename.empty())
        violation("field " + name + " has a file name");
    if (field.content_type != "text")
        violation("field " + name + " has the content type \"" + field.content_type + "\"");
    if (value.empty() ? field.content.empty() : field.content != value)
        violation("field " + name + " is \"" + cutShort(field.content, kMaximumViolationBytes) +
                  "\"");
}

void SdkExchange::expectOnlyFields(const std::vector<std::string>& names) {
    const std::set<std::string> allowed(names.begin(), names.end());
    for (const auto& [name, field] : request.files) {
        if (!allowed.count(name))
            violation("unexpected field " + name);
    }
}

nlohmann::json SdkExchange::record() const {
    nlohmann::json headers = nlohmann::json::object();
    for (const auto& [name, value] : request.headers)
        headers[name] = value;
    nlohmann::json query = nlohmann::json::object();
    for (const auto& [name, value] : request.params)
        query[name] = value;
    nlohmann::json fields = nlohmann::json::object();
    size_t omittedFields = 0;
    for (const auto& [name, field] : request.files) {
        if (fields.size() == kMaximumRecordedFields) {
            ++omittedFields;
            continue;
        }
        nlohmann::json& recorded = fields[name];
        recorded = {{"length", field.content.size()},
                    {"filename", field.filename},
                    {"content_type", field.content_type}};
        if (field.filename.empty())
            recorded["text"] = cutShort(field.content, kMaximumRecordedTextBytes);
    }
    nlohmann::json record = {{"method", request.method}, {"path", request.path}, {"query", query},
                             {"headers", headers},       {"fields", fields},     {"status", status},
                             {"violations", violations}};
    if (omittedFields > 0)
        record["omitted_fields"] = omittedFields;
    return record;
}
