#include "app/CBPlaceDescription.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <tuple>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreLocation/CLLocation.h"
#include "Foundation/NSBundle.h"
#include "app/CBMapSettlements.h"
#include "foundation/NSString+CBNSStringAdditions.h"

namespace {

// The keys that say what a place is, in the order the map's symbols ask
// them, then those of railways, structures, land and buildings. Tags such
// as "wheelchair", "ele" or "capital" describe a place without naming it.
constexpr const char* kKindKeys[] = {
    "amenity",  "pubtrans", "shop",    "tourism",   "historic", "leisure",          "sport",
    "place",    "natural",  "aeroway", "highway",   "railway",  "public_transport", "man_made",
    "waterway", "landuse",  "power",   "aerialway", "barrier",  "boundary",         "traffic_sign",
    "building"};

const std::string* readableText(const Value* entry) {
    return entry ? entry->stringValue() : nullptr;
}

// A tag value no translation names, in words: "parking_entrance" reads
// "Parking entrance", the first of "bakery;cafe" "Bakery". Values that say
// nothing of the kind ("yes", "no", numbers) give nullopt.
std::optional<std::string> valueInWords(const std::string& value) {
    std::string words = value.substr(0, value.find(';'));
    if (words.empty() || words == "yes" || words == "no" ||
        !std::isalpha(static_cast<unsigned char>(words[0])))
        return std::nullopt;
    for (char& c : words)
        if (c == '_')
            c = ' ';
    words[0] = char(std::toupper(static_cast<unsigned char>(words[0])));
    return words;
}

std::optional<std::string> cityOfAddress(const std::shared_ptr<CBGeoAddress>& address) {
    if (!address)
        return std::nullopt;
    auto city = address->city();
    if (!city || city->empty())
        return std::nullopt;
    return city;
}

}  // namespace

CBPlaceDescription::CBPlaceDescription(const Value::Dictionary& translations,
                                       const CBMapSettlements& settlements)
    : translations_(translations), settlements_(settlements) {}

std::string CBPlaceDescription::detailTextForResult(CBGeoSearchResult& result,
                                                    const CLLocation* here) const {
    std::vector<std::string> parts;
    if (auto kind = kindOfResult(result))
        parts.push_back(*kind);
    if (auto locality = localityOfResult(result))
        parts.push_back(*locality);
    const CLLocationCoordinate2D there = result.coordinate();
    if (here && result.object() && CLLocationCoordinate2DIsValid(there))
        parts.push_back(stringWithDistanceFromFloat(
            float(here->distanceFromLocation(CLLocation(there.latitude, there.longitude)))));
    std::string text;
    for (const auto& part : parts)
        text += (text.empty() ? "" : " \u00B7 ") + part;
    return text;
}

std::optional<std::string> CBPlaceDescription::kindOfResult(CBGeoSearchResult& result) const {
    const auto& object = result.object();
    if (!object)
        return std::nullopt;
    if (object->isHighway())
        return NSLocalizedString("SearchKindStreet");
    if (auto kind = kindOfObject(*object))
        return kind;
    if (result.address())
        return NSLocalizedString("Address");
    return std::nullopt;
}

std::optional<std::string> CBPlaceDescription::kindOfObject(CBGeoObject& object) const {
    for (const char* key : kKindKeys) {
        auto tag = object.getTagForKey(key);
        if (!tag)
            continue;
        auto entry = translations_.find(key);
        if (entry == translations_.end())
            continue;
        if (const auto* text = readableText(entry->second.get(tag->attribute())))
            return *text;
        if (auto words = valueInWords(tag->attribute()))
            return words;
        if (const auto* text = readableText(entry->second.get("description")))
            return *text;
    }
    return std::nullopt;
}

std::optional<std::string> CBPlaceDescription::localityOfResult(CBGeoSearchResult& result) const {
    if (auto city = cityOfAddress(result.address()))
        return city;
    const auto& object = result.object();
    if (!object)
        return std::nullopt;
    for (const auto& address : object->addresses())
        if (auto city = cityOfAddress(address))
            return city;
    // A settlement is its own locality.
    if (CBMapSettlements::rankOfObject(*object))
        return std::nullopt;
    if (const auto* settlement = settlements_.localityAt(result.coordinate()))
        return settlement->name;
    return std::nullopt;
}

void CBPlaceDescription::orderHitsOfOneName(std::vector<std::shared_ptr<CBGeoSearchResult>>& hits,
                                            const CLLocation* here) {
    constexpr int kNotASettlement = 3;
    std::map<std::string, size_t> firstOfName;
    std::map<std::string, int> countOfName;
    for (size_t i = 0; i < hits.size(); ++i) {
        const std::string name = hits[i]->title().value_or("");
        firstOfName.emplace(name, i);
        ++countOfName[name];
    }
    std::map<const CBGeoSearchResult*, std::tuple<size_t, int, double>> order;
    for (const auto& hit : hits) {
        const std::string name = hit->title().value_or("");
        // Only a name shared by several hits needs their tags and distances.
        const bool shared = countOfName[name] > 1;
        const auto& object = hit->object();
        const auto rank = object && shared ? CBMapSettlements::rankOfObject(*object) : std::nullopt;
        // A hit with no place to measure goes after those with one.
        double distance = 0;
        const CLLocationCoordinate2D there = hit->coordinate();
        if (shared && here)
            distance = CLLocationCoordinate2DIsValid(there)
                           ? here->distanceFromLocation(CLLocation(there.latitude, there.longitude))
                           : std::numeric_limits<double>::infinity();
        order[hit.get()] = {firstOfName[name], rank ? static_cast<int>(*rank) : kNotASettlement,
                            distance};
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [&](const auto& a, const auto& b) { return order[a.get()] < order[b.get()]; });
}
