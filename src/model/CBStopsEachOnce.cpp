#include "model/CBStopsEachOnce.h"

#include <map>
#include <string>

#include "CBGeoData/CBGeoObject.h"
#include "model/CBPlaceTexts.h"

namespace {

bool isStopPosition(CBGeoObject& stop) {
    return stop.getAttributeOfTagForKey("public_transport") ==
           std::optional<std::string>("stop_position");
}

}  // namespace

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
