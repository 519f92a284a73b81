#include "mapkit/CBMapScrollView.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "Foundation/NSNotificationCenter.h"
#include "QuartzCore/CATransaction.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapBackgroundLayer.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

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
    if (visibleArea_ && visibleArea_->savesState())
        saveStateWithIdentifier(currentIdentifier());
    if (mapView_)
        mapView_->setScrollView({});
    if (displayManager_)
        displayManager_->setMap({});
}

std::shared_ptr<CBMapScrollView> CBMapScrollView::self() {
    return std::static_pointer_cast<CBMapScrollView>(shared_from_this());
}

std::shared_ptr<const CBMapScrollView> CBMapScrollView::self() const {
    return std::static_pointer_cast<const CBMapScrollView>(shared_from_this());
}

void CBMapScrollView::setupView() {
    setBouncesZoom(true);
    setDecelerationRate(UIScrollViewDecelerationRateFast);
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    UIScrollView::setDelegate(self());
    setScrollsToTop(false);
    visibleArea_ = std::make_shared<CBMapVisibleArea>(self());
    layout_ = std::make_shared<CBMapLayout>(self());
    displayManager_ = std::make_shared<CBGeoDisplayManager>();
    displayManager_->setMap(self());
    layers_ = std::make_shared<CBMapLayers>(self(), displayManager_);
    ornamentationFrameManager_ = std::make_shared<CBMapOrnamentationFrameManager>(self(), self());
    setBackgroundColor(UIColor::lightGrayColor());
    addMapView();
    annotationsManager_ = CBAnnotationsManager::create(self());
    annotationsHost_ = std::make_shared<CBMapAnnotationsHost>(self(), annotationsManager_);
    userLocationFollower_ = CBMapUserLocationFollower::create(self());
    overlays_ = std::make_shared<CBMapOverlays>(self());
    scaleBar_ = std::make_shared<CBMapScaleBar>(self());
}

void CBMapScrollView::addMapView() {
    if (!mapBackgroundLayer_) {
        auto background = std::make_shared<CBMapBackgroundLayer>();
        background->setTileSize(CGSizeMake(CBMapLayout::tileWidth(), CBMapLayout::tileHeight()));
        mapBackgroundLayer_ = background;
        layer()->insertSublayerAtIndex(mapBackgroundLayer_, 0);
    }
    if (!mapContainerView_) {
        mapContainerView_ = std::make_shared<MapContainerView>(CGRectZero);
        addSubview(mapContainerView_);
    }
    if (!mapView_) {
        mapView_ = std::make_shared<CBMapView>(CGRectZero);
        mapView_->setTileSize(CGSizeMake(CBMapLayout::tileWidth(), CBMapLayout::tileHeight()));
        mapView_->setBackgroundColor(UIColor::clearColor());
        mapView_->setScrollView(self());
        mapView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                      UIViewAutoresizingFlexibleHeight);
        layers_->setupMapViewForCurrentMapBaseStyle();
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
    if (const auto& vector = layers_->vectorDataSourceLayer())
        vector->resetCollisionDetectionMemory();
    addMapView();
    layout_->configureForBoundingBox(layout_->mapBoundingBox());
    setZoomScale(scale);
    setContentOffset(offset);
}

void CBMapScrollView::calculatePointPathAndCGPathRefForGeoPathObject(
    bool wantPoints, bool wantPath, CBGeoPathObject& object) const {
    layout_->calculatePointPathAndCGPathRefForGeoPathObject(wantPoints, wantPath, object);
}

CGPoint CBMapScrollView::pointForCoordinate(CLLocationCoordinate2D coordinate) const {
    return mapView_->convertPointToView(layout_->offsetForCoordinate(coordinate),
                                        std::const_pointer_cast<CBMapScrollView>(self()));
}

CLLocationCoordinate2D CBMapScrollView::coordinateAtPoint(CGPoint point) const {
    CGPoint origin = bounds().origin;
    CGPoint inContent =
        mapView_->convertPointFromView(CGPointMake(point.x + origin.x, point.y + origin.y),
                                       std::const_pointer_cast<CBMapScrollView>(self()));
    return layout_->coordinateAtOffset(inContent);
}

bool CBMapScrollView::zoomToBoundingBoxAnimated(const std::shared_ptr<CBBoundingBox>& box,
                                                bool animated) {
    if (!box)
        return false;
    CGRect rect = layout_->rectForBoundingBox(box);
    if (CGRectEqualToRect(rect, CGRectZero))
        return false;
    animatedZooming_ = animated;
    insideTheMap([&] { zoomToRectAnimated(rect, animated); });
    return true;
}

bool CBMapScrollView::moveToCoordinateAnimated(CLLocationCoordinate2D coordinate, bool animated) {
    auto mapBox = layout_->mapBoundingBox();
    if (!mapBox || !mapBox->includesCoordinate(coordinate))
        return false;
    CGPoint p = pointForCoordinate(coordinate);
    CGSize size = bounds().size;
    insideTheMap([&] {
        scrollRectToVisibleAnimated(
            CGRectMake(p.x - size.width * 0.5, p.y - size.height * 0.5, size.width, size.height),
            animated);
    });
    return true;
}

void CBMapScrollView::insideTheMap(const std::function<void()>& move) {
    const UIEdgeInsets inset = contentInset();
    if (inset == UIEdgeInsetsZero) {
        move();
        return;
    }
    setContentInset(UIEdgeInsetsZero);
    move();
    setContentInset(inset);
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

void CBMapScrollView::setFrameWithoutRecentring(const CGRect& frame) {
    originalWidth_ = 0;
    originalHeight_ = 0;
    setFrame(frame);
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
            if (annotationsManager_)
                annotationsManager_->setNeedsCalloutClearance();
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

void CBMapScrollView::removeCheckerPattern() {
    if (mapBackgroundLayer_)
        mapBackgroundLayer_->removeFromSuperlayer();
    mapBackgroundLayer_ = nullptr;
}
