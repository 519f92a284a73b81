#include "sdk/BITBase.h"

Value::Dictionary BITBase::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryData::serializeToDictionary();
    if (baseType)
        dictionary["baseType"] = *baseType;
    return dictionary;
}

void BITBase::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryData::encodeWithCoder(coder);
    bit_encodeString(coder, "self.baseType", baseType);
}

void BITBase::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryData::initWithCoder(coder);
    baseType = bit_decodeString(coder, "self.baseType");
}
