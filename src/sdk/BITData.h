#pragma once

#include <memory>

#include "sdk/BITBase.h"

// The data part of an envelope: the item itself under "baseData".
class BITData : public BITBase {
  public:
    std::shared_ptr<BITTelemetryData> baseData;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};

// The dictionary of a nested part, or nullopt (and the error logged) when it
// holds something JSON cannot carry.
std::optional<Value::Dictionary> bit_nestedTelemetryDictionary(const BITTelemetryObject& object);
// Archives a nested item with its class, and restores it.
Value::Dictionary bit_encodeTelemetryItem(const BITTelemetryData& item);
std::shared_ptr<BITTelemetryData> bit_decodeTelemetryItem(const Value::Dictionary& coder);
