#pragma once

#include "sdk/BITTelemetryData.h"

// A custom event: name, properties and measurements.
class BITEventData : public BITDomain {
  public:
    BITEventData();

    std::optional<Value::Dictionary> measurements;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
