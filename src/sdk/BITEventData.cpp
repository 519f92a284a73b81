#include "sdk/BITEventData.h"

BITEventData::BITEventData() {
    envelopeTypeName = "Zizava.Telemetry.Event";
    dataTypeName = "EventData";
    version = Value(2);
    properties = Value::Dictionary{};
    measurements = Value::Dictionary{};
}

Value::Dictionary BITEventData::serializeToDictionary() const {
    Value::Dictionary dictionary = BITDomain::serializeToDictionary();
    if (name)
        dictionary["name"] = *name;
    if (properties)
        dictionary["properties"] = *properties;
    if (measurements)
        dictionary["measurements"] = *measurements;
    return dictionary;
}

void BITEventData::encodeWithCoder(Value::Dictionary& coder) const {
    BITDomain::encodeWithCoder(coder);
    bit_encodeString(coder, "self.envelopeTypeName", envelopeTypeName);
    bit_encodeString(coder, "self.dataTypeName", dataTypeName);
    bit_encodeValue(coder, "self.version", version);
    if (properties)
        coder["self.properties"] = *properties;
    if (measurements)
        coder["self.measurements"] = *measurements;
}

void BITEventData::initWithCoder(const Value::Dictionary& coder) {
    BITDomain::initWithCoder(coder);
    envelopeTypeName = bit_decodeString(coder, "self.envelopeTypeName");
    dataTypeName = bit_decodeString(coder, "self.dataTypeName");
    measurements.reset();
    if (const auto found = coder.find("self.measurements");
        found != coder.end() && found->second.dictionaryValue())
        measurements = *found->second.dictionaryValue();
}
