#pragma once

#include <optional>
#include <string>

#include "sdk/BITTelemetryObject.h"

// The context objects are plain sets of string fields, each with its JSON
// tag and its coding key; these walk such a table.
template <class T>
struct BITTelemetryStringField {
    const char* jsonKey;
    const char* codingKey;
    std::optional<std::string> T::*member;
};

template <class T, class Fields>
void bit_serializeStringFields(const T& object, const Fields& fields,
                               Value::Dictionary& dictionary) {
    for (const auto& field : fields) {
        if (const auto& value = object.*(field.member))
            dictionary[field.jsonKey] = *value;
    }
}

template <class T, class Fields>
void bit_encodeStringFields(const T& object, const Fields& fields, Value::Dictionary& coder) {
    for (const auto& field : fields)
        bit_encodeString(coder, field.codingKey, object.*(field.member));
}

template <class T, class Fields>
void bit_decodeStringFields(T& object, const Fields& fields, const Value::Dictionary& coder) {
    for (const auto& field : fields)
        object.*(field.member) = bit_decodeString(coder, field.codingKey);
}
