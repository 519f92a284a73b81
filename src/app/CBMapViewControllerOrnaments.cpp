// The frame beyond the map's edges and the switchers to neighbouring maps.
#include "CBGeoData/CBBoundingBox.h"
#include "app/CBMapEdgeOrnamentView.h"
#include "app/CBMapViewController.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"

void CBMapViewController::reloadNearbyMaps() {
    if (!mapView_)
        return;
    nearbyMaps_.clear();
    auto box = mapView_->layout()->mapBoundingBox();
    if (registry_ && box) {
        auto shown = registry_->currentMap();
        const bool currentIsShown = shown && shown->filePath() == shownStorePath();
        // Only maps that can open at once are offered.
        std::vector<Map> openable;
        for (const auto& map : registry_->mapsSortedByName())
            if (CBCurrentMap::installedStorePath(map))
                openable.push_back(map);
        nearbyMaps_ = CBNearbyMapInfo::nearbyMapInfos(
            box->centerCoordinate(), openable, currentIsShown ? shown->identifier() : std::nullopt);
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
    if (registry_ && info.map())
        registry_->setCurrentMap(info.map());
}
