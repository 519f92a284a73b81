#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

// The root of the telemetry wire objects. Each object turns itself into a
// dictionary of JSON keys (serializeToDictionary) and codes its fields into a
// keyed archive dictionary (encodeWithCoder / initWithCoder); subclasses add
// their keys after their superclass's.
class BITTelemetryObject {
  public:
    virtual ~BITTelemetryObject() = default;

    virtual Value::Dictionary serializeToDictionary() const { return {}; }
    virtual void encodeWithCoder(Value::Dictionary& /*coder*/) const {}
    virtual void initWithCoder(const Value::Dictionary& /*coder*/) {}
};

// True for what JSON can carry: strings, finite numbers, booleans, nulls, and
// arrays and dictionaries of those (dates and data are not JSON).
bool bit_isValidJSONObject(const Value& value);

// Keyed-coding helpers shared by the wire objects.
void bit_encodeString(Value::Dictionary& coder, const char* key,
                      const std::optional<std::string>& value);
std::optional<std::string> bit_decodeString(const Value::Dictionary& coder, const char* key);
void bit_encodeValue(Value::Dictionary& coder, const char* key, const std::optional<Value>& value);
std::optional<Value> bit_decodeValue(const Value::Dictionary& coder, const char* key);
