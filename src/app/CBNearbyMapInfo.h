#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

class CBMapStoreMap;

// A map near the shown one, for the switcher at the map's edge: how far its
// middle lies from the shown map's middle, the initial bearing to it and the
// edge or corner of the map that faces it (an ornamentation direction).
class CBNearbyMapInfo {
  public:
    CBNearbyMapInfo(std::shared_ptr<CBMapStoreMap> map, double distance, double bearing);

    const std::shared_ptr<CBMapStoreMap>& map() const { return map_; }
    // Metres.
    double distance() const { return distance_; }
    // Degrees clockwise from north, [0, 360).
    double bearing() const { return bearing_; }
    unsigned direction() const { return direction_; }

    // The edge or corner facing a bearing: eight sectors of 45 degrees, the
    // top edge centred on north.
    static unsigned directionForBearing(double bearing);

    // The maps among `maps` around `origin`, nearest first. The shown map
    // (`shownIdentifier`), maps still loading and maps without a box are
    // left out.
    static std::vector<CBNearbyMapInfo> nearbyMapInfos(
        CLLocationCoordinate2D origin, const std::vector<std::shared_ptr<CBMapStoreMap>>& maps,
        const std::optional<std::string>& shownIdentifier);
    // Those of one direction, at most `limit`, nearest first.
    static std::vector<CBNearbyMapInfo> infosForDirection(const std::vector<CBNearbyMapInfo>& infos,
                                                          unsigned direction, size_t limit);

  private:
    std::shared_ptr<CBMapStoreMap> map_;
    double distance_;
    double bearing_;
    unsigned direction_;
};
