#include "StopKinds.h"

#include <cctype>
#include <map>
#include <set>

namespace {

bool has(const OsmTags& tags, const char* key, const char* value) {
    auto found = tags.find(key);
    return found != tags.end() && found->second == value;
}

}  // namespace

std::optional<std::string> stopKindOf(const OsmTags& tags) {
    if (has(tags, "highway", "bus_stop"))
        return "bus_stop";
    if (has(tags, "amenity", "bus_station"))
        return "bus_station";
    if (has(tags, "railway", "tram_stop"))
        return "tram_stop";
    if (has(tags, "railway", "halt"))
        return "halt";
    if (has(tags, "railway", "station"))
        return has(tags, "station", "subway") ? "subway" : "station";
    if (has(tags, "amenity", "ferry_terminal"))
        return "ferry_terminal";
    auto role = tags.find("public_transport");
    if (role == tags.end())
        return std::nullopt;
    if (role->second != "platform" && role->second != "stop_position" && role->second != "station")
        return std::nullopt;
    if (has(tags, "bus", "yes") || has(tags, "trolleybus", "yes"))
        return "bus_stop";
    if (has(tags, "tram", "yes"))
        return "tram_stop";
    if (has(tags, "train", "yes") || has(tags, "light_rail", "yes"))
        return "station";
    if (has(tags, "ferry", "yes"))
        return "ferry_terminal";
    if (has(tags, "subway", "yes"))
        return "subway";
    return role->second == "station" ? "station" : "platform";
}

bool isPublicTransportRoute(const std::string& route) {
    static const std::set<std::string> routes = {"bus",      "trolleybus", "tram",
                                                 "train",    "light_rail", "subway",
                                                 "monorail", "funicular",  "ferry"};
    return routes.count(route) > 0;
}

std::optional<std::string> routeColour(const OsmTags& tags) {
    static const std::map<std::string, std::string> names = {
        {"red", "#E3000F"},    {"blue", "#005AA9"},   {"green", "#009A44"}, {"yellow", "#FFD500"},
        {"orange", "#F18700"}, {"purple", "#7B2C83"}, {"black", "#000000"}, {"brown", "#8B5A2B"},
        {"grey", "#808080"},   {"gray", "#808080"},   {"white", "#FFFFFF"}, {"pink", "#E5007D"}};
    auto colour = tags.find("colour");
    if (colour == tags.end())
        return std::nullopt;
    const std::string& text = colour->second;
    bool hex = text.size() == 7 && text[0] == '#';
    for (size_t i = 1; hex && i < text.size(); ++i)
        hex = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
    if (hex)
        return text;
    auto named = names.find(text);
    if (named != names.end())
        return named->second;
    return std::nullopt;
}
