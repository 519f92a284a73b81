#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sdk/BITBase.h"
#include "sdk/BITTelemetryObject.h"

// One telemetry item on the wire: header, context tags and the data part.
class BITEnvelope : public BITTelemetryObject {
  public:
    std::optional<Value> version = Value(1);
    std::optional<std::string> name;
    std::optional<std::string> time;
    std::optional<Value> sampleRate = Value(100.0);
    std::optional<std::string> seq;
    std::optional<std::string> iKey;
    std::optional<Value> flags;
    std::optional<std::string> deviceId;
    std::optional<std::string> os;
    std::optional<std::string> osVer;
    std::optional<std::string> appId;
    std::optional<std::string> appVer;
    std::optional<std::string> userId;
    std::optional<Value::Dictionary> tags = Value::Dictionary{};
    std::shared_ptr<BITBase> data;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
