#include "sdk/update/BITAppVersionMetaInfo.h"

#include "Foundation/NSDateFormatter.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"

namespace {

const Value* find(const Value::Dictionary& dict, const char* key) {
    const auto found = dict.find(key);
    return found == dict.end() ? nullptr : &found->second;
}

std::optional<std::string> text(const Value::Dictionary& dict, const char* key) {
    const Value* value = find(dict, key);
    const std::string* string = value ? value->stringValue() : nullptr;
    return string ? std::optional<std::string>(*string) : std::nullopt;
}

std::optional<double> number(const Value::Dictionary& dict, const char* key) {
    const Value* value = find(dict, key);
    return value && value->isNumber() ? value->doubleValue() : std::nullopt;
}

std::optional<int64_t> integer(const Value::Dictionary& dict, const char* key) {
    const Value* value = find(dict, key);
    return value && value->isNumber() ? value->integerValue() : std::nullopt;
}

std::optional<bool> flag(const Value::Dictionary& dict, const char* key) {
    const Value* value = find(dict, key);
    return value && value->isNumber() ? value->boolValue() : std::nullopt;
}

// Build ids are text; other values are left out.
std::optional<std::map<std::string, std::string>> uuidMap(const Value::Dictionary& dict,
                                                          const char* key) {
    const Value* value = find(dict, key);
    const Value::Dictionary* entries = value ? value->dictionaryValue() : nullptr;
    if (!entries)
        return std::nullopt;
    std::map<std::string, std::string> uuids;
    for (const auto& [arch, uuid] : *entries) {
        if (const std::string* string = uuid.stringValue())
            uuids[arch] = *string;
    }
    return uuids;
}

// Each comparison answers yes only when both values are there and equal.
template <typename T>
bool bothEqual(const std::optional<T>& a, const std::optional<T>& b) {
    return a && b && *a == *b;
}

bool isEqualComparingStringWithString(const std::optional<std::string>& a,
                                      const std::optional<std::string>& b) {
    return bothEqual(a, b);
}

template <typename Number>
bool isEqualComparingNumberWithNumber(const std::optional<Number>& a,
                                      const std::optional<Number>& b) {
    return bothEqual(a, b);
}

bool isEqualComparingDateWithDate(const std::optional<NSDate>& a, const std::optional<NSDate>& b) {
    return a && b && a->timeIntervalSinceReferenceDate() == b->timeIntervalSinceReferenceDate();
}

// Compares two dictionaries, whatever its name says of dates.
bool isEqualComparingDictionaryWithDate(
    const std::optional<std::map<std::string, std::string>>& a,
    const std::optional<std::map<std::string, std::string>>& b) {
    return bothEqual(a, b);
}

}  // namespace

std::shared_ptr<BITAppVersionMetaInfo> BITAppVersionMetaInfo::appVersionMetaInfoFromDict(
    const Value& value) {
    auto info = std::make_shared<BITAppVersionMetaInfo>();
    const Value::Dictionary* dict = value.dictionaryValue();
    if (!dict)
        return info;
    info->name = text(*dict, "title");
    info->version = text(*dict, "version");
    info->shortVersion = text(*dict, "shortversion");
    info->minOSVersion = text(*dict, "minimum_os_version");
    info->setDateWithTimestamp(number(*dict, "timestamp").value_or(0));
    info->size = number(*dict, "appsize");
    info->notes = text(*dict, "notes");
    info->mandatory = flag(*dict, "mandatory");
    info->versionID = integer(*dict, "id");
    info->uuids = uuidMap(*dict, "uuids");
    return info;
}

Value::Dictionary BITAppVersionMetaInfo::encodeWithCoder() const {
    Value::Dictionary coder;
    const auto put = [&](const char* key, const auto& field) {
        if (field)
            coder[key] = Value(*field);
    };
    put("name", name);
    put("version", version);
    put("shortVersion", shortVersion);
    put("minOSVersion", minOSVersion);
    put("notes", notes);
    put("date", date);
    put("size", size);
    put("mandatory", mandatory);
    put("versionID", versionID);
    if (uuids) {
        Value::Dictionary entries;
        for (const auto& [arch, uuid] : *uuids)
            entries[arch] = Value(uuid);
        coder["uuids"] = Value(std::move(entries));
    }
    return coder;
}

std::shared_ptr<BITAppVersionMetaInfo> BITAppVersionMetaInfo::createWithCoder(const Value& coder) {
    const Value::Dictionary* dict = coder.dictionaryValue();
    if (!dict)
        return nullptr;
    auto info = std::make_shared<BITAppVersionMetaInfo>();
    info->name = text(*dict, "name");
    info->version = text(*dict, "version");
    info->shortVersion = text(*dict, "shortVersion");
    info->minOSVersion = text(*dict, "minOSVersion");
    info->notes = text(*dict, "notes");
    if (const Value* value = find(*dict, "date"))
        info->date = value->dateValue();
    info->size = number(*dict, "size");
    info->mandatory = flag(*dict, "mandatory");
    info->versionID = integer(*dict, "versionID");
    info->uuids = uuidMap(*dict, "uuids");
    return info;
}

bool BITAppVersionMetaInfo::isValid() const {
    return name && !name->empty() && version && !version->empty() && date;
}

bool BITAppVersionMetaInfo::hasUUID(const Text& uuid) const {
    if (!uuid || !uuids)
        return false;
    for (const auto& [arch, value] : *uuids) {
        if (value == *uuid)
            return true;
    }
    return false;
}

void BITAppVersionMetaInfo::setDateWithTimestamp(double timestamp) {
    if (timestamp == 0)
        date.reset();
    else
        date = NSDate::dateWithTimeIntervalSince1970(timestamp);
}

bool BITAppVersionMetaInfo::isEqualToAppVersionMetaInfo(const BITAppVersionMetaInfo& other) const {
    if (this == &other)
        return true;
    return isEqualComparingStringWithString(name, other.name) &&
           isEqualComparingStringWithString(version, other.version) &&
           isEqualComparingStringWithString(shortVersion, other.shortVersion) &&
           isEqualComparingStringWithString(minOSVersion, other.minOSVersion) &&
           isEqualComparingStringWithString(notes, other.notes) &&
           isEqualComparingDateWithDate(date, other.date) &&
           isEqualComparingNumberWithNumber(size, other.size) &&
           isEqualComparingNumberWithNumber(mandatory, other.mandatory) &&
           isEqualComparingDictionaryWithDate(uuids, other.uuids);
}

std::string BITAppVersionMetaInfo::versionString() const {
    const std::string marketing = shortVersion.value_or("");
    const std::string build =
        marketing.empty() ? version.value_or("") : " (" + version.value_or("") + ")";
    return bit_localizedString("UpdateVersion") + " " + marketing + build;
}

std::string BITAppVersionMetaInfo::nameAndVersionString() const {
    return name.value_or("") + " " + versionString();
}

std::string BITAppVersionMetaInfo::dateString() const {
    if (!date)
        return {};
    return NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
        *date, NSDateFormatterStyle::MediumStyle, NSDateFormatterStyle::NoStyle);
}

std::string BITAppVersionMetaInfo::sizeInMB() const {
    if (!size || *size <= 0)
        return "0 MB";
    return bit_format("%.1f MB", *size / 1048576.0);
}
