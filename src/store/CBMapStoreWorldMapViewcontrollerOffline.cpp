// The world map without its tile service: plain sea instead of the grid of
// tiles still to come, with the outlines of the store's maps the catalogue
// holds, so the map still shows where maps are, and a button that asks the
// tile service again.
#include "Foundation/NSBundle.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPathDataSource.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "store/CBMapStoreWorldMapViewcontroller.h"
#include "widgets/ZELRoundedGradientButton.h"

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

void CBMapStoreWorldMapViewcontroller::makeRetryTilesButton(UIView& view) {
    retryTilesButton_ = std::make_shared<ZELRoundedGradientButton>(CGRectZero, 2);
    retryTilesButton_->setTitleForState(NSLocalizedString("TryAgain"), UIControlStateNormal);
    retryTilesButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    retryTilesButton_->setHidden(true);
    retryTilesButton_->addTargetForControlEvents(
        [weak = weak_from_this()](UIControl&) {
            if (auto screen =
                    std::static_pointer_cast<CBMapStoreWorldMapViewcontroller>(weak.lock()))
                screen->retryTiles();
        },
        UIControlEventTouchUpInside);
    view.addSubview(retryTilesButton_);
}

void CBMapStoreWorldMapViewcontroller::imageDataSourceDidFailLoadingImage(CBImageDataSource&) {
    if (!mapView_)
        return;
    // A retry that failed too offers the next one; the line stays as it was.
    if (tilesMissing_) {
        retryTilesButton_->setHidden(false);
        return;
    }
    // A slow service lets a tile time out now and then while the others come:
    // only a run of failures with no tile between them says it is away.
    if (++tileFailuresInARow_ < kTileFailuresBeforeMissing)
        return;
    tilesMissing_ = true;
    retryTilesButton_->setHidden(false);
    mapView_->removeCheckerPattern();
    mapView_->setBackgroundColor(kSeaColour);
    setInfo(NSLocalizedString("WorldMapTilesNotLoaded"));
    if (auto box = mapView_->visibleArea()->widerBBox(); box && engine_) {
        std::weak_ptr<CBMapStoreWorldMapViewcontroller> weak =
            std::static_pointer_cast<CBMapStoreWorldMapViewcontroller>(shared_from_this());
        engine_->mapsInBoundingBoxWithCompletionBlock(*box, [weak](const std::vector<Map>& maps) {
            if (auto screen = weak.lock())
                screen->showOutlinesOfMaps(maps);
        });
    }
}

void CBMapStoreWorldMapViewcontroller::retryTiles() {
    if (!tilesMissing_ || !mapView_)
        return;
    retryTilesButton_->setHidden(true);
    // A new tile view draws every tile anew, asking for its image again; the
    // outlines stay on plain sea until a tile comes.
    mapView_->reloadMapView();
    mapView_->removeCheckerPattern();
}

void CBMapStoreWorldMapViewcontroller::imageDataSourceDidLoadImage(CBImageDataSource&) {
    tileFailuresInARow_ = 0;
    if (!tilesMissing_ || !mapView_)
        return;
    tilesMissing_ = false;
    retryTilesButton_->setHidden(true);
    for (const auto& [identifier, outline] : mapOutlines_)
        mapView_->overlays()->removeOverlayDatasource(outline);
    mapOutlines_.clear();
    // The tip of the area takes the place of the line that said tiles were missing.
    if (!showingSearchResults_)
        showMapsInBBox(mapView_->visibleArea()->widerBBox());
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
        mapView_->overlays()->addOverlayDatasource(outline);
        kept.emplace(*identifier, outline);
    }
    for (const auto& [identifier, outline] : mapOutlines_)
        mapView_->overlays()->removeOverlayDatasource(outline);
    mapOutlines_ = std::move(kept);
}
