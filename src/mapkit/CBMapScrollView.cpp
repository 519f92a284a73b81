#include "mapkit/CBMapScrollView.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreLocation/CLLocation.h"
#include "Foundation/NSAssert.h"
#include "Foundation/NSNotificationCenter.h"
#include "QuartzCore/CATransaction.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapBackgroundLayer.h"
#include "mapkit/CBMapGridLayout.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBMapScaleView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapWebMercatorProjection.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

constexpr int kDefaultMaximumZoomLevel = 18;
constexpr double kMinimumWiderBBoxFactor = 1.5;
constexpr double kMaximumWiderBBoxFactor = 5.0;

// The zooming view: as large as the whole map at the deepest level, and it
// never draws, so it must never get a backing store.
class MapContainerView : public UIView {
  public:
    using UIView::UIView;
    bool layerWantsDrawing(CALayer&) override { return false; }
};

}  // namespace

std::shared_ptr<CBMapScrollView> CBMapScrollView::create(const CGRect& frame) {
    auto view = std::make_shared<CBMapScrollView>(frame);
    view->setupView();
    return view;
}

CBMapScrollView::CBMapScrollView(const CGRect& frame) : UIScrollView(frame) {}

CBMapScrollView::~CBMapScrollView() {
    if (openMapObserver_)
        NSNotificationCenter::defaultCenter()->removeObserver(openMapObserver_);
    if (locationManager_)
        locationManager_->cleanUpEmptyDelegateWrappers();
    if (savesState_)
        saveStateWithIdentifier(currentIdentifier());
    if (mapView_)
        mapView_->setScrollView({});
    if (displayManager_)
        displayManager_->setMap({});
    if (mapScaleView_)
        mapScaleView_->removeFromSuperview();
}

std::shared_ptr<CBMapScrollView> CBMapScrollView::self() {
    return std::static_pointer_cast<CBMapScrollView>(shared_from_this());
}

std::shared_ptr<const CBMapScrollView> CBMapScrollView::self() const {
    return std::static_pointer_cast<const CBMapScrollView>(shared_from_this());
}

float CBMapScrollView::screenScale() {
    auto screen = UIScreen::mainScreen();
    CGFloat scale = screen ? screen->scale() : 0;
    return scale > 0 ? static_cast<float>(scale) : 1.0f;
}

double CBMapScrollView::tileWidth() {
    // Fixed once per process: tiles already drawn and cached keep their size.
    static const double size = 256.0 * screenScale();
    return size;
}

double CBMapScrollView::tileHeight() {
    return tileWidth();
}

void CBMapScrollView::setupView() {
    setBouncesZoom(true);
    setDecelerationRate(UIScrollViewDecelerationRateFast);
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    UIScrollView::setDelegate(self());
    setScrollsToTop(false);
    widerBBoxFactor_ = 3.0;
    displayManager_ = std::make_shared<CBGeoDisplayManager>();
    displayManager_->setMap(self());
    vectorDataSourceLayer_ = std::make_shared<CBVectorDataSource>(displayManager_);
    displayManager_->addDatasource(vectorDataSourceLayer_);
    ornamentationFrameManager_ = std::make_shared<CBMapOrnamentationFrameManager>(self(), self());
    setBackgroundColor(UIColor::lightGrayColor());
    addMapView();
    setUpUserLocation();
}

void CBMapScrollView::addMapView() {
    if (!mapBackgroundLayer_) {
        auto background = std::make_shared<CBMapBackgroundLayer>();
        background->setTileSize(CGSizeMake(tileWidth(), tileHeight()));
        mapBackgroundLayer_ = background;
        layer()->insertSublayerAtIndex(mapBackgroundLayer_, 0);
    }
    if (!mapContainerView_) {
        mapContainerView_ = std::make_shared<MapContainerView>(CGRectZero);
        addSubview(mapContainerView_);
    }
    if (!mapView_) {
        mapView_ = std::make_shared<CBMapView>(CGRectZero);
        mapView_->setTileSize(CGSizeMake(tileWidth(), tileHeight()));
        mapView_->setBackgroundColor(UIColor::clearColor());
        mapView_->setScrollView(self());
        mapView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                      UIViewAutoresizingFlexibleHeight);
        setupMapViewForCurrentMapBaseStyle();
        mapView_->setManager(displayManager_);
        mapContainerView_->addSubview(mapView_);
        createGestureRecognizers();
    }
}

void CBMapScrollView::reloadMapView() {
    CGPoint offset = contentOffset();
    CGFloat scale = zoomScale();
    if (mapView_)
        mapView_->removeFromSuperview();
    mapView_ = nullptr;
    if (vectorDataSourceLayer_)
        vectorDataSourceLayer_->resetCollisionDetectionMemory();
    addMapView();
    configureForBoundingBox(mapBoundingBox_);
    setZoomScale(scale);
    setContentOffset(offset);
}

std::shared_ptr<CBMapProjection> CBMapScrollView::mapProjection() const {
    std::lock_guard lock(configMutex_);
    return mapProjection_;
}

CLLocationCoordinate2D CBMapScrollView::mapCornerNorthWest() const {
    auto laidOut = projector();
    return laidOut ? laidOut->mapCornerNorthWest() : CLLocationCoordinate2D{0, 0};
}

std::shared_ptr<const CBMapProjector> CBMapScrollView::projector() const {
    std::lock_guard lock(configMutex_);
    return projector_;
}

bool CBMapScrollView::cacheTransparentTileImages() const {
    return displayManager_ && displayManager_->cacheTransparentTileImages();
}

void CBMapScrollView::setCacheTransparentTileImages(bool flag) {
    if (displayManager_)
        displayManager_->setCacheTransparentTileImages(flag);
}

void CBMapScrollView::setMapBoundingBox(const std::shared_ptr<CBBoundingBox>& box) {
    setMapBoundingBoxForProjectionAndMaximumZoomlevel(
        box, box ? std::make_shared<CBMapWebMercatorProjection>() : nullptr,
        kDefaultMaximumZoomLevel);
}

void CBMapScrollView::setMapBoundingBoxForProjectionAndMaximumZoomlevel(
    const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<CBMapProjection>& projection,
    int maximumZoomLevel) {
    mapBoundingBox_ = nullptr;
    {
        std::lock_guard lock(configMutex_);
        mapProjection_ = nullptr;
        projector_ = nullptr;
    }
    displayManager_->setProjector(nullptr);
    if (!box || !projection)
        return;
    mapBoundingBox_ = box;
    {
        std::lock_guard lock(configMutex_);
        mapProjection_ = projection;
    }
    maximumZoomlevel_ = maximumZoomLevel;
    notifiedDelegateForOutOfBoundsLocation_ = false;
    configureForBoundingBox(box);
    setZoomScale(2 * minimumZoomScale());
    moveToCoordinateAnimated(box->centerCoordinate(), false);
}

void CBMapScrollView::configureForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) {
    auto projection = mapProjection();
    if (!box || !projection)
        return;
    setMinimumZoomScale(0.5);
    setMaximumZoomScale(1.0);
    setZoomScale(1.0);
    const CBMapGridLayout layout = CBMapGridLayout::layoutForBoundingBox(
        *box, projection, maximumZoomLevel(), tileWidth(), bounds().size, screenScale());
    offsetRows_ = layout.projector->offsetRows();
    offsetCols_ = layout.projector->offsetColumns();
    {
        std::lock_guard lock(configMutex_);
        projector_ = layout.projector;
    }
    displayManager_->setProjector(layout.projector);
    configureForMapSizeAndContainerSizeAndOffset(layout.gridSize, layout.boxSize,
                                                 layout.gridOffset);
}

void CBMapScrollView::configureForMapSizeAndContainerSizeAndOffset(CGSize mapSize,
                                                                   CGSize containerSize,
                                                                   CGPoint offset) {
    configureZoomForMapSize(containerSize);
    mapContainerView_->setTransform(CGAffineTransformIdentity);
    mapContainerView_->setFrame(CGRect{{0, 0}, containerSize});
    mapView_->setFrame(CGRect{offset, mapSize});
    NSAssert(maximumZoomLevel() >= minimumZoomLevel(), "mapkit/CBMapScrollView",
             "Maximum zoom level %d is below the minimum zoom level %d", maximumZoomLevel(),
             minimumZoomLevel());
    // One level of detail per zoom level, the minimum's included: a view
    // zoomed out to its minimum shows the tiles of that zoom, not a finer
    // level's many tiles shrunk.
    const int levels = maximumZoomLevel() - minimumZoomLevel() + 1;
    mapView_->setLevelsOfDetail(levels);
    if (auto background = std::dynamic_pointer_cast<CATiledLayer>(mapBackgroundLayer_))
        background->setLevelsOfDetail(static_cast<size_t>(levels));
    mapView_->setOffsetRowAndColumn(offsetRows_, offsetCols_);
    setContentSize(containerSize);
    setZoomScale(minimumZoomScale());
    mapView_->refresh();
}

void CBMapScrollView::configureZoomForMapSize(CGSize size) {
    CGFloat minimum = 0, maximum = 0;
    CBMapGridLayout::zoomScalesForMapSize(size, bounds().size, screenScale(), minimum, maximum);
    setMaximumZoomScale(maximum);
    setMinimumZoomScale(minimum);
}

int CBMapScrollView::nativeZoomLevelForScale(float scale) const {
    return CBMapProjector::nativeZoomLevelForScaleAtMaximumZoomLevel(scale, maximumZoomLevel());
}

float CBMapScrollView::scaleForNativeZoomlevel(int level) const {
    return CBMapProjector::scaleForNativeZoomlevelAtMaximumZoomLevel(level, maximumZoomLevel());
}

int CBMapScrollView::nativeZoomLevel() const {
    return nativeZoomLevelForScale(static_cast<float>(zoomScale()) * screenScale());
}

int CBMapScrollView::minimumZoomLevel() const {
    return nativeZoomLevelForScale(static_cast<float>(minimumZoomScale()) * screenScale());
}

void CBMapScrollView::setMaximumZoomLevel(int level) {
    setMaximumZoomScale(std::pow(0.5, maximumZoomLevel() - level) / screenScale());
}

CGRect CBMapScrollView::rectForXYZ(int x, int y, int z) const {
    if (auto laidOut = projector())
        return laidOut->rectForXYZ(x, y, z);
    return CBMapProjector::rectForXYZOnGrid(x, y, z, maximumZoomLevel(), 0, 0, tileWidth());
}

int CBMapScrollView::offsetColumnsForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tilexForCoordinateAndZoom(box.SW(), maximumZoomLevel()) : 0;
}

int CBMapScrollView::offsetRowsForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tileyForCoordinateAndZoom(box.NE(), maximumZoomLevel()) : 0;
}

int CBMapScrollView::lastColumnForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tilexForCoordinateAndZoom(box.NE(), maximumZoomLevel()) : 0;
}

int CBMapScrollView::lastRowForBoundingBox(const CBBoundingBox& box) const {
    auto p = mapProjection();
    return p ? p->tileyForCoordinateAndZoom(box.SW(), maximumZoomLevel()) : 0;
}

CGPoint CBMapScrollView::offsetForCoordinate(CLLocationCoordinate2D coordinate) const {
    auto laidOut = projector();
    return laidOut ? laidOut->offsetForCoordinate(coordinate) : CGPointZero;
}

CLLocationCoordinate2D CBMapScrollView::coordinateAtOffset(CGPoint offset) const {
    auto laidOut = projector();
    return laidOut ? laidOut->coordinateAtOffset(offset) : CLLocationCoordinate2D{};
}

void CBMapScrollView::calculatePointPathAndCGPathRefForGeoPathObject(
    bool wantPoints, bool wantPath, CBGeoPathObject& object) const {
    if (auto laidOut = projector())
        laidOut->calculatePointPathAndCGPathRefForGeoPathObject(wantPoints, wantPath, object);
}

CGPoint CBMapScrollView::pointForCoordinate(CLLocationCoordinate2D coordinate) const {
    return mapView_->convertPointToView(offsetForCoordinate(coordinate),
                                        std::const_pointer_cast<CBMapScrollView>(self()));
}

CLLocationCoordinate2D CBMapScrollView::coordinateAtPoint(CGPoint point) const {
    CGPoint origin = bounds().origin;
    CGPoint inContent =
        mapView_->convertPointFromView(CGPointMake(point.x + origin.x, point.y + origin.y),
                                       std::const_pointer_cast<CBMapScrollView>(self()));
    return coordinateAtOffset(inContent);
}

CGRect CBMapScrollView::rectForBoundingBox(const std::shared_ptr<CBBoundingBox>& box) const {
    if (!box || !mapBoundingBox_)
        return CGRectZero;
    auto healed = std::make_shared<CBBoundingBox>(*box);
    healed->heal();
    auto inside =
        CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(healed, mapBoundingBox_);
    if (!inside)
        return CGRectZero;
    CGPoint ne = mapView_->convertPointToView(offsetForCoordinate(inside->NE()), mapContainerView_);
    CGPoint sw = mapView_->convertPointToView(offsetForCoordinate(inside->SW()), mapContainerView_);
    return CGRectMake(sw.x, ne.y, std::max(1.0, std::fabs(ne.x - sw.x)),
                      std::max(1.0, std::fabs(sw.y - ne.y)));
}

bool CBMapScrollView::zoomToBoundingBoxAnimated(const std::shared_ptr<CBBoundingBox>& box,
                                                bool animated) {
    if (!box)
        return false;
    CGRect rect = rectForBoundingBox(box);
    if (CGRectEqualToRect(rect, CGRectZero))
        return false;
    animatedZooming_ = animated;
    zoomToRectAnimated(rect, animated);
    return true;
}

float CBMapScrollView::zoomScaleThatFitsBoundingBox(
    const std::shared_ptr<CBBoundingBox>& box) const {
    CGRect rect = rectForBoundingBox(box);
    if (rect.size.width == 0 || rect.size.height == 0)
        return 0;
    CGRect f = UIView::frame();
    return static_cast<float>(
        std::min(f.size.width / rect.size.width, f.size.height / rect.size.height) * zoomScale());
}

CGRect CBMapScrollView::zoomRectForScaleWithCenter(float scale, CGPoint center) const {
    CGRect f = UIView::frame();
    double w = f.size.width / scale;
    double h = f.size.height / scale;
    return CGRectMake(center.x - w * 0.5, center.y - h * 0.5, w, h);
}

bool CBMapScrollView::moveToCoordinateAnimated(CLLocationCoordinate2D coordinate, bool animated) {
    if (!mapBoundingBox_ || !mapBoundingBox_->includesCoordinate(coordinate))
        return false;
    CGPoint p = pointForCoordinate(coordinate);
    UIEdgeInsets inset = contentInset();
    bool changed = !(inset == UIEdgeInsetsZero);
    if (changed)
        setContentInset(UIEdgeInsetsZero);
    CGSize size = bounds().size;
    scrollRectToVisibleAnimated(
        CGRectMake(p.x - size.width * 0.5, p.y - size.height * 0.5, size.width, size.height),
        animated);
    if (changed)
        setContentInset(inset);
    return true;
}

void CBMapScrollView::calculateVisibleBBox() {
    CGSize size = bounds().size;
    CLLocationCoordinate2D ne = coordinateAtPoint(CGPointMake(size.width, 0));
    CLLocationCoordinate2D sw = coordinateAtPoint(CGPointMake(0, size.height));
    if (visibleBBox_) {
        visibleBBox_->setNE(ne);
        visibleBBox_->setSW(sw);
    } else {
        visibleBBox_ = std::make_shared<CBBoundingBox>(ne, sw);
    }
    setWiderBBoxFromVisibleBBox();
    double metres = CLLocation(ne.latitude, sw.longitude)
                        .distanceFromLocation(CLLocation(ne.latitude, ne.longitude));
    pointsPerKilometer_ = size.width * 1000.0 / metres;
    if (mapScaleView_)
        mapScaleView_->setPointsPerKilometer(static_cast<float>(pointsPerKilometer_));
}

void CBMapScrollView::setWiderBBoxFromVisibleBBox() {
    auto wider =
        CBBoundingBox::significantlyWiderBBoxFromWithFactor(visibleBBox_, widerBBoxFactor_);
    if (!wider)
        return;
    if (widerBBox_)
        *widerBBox_ = *wider;
    else
        widerBBox_ = wider;
}

void CBMapScrollView::setWiderBBoxFactor(double factor) {
    widerBBoxFactor_ = std::clamp(factor, kMinimumWiderBBoxFactor, kMaximumWiderBBoxFactor);
    setWiderBBoxFromVisibleBBox();
}

CLLocationCoordinate2D CBMapScrollView::visibleCenter() const {
    return visibleBBox_ ? visibleBBox_->centerCoordinate() : CLLocationCoordinate2D{};
}

void CBMapScrollView::setBounds(const CGRect& bounds) {
    UIScrollView::setBounds(bounds);
    // The content offset is the bounds' origin: ornaments follow every move.
    if (ornamentationFrameManager_)
        ornamentationFrameManager_->layoutOrnamentationFrame();
}

void CBMapScrollView::setBackgroundColor(const std::optional<UIColor>& color) {
    UIScrollView::setBackgroundColor(color);
    if (mapBackgroundLayer_)
        mapBackgroundLayer_->setBackgroundColor(color ? std::optional(color->CGColor())
                                                      : std::nullopt);
}

void CBMapScrollView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    if (mapBackgroundLayer_ && mapContainerView_) {
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        mapBackgroundLayer_->setFrame(mapContainerView_->frame());
        CATransaction::commit();
    }
    float w = static_cast<float>(bounds().size.width);
    float h = static_cast<float>(bounds().size.height);
    if (originalWidth_ > 0 && originalHeight_ > 0) {
        if (originalWidth_ != w || originalHeight_ != h) {
            // Keep the centre where it was when the view changes size.
            CGPoint offset = contentOffset();
            setContentOffset(CGPointMake(offset.x + (originalWidth_ - w) * 0.5,
                                         offset.y + (originalHeight_ - h) * 0.5));
            originalWidth_ = w;
            originalHeight_ = h;
        }
    } else {
        originalWidth_ = w;
        originalHeight_ = h;
    }
    if (annotationsManager_) {
        annotationsManager_->layoutAnnotationViews();
        annotationsManager_->updatePositionOfCalloutView();
    }
}
