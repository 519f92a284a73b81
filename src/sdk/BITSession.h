#pragma once

#include <optional>
#include <string>

#include "sdk/BITTelemetryObject.h"

// The session tags; the two flags hold "true" or "false".
class BITSession : public BITTelemetryObject {
  public:
    std::optional<std::string> sessionId;
    std::optional<std::string> isFirst;
    std::optional<std::string> isNew;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
