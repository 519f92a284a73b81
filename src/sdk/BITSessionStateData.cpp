#include "sdk/BITSessionStateData.h"

BITSessionStateData::BITSessionStateData() {
    envelopeTypeName = "Zizava.Telemetry.SessionState";
    dataTypeName = "SessionStateData";
    version = Value(2);
}

Value::Dictionary BITSessionStateData::serializeToDictionary() const {
    Value::Dictionary dictionary = BITDomain::serializeToDictionary();
    dictionary["state"] = Value(state);
    return dictionary;
}

void BITSessionStateData::encodeWithCoder(Value::Dictionary& coder) const {
    BITDomain::encodeWithCoder(coder);
    bit_encodeString(coder, "envelopeTypeName", envelopeTypeName);
    bit_encodeString(coder, "dataTypeName", dataTypeName);
    coder["self.state"] = Value(state);
}

void BITSessionStateData::initWithCoder(const Value::Dictionary& coder) {
    BITDomain::initWithCoder(coder);
    envelopeTypeName = bit_decodeString(coder, "envelopeTypeName");
    dataTypeName = bit_decodeString(coder, "dataTypeName");
    const auto stored = bit_decodeValue(coder, "self.state");
    state = stored ? static_cast<int32_t>(stored->integerValue().value_or(0)) : 0;
}
