#include "sdk/BITData.h"

#include "sdk/BITEventData.h"
#include "sdk/BITSessionStateData.h"
#include "sdk/BITZizavaLogger.h"

namespace {

constexpr const char* kClassKey = "$class";

}  // namespace

std::optional<Value::Dictionary> bit_nestedTelemetryDictionary(const BITTelemetryObject& object) {
    Value::Dictionary dictionary = object.serializeToDictionary();
    if (!bit_isValidJSONObject(Value(dictionary))) {
        BITZizavaLogError(
            "[ZizavaSDK] Some of the telemetry data was not NSJSONSerialization compatible and "
            "could not be serialized!");
        return std::nullopt;
    }
    return dictionary;
}

Value::Dictionary bit_encodeTelemetryItem(const BITTelemetryData& item) {
    Value::Dictionary coder;
    item.encodeWithCoder(coder);
    if (dynamic_cast<const BITEventData*>(&item))
        coder[kClassKey] = "BITEventData";
    else if (dynamic_cast<const BITSessionStateData*>(&item))
        coder[kClassKey] = "BITSessionStateData";
    else if (dynamic_cast<const BITData*>(&item))
        coder[kClassKey] = "BITData";
    else if (dynamic_cast<const BITBase*>(&item))
        coder[kClassKey] = "BITBase";
    else if (dynamic_cast<const BITDomain*>(&item))
        coder[kClassKey] = "BITDomain";
    else
        coder[kClassKey] = "BITTelemetryData";
    return coder;
}

std::shared_ptr<BITTelemetryData> bit_decodeTelemetryItem(const Value::Dictionary& coder) {
    const std::string kind = bit_decodeString(coder, kClassKey).value_or("");
    std::shared_ptr<BITTelemetryData> item;
    if (kind == "BITEventData")
        item = std::make_shared<BITEventData>();
    else if (kind == "BITSessionStateData")
        item = std::make_shared<BITSessionStateData>();
    else if (kind == "BITData")
        item = std::make_shared<BITData>();
    else if (kind == "BITBase")
        item = std::make_shared<BITBase>();
    else if (kind == "BITDomain")
        item = std::make_shared<BITDomain>();
    else if (kind == "BITTelemetryData")
        item = std::make_shared<BITTelemetryData>();
    else
        return nullptr;
    item->initWithCoder(coder);
    return item;
}

Value::Dictionary BITData::serializeToDictionary() const {
    Value::Dictionary dictionary = BITBase::serializeToDictionary();
    if (baseData) {
        if (auto nested = bit_nestedTelemetryDictionary(*baseData))
            dictionary["baseData"] = std::move(*nested);
    }
    return dictionary;
}

void BITData::encodeWithCoder(Value::Dictionary& coder) const {
    BITBase::encodeWithCoder(coder);
    if (baseData)
        coder["self.baseData"] = bit_encodeTelemetryItem(*baseData);
}

void BITData::initWithCoder(const Value::Dictionary& coder) {
    BITBase::initWithCoder(coder);
    baseData.reset();
    if (const auto found = coder.find("self.baseData");
        found != coder.end() && found->second.dictionaryValue())
        baseData = bit_decodeTelemetryItem(*found->second.dictionaryValue());
}
