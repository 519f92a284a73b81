// The world map without its tile service: plain sea instead of the grid of
// tiles still to come, with the outlines of the store's maps the catalogue
// holds, so the map still shows where maps are.
#include "Foundation/NSBundle.h"
#include "UIKit/UIColor.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBPathDataSource.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "store/CBMapStoreWorldMapViewcontroller.h"

namespace {

// The tile service's sea.
const UIColor kSeaColour = UIColor::colorWithRedGreenBlueAlpha(0.667, 0.827, 0.875, 1);

std::shared_ptr<CBGeoStyle> mapOutlineStyle() {
    auto style = std::make_shared<CBGeoStyle>();
    style->setFillColor(UIColor::colorWithRedGreenBlueAlpha(0.949, 0.937, 0.914, 1).CGColor());
    style->setFillOpacity(1.0);
    style->setStrokeColor(UIColor::darkGrayColor().CGColor());
    style->setStrokeWidth(1.5);
    style->setStrokeOpacity(0.8);
    return style;
}

}  // namespace

void CBMapStoreWorldMapViewcontroller::imageDataSourceDidFailLoadingImage(CBImageDataSource&) {
    if (tilesMissing_ || !mapView_)
        return;
    tilesMissing_ = true;
    mapView_->removeCheckerPattern();
    mapView_->setBackgroundColor(kSeaColour);
    setInfo(NSLocalizedString("WorldMapTilesNotLoaded"));
    if (auto box = mapView_->widerBBox(); box && engine_) {
        std::weak_ptr<CBMapStoreWorldMapViewcontroller> weak =
            std::static_pointer_cast<CBMapStoreWorldMapViewcontroller>(shared_from_this());
        engine_->mapsInBoundingBoxWithCompletionBlock(*box, [weak](const std::vector<Map>& maps) {
            if (auto screen = weak.lock())
                screen->showOutlinesOfMaps(maps);
        });
    }
}

void CBMapStoreWorldMapViewcontroller::showOutlinesOfMaps(const std::vector<Map>& maps) {
    if (!tilesMissing_ || !mapView_)
        return;
    std::map<std::string, std::shared_ptr<CBPathDataSource>> kept;
    for (const auto& map : maps) {
        const auto identifier = map ? map->identifier() : std::nullopt;
        if (!identifier || !map->shape())
            continue;
        if (auto shown = mapOutlines_.find(*identifier); shown != mapOutlines_.end()) {
            kept.insert(*shown);
            mapOutlines_.erase(shown);
            continue;
        }
        auto outline = std::make_shared<CBPathDataSource>();
        outline->setClosedPath(true);
        outline->setCoordinatePath(map->shape());
        outline->setStyle(mapOutlineStyle());
        // Under the selected map's highlight.
        mapView_->addOverlayDatasource(outline);
        kept.emplace(*identifier, outline);
    }
    for (const auto& [identifier, outline] : mapOutlines_)
        mapView_->removeOverlayDatasource(outline);
    mapOutlines_ = std::move(kept);
}
