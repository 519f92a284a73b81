#include "app/CBMapAnnotationsStore.h"

#include <cmath>
#include <filesystem>

#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

constexpr const char* kFileName = "annotations.plist";
constexpr const char* kMapKey = "map";
constexpr const char* kAnnotationsKey = "annotations";
constexpr const char* kLatitudeKey = "latitude";
constexpr const char* kLongitudeKey = "longitude";
constexpr const char* kTitleKey = "title";
constexpr const char* kSubtitleKey = "subtitle";
constexpr const char* kObjectKey = "object";
constexpr const char* kAddressKey = "address";
constexpr const char* kBookmarkKey = "bookmark";
constexpr const char* kPlaceKey = "place";
constexpr const char* kTypeKey = "typeID";
constexpr const char* kCanonicalNameKey = "canonicalName";
constexpr const char* kAtAddressKey = "atAddress";
constexpr const char* kHouseNumberKey = "houseNumber";
constexpr const char* kStreetKey = "street";

std::optional<std::string> optionalText(const Value::Dictionary& entry, const char* key,
                                        bool* damaged) {
    auto found = entry.find(key);
    if (found == entry.end())
        return std::nullopt;
    if (const std::string* text = found->second.stringValue())
        return *text;
    *damaged = true;
    return std::nullopt;
}

// A yes or no of the entry: false when absent, nullopt when not a bool.
std::optional<bool> optionalFlag(const Value::Dictionary& entry, const char* key) {
    auto found = entry.find(key);
    if (found == entry.end())
        return false;
    if (found->second.type() != Value::Type::Bool)
        return std::nullopt;
    return found->second.boolValue();
}

// A place on the globe of the fields, or nullopt.
std::optional<CLLocationCoordinate2D> coordinateOf(const Value::Dictionary& fields) {
    auto number = [&](const char* key) -> std::optional<double> {
        auto found = fields.find(key);
        return found == fields.end() ? std::nullopt : found->second.doubleValue();
    };
    const auto latitude = number(kLatitudeKey);
    const auto longitude = number(kLongitudeKey);
    if (!latitude || !longitude || !std::isfinite(*latitude) || !std::isfinite(*longitude) ||
        std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180)
        return std::nullopt;
    return CLLocationCoordinate2D{*latitude, *longitude};
}

std::optional<CBGeoPlaceKey> placeFromValue(const Value& value) {
    const Value::Dictionary* fields = value.dictionaryValue();
    const auto coordinate = fields ? coordinateOf(*fields) : std::nullopt;
    if (!coordinate)
        return std::nullopt;
    CBGeoPlaceKey place;
    place.coordinate = *coordinate;
    if (auto type = fields->find(kTypeKey); type != fields->end()) {
        if (type->second.type() != Value::Type::Integer)
            return std::nullopt;
        place.typeID = type->second.integerValue();
    }
    bool damaged = false;
    place.canonicalName = optionalText(*fields, kCanonicalNameKey, &damaged);
    place.houseNumber = optionalText(*fields, kHouseNumberKey, &damaged);
    const auto atAddress = optionalFlag(*fields, kAtAddressKey);
    const auto street = optionalFlag(*fields, kStreetKey);
    if (damaged || !atAddress || !street)
        return std::nullopt;
    place.atAddress = *atAddress;
    place.isStreet = *street;
    return place;
}

// An entry of the file, or nullopt when it is not one the store wrote.
std::optional<CBMapAnnotationsStore::Entry> entryFromValue(const Value& value) {
    const Value::Dictionary* fields = value.dictionaryValue();
    const auto coordinate = fields ? coordinateOf(*fields) : std::nullopt;
    if (!coordinate)
        return std::nullopt;
    CBMapAnnotationsStore::Entry entry;
    entry.coordinate = *coordinate;
    bool damaged = false;
    entry.title = optionalText(*fields, kTitleKey, &damaged);
    entry.subtitle = optionalText(*fields, kSubtitleKey, &damaged);
    entry.objectURI = optionalText(*fields, kObjectKey, &damaged);
    entry.addressURI = optionalText(*fields, kAddressKey, &damaged);
    const auto bookmark = optionalFlag(*fields, kBookmarkKey);
    if (damaged || !bookmark)
        return std::nullopt;
    entry.isBookmark = *bookmark;
    if (auto place = fields->find(kPlaceKey); place != fields->end()) {
        entry.place = placeFromValue(place->second);
        if (!entry.place)
            return std::nullopt;
    }
    return entry;
}

Value valueFromPlace(const CBGeoPlaceKey& place) {
    Value::Dictionary fields{{kLatitudeKey, Value(place.coordinate.latitude)},
                             {kLongitudeKey, Value(place.coordinate.longitude)}};
    if (place.typeID)
        fields[kTypeKey] = Value(*place.typeID);
    if (place.canonicalName)
        fields[kCanonicalNameKey] = Value(*place.canonicalName);
    if (place.houseNumber)
        fields[kHouseNumberKey] = Value(*place.houseNumber);
    if (place.atAddress)
        fields[kAtAddressKey] = Value(true);
    if (place.isStreet)
        fields[kStreetKey] = Value(true);
    return Value(std::move(fields));
}

Value valueFromEntry(const CBMapAnnotationsStore::Entry& entry) {
    Value::Dictionary fields{{kLatitudeKey, Value(entry.coordinate.latitude)},
                             {kLongitudeKey, Value(entry.coordinate.longitude)}};
    auto text = [&](const char* key, const std::optional<std::string>& value) {
        if (value)
            fields[key] = Value(*value);
    };
    text(kTitleKey, entry.title);
    text(kSubtitleKey, entry.subtitle);
    text(kObjectKey, entry.objectURI);
    text(kAddressKey, entry.addressURI);
    if (entry.isBookmark)
        fields[kBookmarkKey] = Value(true);
    if (entry.place)
        fields[kPlaceKey] = valueFromPlace(*entry.place);
    return Value(std::move(fields));
}

}  // namespace

std::string CBMapAnnotationsStore::defaultPath() {
    return (std::filesystem::path(NSSearchPathForDirectory(NSSearchPathDirectory::Documents)) /
            kFileName)
        .string();
}

CBMapAnnotationsStore::CBMapAnnotationsStore(std::string path) : path_(std::move(path)) {}

std::vector<CBMapAnnotationsStore::Entry> CBMapAnnotationsStore::entriesForMap(
    const std::string& mapIdentifier) const {
    std::error_code ignored;
    if (!std::filesystem::exists(path_, ignored))
        return {};
    NSError error;
    auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(path_, &error);
    std::string damage;
    std::vector<Entry> entries;
    const Value::Dictionary* root = plist ? plist->dictionaryValue() : nullptr;
    const Value* map = root && root->count(kMapKey) ? &root->at(kMapKey) : nullptr;
    const Value* list = root && root->count(kAnnotationsKey) ? &root->at(kAnnotationsKey) : nullptr;
    if (!plist) {
        damage = error.localizedDescription();
    } else if (!map || !map->stringValue() || !list || !list->arrayValue()) {
        damage = "not the pins of a map";
    } else {
        for (const Value& value : *list->arrayValue()) {
            auto entry = entryFromValue(value);
            if (!entry) {
                damage = "a pin without a place on the globe";
                break;
            }
            entries.push_back(*entry);
        }
    }
    if (!damage.empty()) {
        NSLogWithLevel(NSLogLevel::Error,
                       "Map annotations %s unreadable, the map opens without its pins: %s",
                       path_.c_str(), damage.c_str());
        return {};
    }
    if (*map->stringValue() != mapIdentifier)
        return {};
    return entries;
}

bool CBMapAnnotationsStore::saveEntriesForMap(const std::string& mapIdentifier,
                                              const std::vector<Entry>& entries) {
    Value::Array list;
    for (const auto& entry : entries)
        list.push_back(valueFromEntry(entry));
    const Value plist(Value::Dictionary{{kMapKey, Value(mapIdentifier)},
                                        {kAnnotationsKey, Value(std::move(list))}});
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
    NSError error;
    if (NSPropertyListSerialization::writePropertyListToFile(
            plist, path_, NSPropertyListSerialization::Format::Binary, &error))
        return true;
    NSLogWithLevel(NSLogLevel::Error, "Map annotations %s not saved: %s", path_.c_str(),
                   error.localizedDescription().c_str());
    return false;
}
