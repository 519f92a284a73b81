#include "Foundation/NSJSONSerialization.h"

#include <cmath>

#include "Foundation/JSONValueBuilder.h"
#include "Foundation/NSLog.h"

namespace {

constexpr size_t kMaximumWriteDepth = JSONValueBuilder::kMaximumDepth;

bool toJSON(const Value& value, nlohmann::json& out, size_t depth, std::string& reason) {
    if (depth > kMaximumWriteDepth) {
        reason = "nested too deeply";
        return false;
    }
    switch (value.type()) {
        case Value::Type::Null:
            out = nullptr;
            return true;
        case Value::Type::Bool:
            out = *value.boolValue();
            return true;
        case Value::Type::Integer:
            out = *value.integerValue();
            return true;
        case Value::Type::Real: {
            const double real = *value.doubleValue();
            if (!std::isfinite(real)) {
                reason = "non-finite number";
                return false;
            }
            out = real;
            return true;
        }
        case Value::Type::String:
            out = *value.stringValue();
            return true;
        case Value::Type::Data:
            reason = "data cannot be written as JSON";
            return false;
        case Value::Type::Date:
            reason = "a date cannot be written as JSON";
            return false;
        case Value::Type::Array:
            out = nlohmann::json::array();
            for (const Value& element : *value.arrayValue()) {
                nlohmann::json item;
                if (!toJSON(element, item, depth + 1, reason))
                    return false;
                out.push_back(std::move(item));
            }
            return true;
        case Value::Type::Dictionary:
            out = nlohmann::json::object();
            for (const auto& [key, element] : *value.dictionaryValue()) {
                nlohmann::json item;
                if (!toJSON(element, item, depth + 1, reason))
                    return false;
                out[key] = std::move(item);
            }
            return true;
    }
    return false;
}

std::optional<Value> parse(const char* begin, const char* end, NSError* error) {
    JSONValueBuilder builder;
    std::optional<Value> result;
    std::string reason;
    try {
        if (nlohmann::json::sax_parse(begin, end, &builder))
            result = builder.result();
        reason = builder.reason();
    } catch (const std::exception& exception) {
        reason = exception.what();
    }
    if (!result) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot read JSON: %s", reason.c_str());
        NSError::setCocoaError(
            error, NSError::NSPropertyListReadCorruptError,
            "The data couldn't be read because it isn't in the correct format: " + reason);
    }
    return result;
}

}  // namespace

std::optional<Value> NSJSONSerialization::JSONObjectWithData(const Value::Data& data,
                                                             NSError* error) {
    const auto* begin = reinterpret_cast<const char*>(data.data());
    return parse(begin, begin + data.size(), error);
}

std::optional<Value> NSJSONSerialization::JSONObjectWithString(const std::string& text,
                                                               NSError* error) {
    return parse(text.data(), text.data() + text.size(), error);
}

std::optional<std::string> NSJSONSerialization::stringWithJSONObject(const Value& object,
                                                                     bool prettyPrinted,
                                                                     NSError* error) {
    nlohmann::json json;
    std::string reason;
    if (!toJSON(object, json, 0, reason)) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot write JSON: %s", reason.c_str());
        NSError::setCocoaError(error, NSError::NSPropertyListWriteInvalidError,
                               "Invalid JSON value: " + reason);
        return std::nullopt;
    }
    // Malformed UTF-8 in a string is replaced (U+FFFD) rather than thrown about.
    return json.dump(prettyPrinted ? 2 : -1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<Value::Data> NSJSONSerialization::dataWithJSONObject(const Value& object,
                                                                   bool prettyPrinted,
                                                                   NSError* error) {
    std::optional<std::string> text = stringWithJSONObject(object, prettyPrinted, error);
    if (!text)
        return std::nullopt;
    return Value::Data(text->begin(), text->end());
}
