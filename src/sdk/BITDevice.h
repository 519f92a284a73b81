#pragma once

#include <optional>
#include <string>

#include "sdk/BITTelemetryObject.h"

// The device tags.
class BITDevice : public BITTelemetryObject {
  public:
    std::optional<std::string> deviceId;
    std::optional<std::string> ip;
    std::optional<std::string> language;
    std::optional<std::string> locale;
    std::optional<std::string> model;
    std::optional<std::string> network;
    std::optional<std::string> networkName;
    std::optional<std::string> oemName;
    std::optional<std::string> os;
    std::optional<std::string> osVersion;
    std::optional<std::string> roleInstance;
    std::optional<std::string> roleName;
    std::optional<std::string> screenResolution;
    std::optional<std::string> type;
    std::optional<std::string> machineName;
    std::optional<std::string> vmName;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
