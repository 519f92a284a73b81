#include "model/CBLineTitle.h"

#include <cctype>
#include <map>

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "Foundation/NSBundle.h"
#include "model/CBPlaceTexts.h"

namespace {

constexpr const char* kSeparator = " \u00b7 ";

// "Bus", "Tram": the tag translations' word for the line's kind.
std::string kindWord(CBGeoRelation& line, const Value* translations) {
    for (const char* key : {"route_pubtrans", "route"}) {
        const std::string kind = line.getAttributeOfTagForKey(key).value_or("");
        if (kind.empty())
            continue;
        if (translations)
            if (const Value* entry = translations->get("route_pubtrans"))
                if (const Value* word = entry->get(kind))
                    if (const std::string* text = word->stringValue())
                        return *text;
        std::string word = kind;
        word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
        return word;
    }
    return NSLocalizedString("Line");
}

bool isStopPosition(CBGeoObject& stop) {
    return stop.getAttributeOfTagForKey("public_transport") ==
           std::optional<std::string>("stop_position");
}

// Whether the name says the number already, as a word of its own ("Bus 11").
bool namesNumber(const std::string& name, const std::string& number) {
    for (size_t at = name.find(number); at != std::string::npos; at = name.find(number, at + 1)) {
        const size_t end = at + number.size();
        const bool before = at == 0 || !std::isalnum(static_cast<unsigned char>(name[at - 1]));
        const bool after =
            end == name.size() || !std::isalnum(static_cast<unsigned char>(name[end]));
        if (before && after)
            return true;
    }
    return false;
}

}  // namespace

std::string CBLineTitle(CBGeoRelation& line, const Value* translations, bool withKind) {
    const std::string name = CBTextWithoutOuterBlanks(line.name().value_or(""));
    const std::string number =
        CBTextWithoutOuterBlanks(line.getAttributeOfTagForKey("ref").value_or(""));
    std::string lead = number;
    if (withKind && !number.empty())
        lead = kindWord(line, translations) + " " + number;
    if (name.empty())
        return lead.empty() ? kindWord(line, translations) : lead;
    if (lead.empty() || namesNumber(name, number))
        return name;
    return lead + kSeparator + name;
}

std::vector<std::shared_ptr<CBGeoObject>> CBStopsEachOnce(
    const std::vector<std::shared_ptr<CBGeoObject>>& stops) {
    std::vector<std::shared_ptr<CBGeoObject>> once;
    std::map<std::string, size_t> byName;
    for (const auto& stop : stops) {
        const std::string name = CBTextWithoutOuterBlanks(stop->title().value_or(""));
        if (name.empty()) {
            once.push_back(stop);
            continue;
        }
        auto [found, added] = byName.emplace(name, once.size());
        if (added)
            once.push_back(stop);
        else if (isStopPosition(*once[found->second]) && !isStopPosition(*stop))
            once[found->second] = stop;
    }
    return once;
}
