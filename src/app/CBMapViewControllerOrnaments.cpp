// The frame beyond the map's edges and the switchers to neighbouring maps.
#include "CBGeoData/CBBoundingBox.h"
#include "app/CBMapEdgeOrnamentView.h"
#include "app/CBMapViewController.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "store/CBMapStorePage.h"

namespace {

// The catalogue is asked for its maps within this many degrees of the shown
// map's middle (about 1,100 km north and south): the cities and regions
// around it on its continent. It answers at most its 15 maps of the highest
// priority there; each edge offers the nearest of them.
constexpr double kCatalogueReach = 10.0;

}  // namespace

void CBMapViewController::reloadNearbyMaps() {
    if (!mapView_)
        return;
    nearbyMaps_.clear();
    // An answer to an earlier query is for a map no longer shown.
    const unsigned query = ++nearbyQuery_;
    auto box = mapView_->layout()->mapBoundingBox();
    if (registry_ && box) {
        const auto shown = currentMap_->identifier();
        const auto origin = box->centerCoordinate();
        // Installed maps that can open at once, wherever they are.
        std::vector<Map> installed;
        for (const auto& map : registry_->mapsSortedByName())
            if (CBCurrentMap::installedStorePath(map))
                installed.push_back(map);
        nearbyMaps_ = CBNearbyMapInfo::nearbyMapInfos(origin, installed, shown);
        if (catalogue_) {
            std::weak_ptr<CBMapViewController> weak =
                std::static_pointer_cast<CBMapViewController>(shared_from_this());
            catalogue_->mapsInBoundingBoxWithCompletionBlock(
                *CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan(
                    origin, 2 * kCatalogueReach, 2 * kCatalogueReach),
                [weak, query, origin, shown, installed](const std::vector<Map>& near) {
                    auto me = weak.lock();
                    if (!me || me->nearbyQuery_ != query || !me->mapView_ || !me->registry_)
                        return;
                    // The registry's maps stand as they are: a map being
                    // loaded is offered by no switcher.
                    auto maps = installed;
                    for (const auto& map : near)
                        if (map && !me->registry_->mapForIdentifier(map->identifier()))
                            maps.push_back(map);
                    me->nearbyMaps_ = CBNearbyMapInfo::nearbyMapInfos(origin, maps, shown);
                    me->mapView_->reloadOrnamentationFrameData();
                });
        }
    }
    mapView_->reloadOrnamentationFrameData();
}

std::optional<std::vector<std::shared_ptr<UIView>>>
CBMapViewController::mapScrollViewOrnamentationViewsForDirection(CBMapScrollView&,
                                                                 unsigned direction) {
    if (!hasMap())
        return std::nullopt;
    std::weak_ptr<CBMapViewController> weak =
        std::static_pointer_cast<CBMapViewController>(shared_from_this());
    auto band = CBMapEdgeOrnamentView::create(
        direction,
        CBNearbyMapInfo::infosForDirection(nearbyMaps_, direction,
                                           CBMapEdgeOrnamentView::capacityForDirection(direction)),
        [weak](const CBNearbyMapInfo& info) {
            if (auto me = weak.lock())
                me->switchToNearbyMap(info);
        });
    return std::vector<std::shared_ptr<UIView>>{band};
}

void CBMapViewController::switchToNearbyMap(const CBNearbyMapInfo& info) {
    if (!registry_ || !info.map())
        return;
    auto installed = registry_->mapForIdentifier(info.map()->identifier());
    if (installed && CBCurrentMap::installedStorePath(installed)) {
        registry_->setCurrentMap(installed);
        return;
    }
    if (!presentedViewController())
        CBMapStorePage::presentOverViewController(*this, info.map(), wikipediaServices_.downloads,
                                                  registry_, wikipediaServices_.manager);
}
