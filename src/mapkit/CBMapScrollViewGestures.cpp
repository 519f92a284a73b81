// The map view's gestures, scroll-view callbacks and what it tells its delegate.
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapVisibleArea.h"

void CBMapScrollView::createGestureRecognizers() {
    std::weak_ptr<CBMapScrollView> weak = self();
    auto target = [weak](void (CBMapScrollView::*handler)(UIGestureRecognizer&)) {
        return [weak, handler](UIGestureRecognizer& recognizer) {
            if (auto view = weak.lock())
                ((*view).*handler)(recognizer);
        };
    };
    auto doubleTap =
        std::make_shared<UITapGestureRecognizer>(target(&CBMapScrollView::handleDoubleTapGesture));
    doubleTap->setNumberOfTapsRequired(2);
    mapView_->addGestureRecognizer(doubleTap);

    auto longPress = std::make_shared<UILongPressGestureRecognizer>(
        target(&CBMapScrollView::handleLongPressGesture));
    mapView_->addGestureRecognizer(longPress);

    auto singleTap =
        std::make_shared<UITapGestureRecognizer>(target(&CBMapScrollView::handleSingleTapGesture));
    singleTap->setNumberOfTapsRequired(1);
    singleTap->requireGestureRecognizerToFail(doubleTap);
    singleTap->requireGestureRecognizerToFail(longPress);
    mapView_->addGestureRecognizer(singleTap);

    auto twoFingerTap = std::make_shared<UITapGestureRecognizer>(
        target(&CBMapScrollView::handleTwoFingerSingleTapGesture));
    twoFingerTap->setNumberOfTapsRequired(1);
    twoFingerTap->setNumberOfTouchesRequired(2);
    mapView_->addGestureRecognizer(twoFingerTap);
}

void CBMapScrollView::handleSingleTapGesture(UIGestureRecognizer& recognizer) {
    annotationsHost_->hideMagnifier(true);
    CGPoint p = recognizer.locationInView(mapView_);
    CLLocationCoordinate2D c = layout_->coordinateAtOffset(p);
    // An annotation or the callout that takes the tap keeps it from the delegate.
    if (annotationsManager_->singleTapAtWithCoordinate(recognizer.locationInView(self()), c))
        return;
    if (auto d = mapDelegate())
        d->mapScrollViewGotSingleTapAtPointAndCoordinate(*this, p, c);
}

void CBMapScrollView::zoomByFactorAround(float factor, CGPoint containerPoint) {
    float newScale = static_cast<float>(zoomScale()) * factor;
    animatedZooming_ = true;
    userLocationFollower_->userDidZoom();
    stepCentre_.reset();
    insideTheMap([&] {
        if (userLocationFollower_->centersOnUserLocation())
            setZoomScaleAnimated(newScale, true);
        else
            zoomToRectAnimated(layout_->zoomRectForScaleWithCenter(newScale, containerPoint), true);
    });
}

CGPoint CBMapScrollView::targetMiddleInContainer() const {
    const CGPoint offset = targetContentOffset();
    const CGPoint origin = mapContainerView_->frame().origin;
    const CGSize size = bounds().size;
    const CGFloat scale = targetZoomScale();
    return {(offset.x + size.width / 2 - origin.x) / scale,
            (offset.y + size.height / 2 - origin.y) / scale};
}

void CBMapScrollView::stepZoomToScale(CGFloat scale) {
    const CGPoint middle = targetMiddleInContainer();
    // Half a point on the screen: the map has not moved since the last step.
    const CGFloat still = 0.5 / targetZoomScale();
    const bool goesOn = stepCentre_ && std::fabs(middle.x - stepLanding_.x) <= still &&
                        std::fabs(middle.y - stepLanding_.y) <= still;
    const CGPoint centre = goesOn ? *stepCentre_ : middle;
    animatedZooming_ = true;
    userLocationFollower_->userDidZoom();
    insideTheMap([&] {
        if (userLocationFollower_->centersOnUserLocation())
            setZoomScaleAnimated(scale, true);
        else
            zoomToRectAnimated(
                layout_->zoomRectForScaleWithCenter(static_cast<float>(scale), centre), true);
    });
    stepCentre_ = centre;
    stepLanding_ = targetMiddleInContainer();
}

void CBMapScrollView::handleDoubleTapGesture(UIGestureRecognizer& recognizer) {
    CGPoint p = recognizer.locationInView(mapView_);
    auto d = mapDelegate();
    if (d) {
        d->mapScrollViewGotDoubleTapAtPointAndCoordinate(*this, p, layout_->coordinateAtOffset(p));
        if (d->mapScrollViewShouldZoomInAfterDoubleTapAt(*this, p) == false)
            return;
    }
    zoomByFactorAround(2.0f, recognizer.locationInView(mapContainerView_));
}

void CBMapScrollView::handleTwoFingerSingleTapGesture(UIGestureRecognizer& recognizer) {
    CGPoint p = recognizer.locationInView(mapView_);
    auto d = mapDelegate();
    if (!animatedZooming_) {
        bool zoom = !d || d->mapScrollViewShouldZoomOutAfterTwoFingerTapAt(*this, p) != false;
        if (zoom)
            zoomByFactorAround(0.5f, recognizer.locationInView(mapContainerView_));
    }
    if (d)
        d->mapScrollViewGotTwoFingerTapAtPointAndCoordinate(*this, p,
                                                            layout_->coordinateAtOffset(p));
}

void CBMapScrollView::handleLongPressGesture(UIGestureRecognizer& recognizer) {
    if (recognizer.state() != UIGestureRecognizerStateBegan)
        return;
    CGPoint p = recognizer.locationInView(mapView_);
    if (auto d = mapDelegate())
        d->mapScrollViewGotTapAndHoldAtPointAndCoordinate(*this, p, layout_->coordinateAtOffset(p));
}

void CBMapScrollView::notifyDelegateMapDidChangeBBoxAnimated(bool animated) {
    if (!layout_->mapProjection())
        return;
    visibleArea_->calculateVisibleBBox();
    if (auto d = mapDelegate())
        visibleArea_->notifyDelegateOfBoxes(*d, animated);
    annotationsManager_->layoutAnnotationViews();
}

std::shared_ptr<UIView> CBMapScrollView::viewForZoomingInScrollView(UIScrollView&) {
    return mapContainerView_;
}

void CBMapScrollView::scrollViewWillBeginDragging(UIScrollView&) {
    userLocationFollower_->setCentersOnUserLocation(false);
    if (auto d = mapDelegate())
        d->mapScrollViewWillBeginDragging(*this);
}

void CBMapScrollView::scrollViewDidEndDraggingWillDecelerate(UIScrollView&, bool decelerate) {
    if (!decelerate)
        notifyDelegateMapDidChangeBBoxAnimated(false);
    userLocationFollower_->mapDidSettle();
    if (auto d = mapDelegate())
        d->mapScrollViewDidEndDragging(*this);
}

void CBMapScrollView::scrollViewDidEndDecelerating(UIScrollView&) {
    notifyDelegateMapDidChangeBBoxAnimated(true);
}

void CBMapScrollView::scrollViewDidEndScrollingAnimation(UIScrollView&) {
    notifyDelegateMapDidChangeBBoxAnimated(true);
    animatedZooming_ = false;
}

void CBMapScrollView::scrollViewDidScroll(UIScrollView&) {
    if (!animatedZooming_)
        notifyDelegateMapDidChangeBBoxAnimated(false);
}

void CBMapScrollView::scrollViewWillBeginZoomingWithView(UIScrollView&,
                                                         const std::shared_ptr<UIView>&) {
    if (mapBackgroundLayer_)
        mapBackgroundLayer_->setHidden(true);
    userLocationFollower_->userDidZoom();
    stepCentre_.reset();
    // The pinch, its bounce included, keeps the map inside its box.
    if (!insetBeforePinch_) {
        insetBeforePinch_ = contentInset();
        setContentInset(UIEdgeInsetsZero);
    }
}

void CBMapScrollView::scrollViewDidEndZoomingWithViewAtScale(UIScrollView&,
                                                             const std::shared_ptr<UIView>&,
                                                             CGFloat) {
    if (mapBackgroundLayer_) {
        mapBackgroundLayer_->setNeedsDisplay();
        mapBackgroundLayer_->setHidden(false);
    }
    if (insetBeforePinch_) {
        setContentInset(*insetBeforePinch_);
        insetBeforePinch_.reset();
    }
    animatedZooming_ = false;
    userLocationFollower_->mapDidSettle();
    notifyDelegateMapDidChangeBBoxAnimated(true);
}

void CBMapScrollView::scrollViewDidZoom(UIScrollView&) {
    notifyDelegateMapDidChangeBBoxAnimated(false);
    annotationsHost_->hideMagnifier(true);
}

std::optional<std::vector<std::shared_ptr<UIView>>>
CBMapScrollView::mapOrnamentationFrameManagerViewsForDirection(CBMapOrnamentationFrameManager&,
                                                               unsigned direction) {
    if (auto d = mapDelegate())
        return d->mapScrollViewOrnamentationViewsForDirection(*this, direction);
    return std::nullopt;
}
