#pragma once

#include <optional>
#include <string>

#include "sdk/BITTelemetryObject.h"

// The (anonymous) user tags; kept across launches in the telemetry meta data.
class BITUser : public BITTelemetryObject {
  public:
    std::optional<std::string> accountAcquisitionDate;
    std::optional<std::string> accountId;
    std::optional<std::string> userAgent;
    std::optional<std::string> userId;
    std::optional<std::string> storeRegion;
    std::optional<std::string> authUserId;
    std::optional<std::string> anonUserAcquisitionDate;
    std::optional<std::string> authUserAcquisitionDate;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;

    // The same object, or another user with every identifying field present
    // on this side and equal.
    bool isEqualToUser(const BITTelemetryObject* other) const;
};
