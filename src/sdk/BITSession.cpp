#include "sdk/BITSession.h"

#include <array>

#include "sdk/BITTelemetryStringFields.h"

namespace {

const std::array<BITTelemetryStringField<BITSession>, 3> kFields{{
    {"ai.session.id", "self.sessionId", &BITSession::sessionId},
    {"ai.session.isFirst", "self.isFirst", &BITSession::isFirst},
    {"ai.session.isNew", "self.isNew", &BITSession::isNew},
}};

}  // namespace

Value::Dictionary BITSession::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryObject::serializeToDictionary();
    bit_serializeStringFields(*this, kFields, dictionary);
    return dictionary;
}

void BITSession::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryObject::encodeWithCoder(coder);
    bit_encodeStringFields(*this, kFields, coder);
}

void BITSession::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryObject::initWithCoder(coder);
    bit_decodeStringFields(*this, kFields, coder);
}
