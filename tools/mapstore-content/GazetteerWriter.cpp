#include "GazetteerWriter.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <set>

namespace {

// Kinds whose place is a locality of its own.
const std::set<std::string> kSettlements{"city", "town", "village", "hamlet", "isolated_dwelling",
                                         "farm"};
// Named parts of a settlement or of its land: they lie in the place their
// "is_in" names first.
const std::set<std::string> kPartsOfPlaces{"borough",    "suburb", "quarter", "neighbourhood",
                                           "city_block", "plot",   "square",  "locality"};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The first entry of a list such as "9487;9488" or "Neubrandenburg, Germany".
std::string firstOf(const std::string& list, const char* separators) {
    return trimmed(list.substr(0, list.find_first_of(separators)));
}

// The first non-empty value of the keys, as a list's first entry.
std::string tagValue(const std::map<std::string, std::string>& tags,
                     std::initializer_list<const char*> keys, const char* separators) {
    for (const char* key : keys) {
        const auto found = tags.find(key);
        if (found != tags.end()) {
            auto value = firstOf(found->second, separators);
            if (!value.empty())
                return value;
        }
    }
    return {};
}

// Web sites are often tagged without their scheme ("www.vaduz.li").
std::string webAddress(const std::string& text) {
    if (text.empty() || text.find("://") != std::string::npos)
        return text;
    return "http://" + text;
}

}  // namespace

double GazetteerWriter::radiusForPlaceKind(const std::string& kind) {
    static const std::map<std::string, double> radii{
        {"country", 100000}, {"state", 50000}, {"county", 20000},     {"city", 6000},
        {"town", 3000},      {"suburb", 1000}, {"village", 1000},     {"quarter", 600},
        {"hamlet", 400},     {"island", 400},  {"neighbourhood", 300}};
    const auto found = radii.find(kind);
    return found == radii.end() ? 200 : found->second;
}

GazetteerPlace GazetteerWriter::placeOfKind(const std::string& name,
                                            CLLocationCoordinate2D coordinate,
                                            const std::string& kind,
                                            const std::map<std::string, std::string>& tags,
                                            const GazetteerAddress& address) {
    GazetteerPlace place{name, coordinate, radiusForPlaceKind(kind)};
    if (kSettlements.count(kind))
        place.locality = name;
    else if (kPartsOfPlaces.count(kind))
        place.locality = tagValue(tags, {"is_in"}, ",;");
    if (place.locality.empty())
        place.locality = address.city;
    place.thoroughfare = address.street;
    place.postalCode = tagValue(tags, {"postal_code"}, ",;");
    if (place.postalCode.empty())
        place.postalCode = address.postalCode;
    // The postal codes of an imported gazetteer, the main one first.
    if (place.postalCode.empty())
        place.postalCode = tagValue(tags, {"openGeoDB:postal_codes"}, ",;");
    place.phoneNumber = tagValue(tags, {"phone", "contact:phone"}, ";");
    place.url = webAddress(tagValue(tags, {"url", "website", "contact:website"}, ";"));
    return place;
}

std::string GazetteerWriter::text(std::vector<GazetteerPlace> places) {
    // A tab or a line break inside a field would break the line apart.
    for (auto& place : places)
        for (std::string* field : {&place.name, &place.locality, &place.thoroughfare,
                                   &place.postalCode, &place.phoneNumber, &place.url})
            std::replace_if(
                field->begin(), field->end(),
                [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    std::sort(places.begin(), places.end(), [](const auto& a, const auto& b) {
        if (a.name != b.name)
            return a.name < b.name;
        return a.radius > b.radius;
    });
    std::string text =
        "# Places of the offline place search: name, latitude, longitude, radius in metres,\n"
        "# then as far as known locality, street, postal code, phone and web address.\n"
        "# Made at build time from the map packages' named places and the Natural Earth\n"
        "# country outlines.\n";
    const GazetteerPlace* previous = nullptr;
    for (const auto& place : places) {
        if (place.name.empty())
            continue;
        if (previous && previous->name == place.name && previous->coordinate == place.coordinate)
            continue;
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, "\t%.7f\t%.7f\t%.0f", place.coordinate.latitude,
                      place.coordinate.longitude, place.radius);
        std::string known[] = {place.locality, place.thoroughfare, place.postalCode,
                               place.phoneNumber, place.url};
        size_t count = std::size(known);
        while (count > 0 && known[count - 1].empty())
            --count;
        std::string line = place.name + numbers;
        for (size_t i = 0; i < count; ++i)
            line += "\t" + known[i];
        text += line + "\n";
        previous = &place;
    }
    return text;
}
