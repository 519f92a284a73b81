#pragma once

#include <optional>
#include <string>

#include "sdk/BITTelemetryObject.h"

// A telemetry item or part of one: the envelope and data type names it
// travels under, its schema version, and for events a name and properties.
// Only "ver" reaches the JSON at this level.
class BITTelemetryData : public BITTelemetryObject {
  public:
    std::optional<std::string> envelopeTypeName;
    std::optional<std::string> dataTypeName;
    std::optional<Value> version;  // a number
    std::optional<std::string> name;
    std::optional<Value::Dictionary> properties;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};

// The base of the items this system sends.
class BITDomain : public BITTelemetryData {
  public:
    BITDomain();

    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
