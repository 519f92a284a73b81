#include "mapkit/CBMapLayout.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "Foundation/NSAssert.h"
#include "QuartzCore/CATiledLayer.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapGridLayout.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapWebMercatorProjection.h"

namespace {
constexpr int kDefaultMaximumZoomLevel = 18;
}  // namespace

CBMapLayout::CBMapLayout(std::weak_ptr<CBMapScrollView> map) : map_(std::move(map)) {}

float CBMapLayout::screenScale() {
    auto screen = UIScreen::mainScreen();
    CGFloat scale = screen ? screen->scale() : 0;
    return scale > 0 ? static_cast<float>(scale) : 1.0f;
}

double CBMapLayout::tileWidth() {
    // Fixed once per process: tiles already drawn and cached keep their size.
    static const double size = 256.0 * screenScale();
    return size;
}

double CBMapLayout::tileHeight() {
    return tileWidth();
}

std::shared_ptr<CBMapProjection> CBMapLayout::mapProjection() const {
    std::lock_guard lock(configMutex_);
    return mapProjection_;
}

CLLocationCoordinate2D CBMapLayout::mapCornerNorthWest() const {
    auto laidOut = projector();
    return laidOut ? laidOut->mapCornerNorthWest() : CLLocationCoordinate2D{0, 0};
}

std::shared_ptr<const CBMapProjector> CBMapLayout::projector() const {
    std::lock_guard lock(configMutex_);
    return projector_;
}

void CBMapLayout::setMapBoundingBox(const std::shared_ptr<CBBoundingBox>& box) {
    setMapBoundingBoxForProjectionAndMaximumZoomlevel(
        box, box ? std::make_shared<CBMapWebMercatorProjection>() : nullptr,
        kDefaultMaximumZoomLevel);
}

void CBMapLayout::setMapBoundingBoxForProjectionAndMaximumZoomlevel(
    const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<CBMapProjection>& projection,
    int maximumZoomLevel) {
    auto map = map_.lock();
    if (!map)
        return;
    mapBoundingBox_ = nullptr;
    {
        std::lock_guard lock(configMutex_);
        mapProjection_ = nullptr;
        projector_ = nullptr;
    }
    map->displayManager()->setProjector(nullptr);
    if (!box || !projection)
        return;
    mapBoundingBox_ = box;
    {
        std::lock_guard lock(configMutex_);
        mapProjection_ = projection;
    }
    maximumZoomlevel_ = maximumZoomLevel;
    map->userLocationFollower()->mapBoundingBoxDidChange();
    configureForBoundingBox(box);
    map->setZoomScale(2 * map->minimumZoomScale());
    map->moveToCoordinateAnimated(box->centerCoordinate(), false);
}

void CBMapLayout::configureForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) {
    auto map = map_.lock();
    auto projection = mapProjection();
    if (!map || !box || !projection)
        return;
    map->setMinimumZoomScale(0.5);
    map->setMaximumZoomScale(1.0);
    map->setZoomScale(1.0);
    const CBMapGridLayout layout = CBMapGridLayout::layoutForBoundingBox(
        *box, projection, maximumZoomLevel(), tileWidth(), map->bounds().size, screenScale());
    offsetRows_ = layout.projector->offsetRows();
    offsetCols_ = layout.projector->offsetColumns();
    {
        std::lock_guard lock(configMutex_);
        projector_ = layout.projector;
    }
    map->displayManager()->setProjector(layout.projector);
    configureForMapSizeAndContainerSizeAndOffset(layout.gridSize, layout.boxSize,
                                                 layout.gridOffset);
}

void CBMapLayout::configureForMapSizeAndContainerSizeAndOffset(CGSize mapSize, CGSize containerSize,
                                                               CGPoint offset) {
    auto map = map_.lock();
    if (!map)
        return;
    configureZoomForMapSize(containerSize);
    map->mapContainerView()->setTransform(CGAffineTransformIdentity);
    map->mapContainerView()->setFrame(CGRect{{0, 0}, containerSize});
    const auto& mapView = map->mapView();
    mapView->setFrame(CGRect{offset, mapSize});
    NSAssert(maximumZoomLevel() >= minimumZoomLevel(), "mapkit/CBMapLayout",
             "Maximum zoom level %d is below the minimum zoom level %d", maximumZoomLevel(),
             minimumZoomLevel());
    // One level of detail per zoom level, the minimum's included: a view
    // zoomed out to its minimum shows the tiles of that zoom, not a finer
    // level's many tiles shrunk.
    const int levels = maximumZoomLevel() - minimumZoomLevel() + 1;
    mapView->setLevelsOfDetail(levels);
    if (auto background = std::dynamic_pointer_cast<CATiledLayer>(map->mapBackgroundLayer()))
        background->setLevelsOfDetail(static_cast<size_t>(levels));
    mapView->setOffsetRowAndColumn(offsetRows_, offsetCols_);
    map->setContentSize(containerSize);
    map->setZoomScale(map->minimumZoomScale());
    mapView->refresh();
}

void CBMapLayout::configureZoomForMapSize(CGSize size) {
    auto map = map_.lock();
    if (!map)
        return;
    CGFloat minimum = 0, maximum = 0;
    CBMapGridLayout::zoomScalesForMapSize(size, map->bounds().size, screenScale(), minimum,
                                          maximum);
    map->setMaximumZoomScale(maximum);
    map->setMinimumZoomScale(minimum);
}

int CBMapLayout::nativeZoomLevelForScale(float scale) const {
    return CBMapProjector::nativeZoomLevelForScaleAtMaximumZoomLevel(scale, maximumZoomLevel());
}

float CBMapLayout::scaleForNativeZoomlevel(int level) const {
    return CBMapProjector::scaleForNativeZoomlevelAtMaximumZoomLevel(level, maximumZoomLevel());
}

int CBMapLayout::nativeZoomLevel() const {
    auto map = map_.lock();
    return nativeZoomLevelForScale(static_cast<float>(map ? map->zoomScale() : 1) * screenScale());
}

int CBMapLayout::targetNativeZoomLevel() const {
    auto map = map_.lock();
    return nativeZoomLevelForScale(static_cast<float>(map ? map->targetZoomScale() : 1) *
                                   screenScale());
}

int CBMapLayout::minimumZoomLevel() const {
    auto map = map_.lock();
    return nativeZoomLevelForScale(static_cast<float>(map ? map->minimumZoomScale() : 1) *
                                   screenScale());
}

void CBMapLayout::setMaximumZoomLevel(int level) {
    if (auto map = map_.lock())
        map->setMaximumZoomScale(std::pow(0.5, maximumZoomLevel() - level) / screenScale());
}

CGRect CBMapLayout::rectForXYZ(int x, int y, int z) const {
    if (auto laidOut = projector())
        return laidOut->rectForXYZ(x, y, z);
    return CBMapProjector::rectForXYZOnGrid(x, y, z, maximumZoomLevel(), 0, 0, tileWidth());
}

int CBMapLayout::offsetColumnsForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tilexForCoordinateAndZoom(box.SW(), maximumZoomLevel()) : 0;
}

int CBMapLayout::offsetRowsForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tileyForCoordinateAndZoom(box.NE(), maximumZoomLevel()) : 0;
}

int CBMapLayout::lastColumnForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tilexForCoordinateAndZoom(box.NE(), maximumZoomLevel()) : 0;
}

int CBMapLayout::lastRowForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tileyForCoordinateAndZoom(box.SW(), maximumZoomLevel()) : 0;
}

CGPoint CBMapLayout::offsetForCoordinate(CLLocationCoordinate2D coordinate) const {
    auto laidOut = projector();
    return laidOut ? laidOut->offsetForCoordinate(coordinate) : CGPointZero;
}

CLLocationCoordinate2D CBMapLayout::coordinateAtOffset(CGPoint offset) const {
    auto laidOut = projector();
    return laidOut ? laidOut->coordinateAtOffset(offset) : CLLocationCoordinate2D{};
}

void CBMapLayout::calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                                 CBGeoPathObject& object) const {
    if (auto laidOut = projector())
        laidOut->calculatePointPathAndCGPathRefForGeoPathObject(wantPoints, wantPath, object);
}

CGRect CBMapLayout::rectForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const {
    auto map = map_.lock();
    if (!map || !box || !mapBoundingBox_)
        return CGRectZero;
    auto healed = std::make_shared<CBBoundingBox>(*box);
    healed->heal();
    auto inside =
        CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(healed, mapBoundingBox_);
    if (!inside)
        return CGRectZero;
    const auto& mapView = map->mapView();
    CGPoint ne =
        mapView->convertPointToView(offsetForCoordinate(inside->NE()), map->mapContainerView());
    CGPoint sw =
        mapView->convertPointToView(offsetForCoordinate(inside->SW()), map->mapContainerView());
    return CGRectMake(sw.x, ne.y, std::max(1.0, std::fabs(ne.x - sw.x)),
                      std::max(1.0, std::fabs(sw.y - ne.y)));
}

float CBMapLayout::zoomScaleThatFitsBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const {
    auto map = map_.lock();
    CGRect rect = rectForBoundingBox(box);
    if (!map || rect.size.width == 0 || rect.size.height == 0)
        return 0;
    CGRect f = map->UIView::frame();
    return static_cast<float>(
        std::min(f.size.width / rect.size.width, f.size.height / rect.size.height) *
        map->zoomScale());
}

CGRect CBMapLayout::zoomRectForScaleWithCenter(float scale, CGPoint center) const {
    auto map = map_.lock();
    if (!map)
        return CGRectZero;
    CGRect f = map->UIView::frame();
    double w = f.size.width / scale;
    double h = f.size.height / scale;
    return CGRectMake(center.x - w * 0.5, center.y - h * 0.5, w, h);
}
