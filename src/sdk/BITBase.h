#pragma once

#include "sdk/BITTelemetryData.h"

// The data part of an envelope names the type of the item it carries.
class BITBase : public BITTelemetryData {
  public:
    std::optional<std::string> baseType;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
