// The detail screen's preview map: the online raster layer around the map
// with the map's outline over it.
#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "UIKit/UIColor.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPathDataSource.h"
#include "packages/CBMapStoreMap.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"

namespace {

// The raster layer reaches this far around the map, so the preview can
// show the map in its surroundings; the view shows a little less.
constexpr double kLayerFactor = 4.0;
constexpr double kVisibleFactor = 1.5;

std::shared_ptr<CBGeoStyle> outlineStyle() {
    auto style = std::make_shared<CBGeoStyle>();
    style->setFillColor(UIColor::blueColor().CGColor());
    style->setFillOpacity(0.15);
    style->setStrokeColor(UIColor::blueColor().CGColor());
    style->setStrokeWidth(4.0);
    style->setStrokeOpacity(0.5);
    return style;
}

// The raster layer's box: the map's box times kLayerFactor, widened where
// needed so that the view, which never shows more than the layer, can take
// in the map's box times kVisibleFactor (a tall map in a wide view would
// otherwise show only its middle).
std::shared_ptr<CBBoundingBox> layerBox(const CBBoundingBox& shape, CGSize view) {
    auto layer = shape.boundingBoxMultipliedByFactor(kLayerFactor);
    if (view.width <= 0 || view.height <= 0)
        return layer;
    const auto centre = shape.centerCoordinate();
    const double shrink = std::cos(centre.latitude * M_PI / 180.0);
    const double visibleLatitude = shape.latitudeSpan() * kVisibleFactor;
    const double visibleLongitude = shape.longitudeSpan() * kVisibleFactor;
    const double latitude =
        std::max(layer->latitudeSpan(), visibleLongitude * shrink * view.height / view.width);
    const double longitude =
        std::max(layer->longitudeSpan(), visibleLatitude / shrink * view.width / view.height);
    return CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan(
        centre, std::min(latitude, 170.0), std::min(longitude, 359.0));
}

}  // namespace

void CBMapStoreDetailVC::buildPreviewMap() {
    auto shape = map_->shape();
    auto box = shape ? shape->bbox() : nullptr;
    // A map without an outline (the sentinel box has no span) gets no preview.
    if (!box || !(box->latitudeSpan() > 0 && box->longitudeSpan() > 0))
        return;
    auto bounds = mapViewContainer_->bounds();
    mapView_ = CBMapScrollView::create(CGRectMake(0, 0, bounds.size.width, bounds.size.height));
    mapView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                  UIViewAutoresizingFlexibleHeight);
    mapView_->setUserInteractionEnabled(false);
    // The preview is no map the user left: nothing of it is remembered.
    mapView_->visibleArea()->setSavesState(false);
    mapTileDataSource_ =
        mapView_->layers()->setupForThunderforestLayerWithBoundingBox(layerBox(*box, bounds.size));
    mapTileDataSource_->setCacheDelegate(
        std::static_pointer_cast<CBMapStoreDetailVC>(shared_from_this()));
    mapViewContainer_->insertSubviewAtIndex(mapView_, 0);
    zoomPreviewMap();

    auto outline = std::make_shared<CBPathDataSource>();
    outline->setClosedPath(true);
    outline->setCoordinatePath(shape);
    outline->setStyle(outlineStyle());
    mapView_->overlays()->addOverlayDatasource(outline);
}

void CBMapStoreDetailVC::zoomPreviewMap() {
    auto shape = mapView_ ? map_->shape() : nullptr;
    if (!shape)
        return;
    mapView_->zoomToBoundingBoxAnimated(
        shape->bbox()->boundingBoxMultipliedByFactor(kVisibleFactor), false);
}

std::optional<std::string> CBMapStoreDetailVC::imageDataSourcePathForCachedImageWithUrl(
    CBImageDataSource&, const NSURL& url) {
    return CBMapStoreController::pathForCachedTileWithUrl(url.absoluteString());
}
