#include "sdk/BITInternal.h"

#include <array>

#include "sdk/BITTelemetryStringFields.h"

namespace {

const std::array<BITTelemetryStringField<BITInternal>, 2> kFields{{
    {"ai.internal.sdkVersion", "self.sdkVersion", &BITInternal::sdkVersion},
    {"ai.internal.agentVersion", "self.agentVersion", &BITInternal::agentVersion},
}};

}  // namespace

Value::Dictionary BITInternal::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryObject::serializeToDictionary();
    bit_serializeStringFields(*this, kFields, dictionary);
    return dictionary;
}

void BITInternal::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryObject::encodeWithCoder(coder);
    bit_encodeStringFields(*this, kFields, coder);
}

void BITInternal::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryObject::initWithCoder(coder);
    bit_decodeStringFields(*this, kFields, coder);
}
