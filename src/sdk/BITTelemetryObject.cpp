#include "sdk/BITTelemetryObject.h"

#include <cmath>

bool bit_isValidJSONObject(const Value& value) {
    switch (value.type()) {
        case Value::Type::Null:
        case Value::Type::Bool:
        case Value::Type::Integer:
        case Value::Type::String:
            return true;
        case Value::Type::Real:
            return std::isfinite(*value.doubleValue());
        case Value::Type::Data:
        case Value::Type::Date:
            return false;
        case Value::Type::Array:
            for (const Value& element : *value.arrayValue()) {
                if (!bit_isValidJSONObject(element))
                    return false;
            }
            return true;
        case Value::Type::Dictionary:
            for (const auto& [key, element] : *value.dictionaryValue()) {
                if (!bit_isValidJSONObject(element))
                    return false;
            }
            return true;
    }
    return false;
}

void bit_encodeString(Value::Dictionary& coder, const char* key,
                      const std::optional<std::string>& value) {
    if (value)
        coder[key] = *value;
}

std::optional<std::string> bit_decodeString(const Value::Dictionary& coder, const char* key) {
    const auto found = coder.find(key);
    if (found == coder.end() || !found->second.stringValue())
        return std::nullopt;
    return *found->second.stringValue();
}

void bit_encodeValue(Value::Dictionary& coder, const char* key, const std::optional<Value>& value) {
    if (value)
        coder[key] = *value;
}

std::optional<Value> bit_decodeValue(const Value::Dictionary& coder, const char* key) {
    const auto found = coder.find(key);
    if (found == coder.end())
        return std::nullopt;
    return found->second;
}
