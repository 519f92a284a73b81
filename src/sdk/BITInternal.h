#pragma once

#include <optional>
#include <string>

#include "sdk/BITTelemetryObject.h"

// The SDK tags.
class BITInternal : public BITTelemetryObject {
  public:
    std::optional<std::string> sdkVersion;
    std::optional<std::string> agentVersion;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
