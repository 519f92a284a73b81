#include "sdk/BITTelemetryData.h"

Value::Dictionary BITTelemetryData::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryObject::serializeToDictionary();
    if (version)
        dictionary["ver"] = *version;
    return dictionary;
}

void BITTelemetryData::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryObject::encodeWithCoder(coder);
    bit_encodeValue(coder, "self.version", version);
    bit_encodeString(coder, "self.name", name);
    if (properties)
        coder["self.properties"] = *properties;
}

void BITTelemetryData::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryObject::initWithCoder(coder);
    version = bit_decodeValue(coder, "self.version");
    name = bit_decodeString(coder, "self.name");
    if (const auto found = coder.find("self.properties");
        found != coder.end() && found->second.dictionaryValue())
        properties = *found->second.dictionaryValue();
}

BITDomain::BITDomain() {
    envelopeTypeName = "Zizava.Telemetry.Domain";
    dataTypeName = "Domain";
}

void BITDomain::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryData::encodeWithCoder(coder);
    bit_encodeString(coder, "_envelopeTypeName", envelopeTypeName);
    bit_encodeString(coder, "_dataTypeName", dataTypeName);
}

void BITDomain::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryData::initWithCoder(coder);
    envelopeTypeName = bit_decodeString(coder, "_envelopeTypeName");
    dataTypeName = bit_decodeString(coder, "_dataTypeName");
}
