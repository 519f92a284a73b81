#include "GazetteerWriter.h"

#include <algorithm>
#include <cstdio>
#include <map>

double GazetteerWriter::radiusForPlaceKind(const std::string& kind) {
    static const std::map<std::string, double> radii{
        {"country", 100000}, {"state", 50000}, {"county", 20000},     {"city", 6000},
        {"town", 3000},      {"suburb", 1000}, {"village", 1000},     {"quarter", 600},
        {"hamlet", 400},     {"island", 400},  {"neighbourhood", 300}};
    const auto found = radii.find(kind);
    return found == radii.end() ? 200 : found->second;
}

std::string GazetteerWriter::text(std::vector<GazetteerPlace> places) {
    // A tab or a line break inside a name would break the line apart.
    for (auto& place : places)
        std::replace_if(
            place.name.begin(), place.name.end(),
            [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    std::sort(places.begin(), places.end(), [](const auto& a, const auto& b) {
        if (a.name != b.name)
            return a.name < b.name;
        return a.radius > b.radius;
    });
    std::string text =
        "# Places of the offline place search: name, latitude, longitude, radius in metres.\n"
        "# Made at build time from the map packages' named places and the Natural Earth\n"
        "# country outlines.\n";
    const GazetteerPlace* previous = nullptr;
    for (const auto& place : places) {
        if (place.name.empty())
            continue;
        if (previous && previous->name == place.name && previous->coordinate == place.coordinate)
            continue;
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, "\t%.7f\t%.7f\t%.0f\n", place.coordinate.latitude,
                      place.coordinate.longitude, place.radius);
        text += place.name + numbers;
        previous = &place;
    }
    return text;
}
