#include "sdk/BITApplication.h"

#include <array>

#include "sdk/BITTelemetryStringFields.h"

namespace {

const std::array<BITTelemetryStringField<BITApplication>, 3> kFields{{
    {"ai.application.ver", "self.version", &BITApplication::version},
    {"ai.application.build", "self.build", &BITApplication::build},
    {"ai.application.typeId", "self.typeId", &BITApplication::typeId},
}};

}  // namespace

Value::Dictionary BITApplication::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryObject::serializeToDictionary();
    bit_serializeStringFields(*this, kFields, dictionary);
    return dictionary;
}

void BITApplication::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryObject::encodeWithCoder(coder);
    bit_encodeStringFields(*this, kFields, coder);
}

void BITApplication::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryObject::initWithCoder(coder);
    bit_decodeStringFields(*this, kFields, coder);
}
