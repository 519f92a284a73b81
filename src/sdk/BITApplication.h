#pragma once

#include <optional>
#include <string>

#include "sdk/BITTelemetryObject.h"

// The application tags.
class BITApplication : public BITTelemetryObject {
  public:
    std::optional<std::string> version;
    std::optional<std::string> build;
    std::optional<std::string> typeId;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
