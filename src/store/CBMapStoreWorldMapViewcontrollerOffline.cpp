// The world map without its tile service: a map without images would wait
// for them for ever without a word, so the line says the tiles are missing
// and a button asks the tile service again.
#include "Foundation/NSBundle.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "store/CBMapStoreWorldMapViewcontroller.h"
#include "widgets/ZELRoundedGradientButton.h"

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
    setInfo(NSLocalizedString("WorldMapTilesNotLoaded"));
}

void CBMapStoreWorldMapViewcontroller::retryTiles() {
    if (!tilesMissing_ || !mapView_)
        return;
    retryTilesButton_->setHidden(true);
    // A new tile view draws every tile anew, asking for its image again.
    mapView_->reloadMapView();
}

void CBMapStoreWorldMapViewcontroller::imageDataSourceDidLoadImage(CBImageDataSource&) {
    tileFailuresInARow_ = 0;
    if (!tilesMissing_ || !mapView_)
        return;
    tilesMissing_ = false;
    retryTilesButton_->setHidden(true);
    // The tip of the area takes the place of the line that said tiles were missing.
    if (!showingSearchResults_)
        showMapsInBBox(mapView_->visibleArea()->widerBBox());
}
