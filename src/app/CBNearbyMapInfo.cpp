#include "app/CBNearbyMapInfo.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreLocation/CLLocation.h"
#include "location/CLLocation+Additions.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"
#include "packages/CBMapStoreMap.h"

namespace {
// Clockwise from north, one sector of 45 degrees each.
constexpr unsigned kSectorDirections[8] = {
    CBMapOrnamentationDirectionTop,
    CBMapOrnamentationDirectionTop | CBMapOrnamentationDirectionRight,
    CBMapOrnamentationDirectionRight,
    CBMapOrnamentationDirectionBottom | CBMapOrnamentationDirectionRight,
    CBMapOrnamentationDirectionBottom,
    CBMapOrnamentationDirectionBottom | CBMapOrnamentationDirectionLeft,
    CBMapOrnamentationDirectionLeft,
    CBMapOrnamentationDirectionTop | CBMapOrnamentationDirectionLeft,
};
}  // namespace

CBNearbyMapInfo::CBNearbyMapInfo(std::shared_ptr<CBMapStoreMap> map, double distance,
                                 double bearing)
    : map_(std::move(map)),
      distance_(distance),
      bearing_(bearing),
      direction_(directionForBearing(bearing)) {}

unsigned CBNearbyMapInfo::directionForBearing(double bearing) {
    if (!std::isfinite(bearing))
        return CBMapOrnamentationDirectionTop;
    double turned = std::fmod(bearing + 22.5, 360.0);
    if (turned < 0)
        turned += 360.0;
    return kSectorDirections[std::min(7, int(turned / 45.0))];
}

std::vector<CBNearbyMapInfo> CBNearbyMapInfo::nearbyMapInfos(
    CLLocationCoordinate2D origin, const std::vector<std::shared_ptr<CBMapStoreMap>>& maps,
    const std::optional<std::string>& shownIdentifier) {
    const CLLocation from(origin.latitude, origin.longitude);
    std::vector<CBNearbyMapInfo> infos;
    for (const auto& map : maps) {
        if (!map || map->isDownloading() || !map->identifier() ||
            map->identifier() == shownIdentifier)
            continue;
        auto box = map->bbox();
        if (!box || box->latitudeSpan() <= 0 || box->longitudeSpan() <= 0)
            continue;
        const CLLocationCoordinate2D centre = box->centerCoordinate();
        const double bearing = forwardAzimuthToCoordinate(from, centre);
        if (bearing < 0)
            continue;
        infos.emplace_back(
            map, from.distanceFromLocation(CLLocation(centre.latitude, centre.longitude)), bearing);
    }
    std::stable_sort(infos.begin(), infos.end(),
                     [](const auto& a, const auto& b) { return a.distance() < b.distance(); });
    return infos;
}

std::vector<CBNearbyMapInfo> CBNearbyMapInfo::infosForDirection(
    const std::vector<CBNearbyMapInfo>& infos, unsigned direction, size_t limit) {
    std::vector<CBNearbyMapInfo> chosen;
    for (const auto& info : infos)
        if (info.direction() == direction && chosen.size() < limit)
            chosen.push_back(info);
    return chosen;
}
