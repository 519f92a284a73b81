#include "mapkit/ZELInteractiveMapScaleView.h"

#include <algorithm>

#include "CoreLocation/CLLocation.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapView.h"
#include "mapkit/ZELInteractiveMapScaleRulerView.h"
#include "mapkit/ZELTwoFingerPanGestureRecognizer.h"

std::shared_ptr<ZELInteractiveMapScaleView> ZELInteractiveMapScaleView::create(
    const CGRect& frame, const std::shared_ptr<CBMapScrollView>& mapScrollView) {
    auto view = std::make_shared<ZELInteractiveMapScaleView>(frame);
    view->setUp(mapScrollView);
    return view;
}

ZELInteractiveMapScaleView::ZELInteractiveMapScaleView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    UIView::setUserInteractionEnabled(false);
    setMultipleTouchEnabled(false);
}

ZELInteractiveMapScaleView::~ZELInteractiveMapScaleView() {
    if (auto map = mapScrollView(); map && recognizer_)
        map->removeGestureRecognizer(recognizer_);
}

void ZELInteractiveMapScaleView::setUp(const std::shared_ptr<CBMapScrollView>& mapScrollView) {
    mapScrollView_ = mapScrollView;
    auto ruler = ZELInteractiveMapScaleRulerView::create(bounds());
    ruler->setHidden(true);
    addSubview(ruler);
    rulerView_ = ruler;
    UIView::setHidden(true);
    std::weak_ptr<ZELInteractiveMapScaleView> weak =
        std::static_pointer_cast<ZELInteractiveMapScaleView>(shared_from_this());
    recognizer_ =
        std::make_shared<ZELTwoFingerPanGestureRecognizer>([weak](UIGestureRecognizer& r) {
            if (auto overlay = weak.lock())
                overlay->gestureAction(r);
        });
    recognizer_->setDelegate(
        std::static_pointer_cast<ZELInteractiveMapScaleView>(shared_from_this()));
    if (mapScrollView)
        mapScrollView->addGestureRecognizer(recognizer_);
}

void ZELInteractiveMapScaleView::setHidden(bool hidden) {
    UIView::setHidden(hidden);
    setMapUserInteractionEnabled(hidden);
}

void ZELInteractiveMapScaleView::setMapUserInteractionEnabled(bool enabled) {
    auto map = mapScrollView();
    if (!map)
        return;
    map->setUserInteractionEnabled(enabled);
    auto apply = [&](const UIView& view) {
        for (const auto& recognizer : view.gestureRecognizers())
            if (recognizer != recognizer_)
                recognizer->setEnabled(enabled);
    };
    apply(*map);
    if (map->mapView())
        apply(*map->mapView());
}

double ZELInteractiveMapScaleView::distanceBetweenPoints(CGPoint a, CGPoint b) const {
    auto map = mapScrollView();
    if (!map || !map->mapView())
        return 0;
    // One conversion, straight into the map's content: the scroll offset
    // and any turn of the map are counted exactly once.
    auto self =
        std::const_pointer_cast<UIView>(std::static_pointer_cast<const UIView>(shared_from_this()));
    CLLocationCoordinate2D c0 =
        map->layout()->coordinateAtOffset(self->convertPointToView(a, map->mapView()));
    CLLocationCoordinate2D c1 =
        map->layout()->coordinateAtOffset(self->convertPointToView(b, map->mapView()));
    return CLLocation(c0.latitude, c0.longitude)
        .distanceFromLocation(CLLocation(c1.latitude, c1.longitude));
}

void ZELInteractiveMapScaleView::gestureAction(UIGestureRecognizer& recognizer) {
    auto ruler = rulerView();
    auto map = mapScrollView();
    if (!ruler || !map)
        return;
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    bool measuring = (recognizer.state() == UIGestureRecognizerStateBegan ||
                      recognizer.state() == UIGestureRecognizerStateChanged) &&
                     recognizer.numberOfTouches() == 2;
    if (!measuring) {
        setMapUserInteractionEnabled(true);
        std::weak_ptr<ZELInteractiveMapScaleView> weak =
            std::static_pointer_cast<ZELInteractiveMapScaleView>(shared_from_this());
        ruler->setHiddenAnimatedWithCompletionBlock(true, true, [weak] {
            if (auto overlay = weak.lock())
                overlay->setHidden(true);
        });
        return;
    }
    CGPoint p0 = recognizer.locationOfTouchInView(0, self);
    CGPoint p1 = recognizer.locationOfTouchInView(1, self);
    ruler->setFlipped((p0.x - p1.x) * (p0.y - p1.y) < 0);
    ruler->setDistanceLabelText(
        stringWithDistanceFromFloat(static_cast<float>(distanceBetweenPoints(p0, p1))));
    CGRect span = CGRectMake(std::min(p0.x, p1.x), std::min(p0.y, p1.y), std::fabs(p0.x - p1.x),
                             std::fabs(p0.y - p1.y));
    ruler->setFrame(CGRectInset(span, -2, -2));
    ruler->setNeedsDisplay();
    ruler->setNeedsLayout();
    if (recognizer.state() == UIGestureRecognizerStateBegan &&
        !map->userLocationFollower()->centersOnUserLocation()) {
        setHidden(false);
        ruler->setHiddenAnimatedWithCompletionBlock(false, true, nullptr);
    }
}
