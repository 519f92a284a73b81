#pragma once

#include <cstdint>

#include "sdk/BITTelemetryData.h"

// Session states; this system sends only the start of a session.
enum BITSessionState : int32_t {
    BITSessionState_start = 0,
};

// A change of the session's state.
class BITSessionStateData : public BITDomain {
  public:
    BITSessionStateData();

    int32_t state = BITSessionState_start;

    Value::Dictionary serializeToDictionary() const override;
    void encodeWithCoder(Value::Dictionary& coder) const override;
    void initWithCoder(const Value::Dictionary& coder) override;
};
