#include "sdk/BITEnvelope.h"

#include "sdk/BITData.h"

Value::Dictionary BITEnvelope::serializeToDictionary() const {
    Value::Dictionary dictionary = BITTelemetryObject::serializeToDictionary();
    const auto addString = [&](const char* key, const std::optional<std::string>& value) {
        if (value)
            dictionary[key] = *value;
    };
    if (version)
        dictionary["ver"] = *version;
    addString("name", name);
    addString("time", time);
    if (sampleRate)
        dictionary["sampleRate"] = *sampleRate;
    addString("seq", seq);
    addString("iKey", iKey);
    if (flags)
        dictionary["flags"] = *flags;
    addString("deviceId", deviceId);
    addString("os", os);
    addString("osVer", osVer);
    addString("appId", appId);
    addString("appVer", appVer);
    addString("userId", userId);
    if (tags)
        dictionary["tags"] = *tags;
    if (data) {
        if (auto nested = bit_nestedTelemetryDictionary(*data))
            dictionary["data"] = std::move(*nested);
    }
    return dictionary;
}

void BITEnvelope::encodeWithCoder(Value::Dictionary& coder) const {
    BITTelemetryObject::encodeWithCoder(coder);
    bit_encodeValue(coder, "self.version", version);
    bit_encodeString(coder, "self.name", name);
    bit_encodeString(coder, "self.time", time);
    bit_encodeValue(coder, "self.sampleRate", sampleRate);
    bit_encodeString(coder, "self.seq", seq);
    bit_encodeString(coder, "self.iKey", iKey);
    bit_encodeValue(coder, "self.flags", flags);
    bit_encodeString(coder, "self.deviceId", deviceId);
    bit_encodeString(coder, "self.os", os);
    bit_encodeString(coder, "self.osVer", osVer);
    bit_encodeString(coder, "self.appId", appId);
    bit_encodeString(coder, "self.appVer", appVer);
    bit_encodeString(coder, "self.userId", userId);
    if (tags)
        coder["self.tags"] = *tags;
    if (data)
        coder["self.data"] = bit_encodeTelemetryItem(*data);
}

void BITEnvelope::initWithCoder(const Value::Dictionary& coder) {
    BITTelemetryObject::initWithCoder(coder);
    version = bit_decodeValue(coder, "self.version");
    name = bit_decodeString(coder, "self.name");
    time = bit_decodeString(coder, "self.time");
    sampleRate = bit_decodeValue(coder, "self.sampleRate");
    seq = bit_decodeString(coder, "self.seq");
    iKey = bit_decodeString(coder, "self.iKey");
    flags = bit_decodeValue(coder, "self.flags");
    deviceId = bit_decodeString(coder, "self.deviceId");
    os = bit_decodeString(coder, "self.os");
    osVer = bit_decodeString(coder, "self.osVer");
    appId = bit_decodeString(coder, "self.appId");
    appVer = bit_decodeString(coder, "self.appVer");
    userId = bit_decodeString(coder, "self.userId");
    tags.reset();
    if (const auto found = coder.find("self.tags");
        found != coder.end() && found->second.dictionaryValue())
        tags = *found->second.dictionaryValue();
    data.reset();
    if (const auto found = coder.find("self.data");
        found != coder.end() && found->second.dictionaryValue())
        data = std::dynamic_pointer_cast<BITBase>(
            bit_decodeTelemetryItem(*found->second.dictionaryValue()));
}
