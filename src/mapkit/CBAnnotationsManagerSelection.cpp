// The annotation layer's taps, selection, callout, user position and loupe.
#include <cmath>
#include <limits>

#include "CBGeoData/CBBoundingBox.h"
#include "Dispatch/DispatchQueue.h"
#include "QuartzCore/CATransaction.h"
#include "UIKit/UIControl.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBCalloutClearance.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapMagnifier.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBUserLocation.h"
#include "mapkit/CBUserLocationAnnotationView.h"

namespace {

// The least room the callout leaves between its pin and a side: its bubble
// overhangs the pin by up to its width less this on that side.
constexpr CGFloat kCalloutSideMargin = 20;

double distanceToHotSpot(const CBAnnotationView& view, CGPoint p) {
    CGPoint c = view.center();
    CGPoint h = view.hotSpotOffset();
    return std::hypot(c.x + h.x - p.x, c.y - h.y - p.y);
}

}  // namespace

std::shared_ptr<CBAnnotationView> CBAnnotationsManager::annotationViewAtPoint(
    CGPoint point, std::vector<std::shared_ptr<CBAnnotationView>>* candidates) const {
    std::shared_ptr<CBAnnotationView> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    std::vector<std::shared_ptr<CBAnnotationView>> found;
    for (const auto& view : annotationViews_) {
        if (!CGRectContainsPoint(CGRectInset(view->frame(), -kTapTolerance, -kTapTolerance), point))
            continue;
        found.push_back(view);
        double d = distanceToHotSpot(*view, point);
        if (d < bestDistance) {
            best = view;
            bestDistance = d;
        }
    }
    // A hidden dot (position not shown, or no fix yet) takes no taps.
    const auto& user = userLocationView_;
    if (showPositionMaker_ && !user->isHidden() && user->superview() &&
        CGRectContainsPoint(CGRectInset(user->frame(), -kUserTapTolerance, -kUserTapTolerance),
                            point)) {
        double d = distanceToHotSpot(*user, point);
        if (d < bestDistance)
            best = user;
    }
    if (candidates)
        *candidates = std::move(found);
    return best;
}

std::shared_ptr<CBAnnotationView> CBAnnotationsManager::annotationViewAtPointWithCandidates(
    CGPoint point, std::vector<std::shared_ptr<CBAnnotationView>>* candidates) const {
    return annotationViewAtPoint(point, candidates);
}

bool CBAnnotationsManager::singleTapAtWithCoordinate(CGPoint point, CLLocationCoordinate2D) {
    std::vector<std::shared_ptr<CBAnnotationView>> candidates;
    auto view = annotationViewAtPoint(point, &candidates);
    if (!view) {
        resetSelection();
        return false;
    }
    auto map = mapScrollView();
    auto delegate = map ? map->mapDelegate() : nullptr;
    if (candidates.size() >= 2 && delegate) {
        bool discard = false;
        auto answer = delegate->mapScrollViewAnnotationToSelectAmongCandidatesShouldDiscardTap(
            *map, candidates, discard);
        if (answer) {
            view = *answer;
            if (!view) {
                resetSelection();
                return discard;
            }
        }
    }
    if (view == userLocationView_) {
        if (!delegate || !delegate->mapScrollViewDidTapUserAnnotationView(*map, view))
            selectAnnotationAnimated(userLocation_, true);
        return true;
    }
    if (view->annotation() && view->annotation() == selectedAnnotation_)
        deselectAnnotationAnimated(selectedAnnotation_, true);
    else
        selectAnnotationAnimated(view->annotation(), true);
    return true;
}

void CBAnnotationsManager::selectAnnotationAnimated(const CBAnnotationRef& annotation,
                                                    bool animated) {
    auto map = mapScrollView();
    if (!map || !annotation)
        return;
    if (auto delegate = map->mapDelegate()) {
        if (delegate->mapScrollViewShouldSelectAnnotation(*map, annotation) == false)
            return;
    }
    if (annotation == selectedAnnotation_)
        return;
    deselectAnnotationAnimated(selectedAnnotation_, false);
    selectedAnnotation_ = annotation;
    auto visible = map->visibleArea()->visibleBBox();
    if (!existingViewForAnnotation(annotation) && visible &&
        !visible->includesCoordinate(annotation->coordinate())) {
        map->moveToCoordinateAnimated(annotation->coordinate(), true);
        layoutAnnotationViews();
    }
    hideMagnifier(animated);
    updateSelectedAnnotationAnimated(animated);
}

void CBAnnotationsManager::updateSelectedAnnotationAnimated(bool animated) {
    auto map = mapScrollView();
    if (!map || !selectedAnnotation_)
        return;
    auto view = existingViewForAnnotation(selectedAnnotation_);
    if (auto delegate = map->mapDelegate())
        delegate->mapScrollViewDidSelectAnnotationView(*map, view);
    if (!view || !view->canShowCallout())
        return;
    auto callout = calloutView();
    auto left = view->leftCalloutAccessoryView();
    auto right = view->rightCalloutAccessoryView();
    if (left || right) {
        std::weak_ptr<CBAnnotationsManager> weak = weak_from_this();
        for (const auto& accessory : {left, right}) {
            if (auto control = std::dynamic_pointer_cast<UIControl>(accessory)) {
                std::weak_ptr<UIControl> weakControl = control;
                control->addTargetForControlEvents(
                    [weak, weakControl](UIControl&) {
                        if (auto self = weak.lock())
                            self->notifyDelegateOfCalloutAccessoryTap(weakControl.lock());
                    },
                    UIControlEventTouchUpInside);
            }
        }
        callout->setAccessoryViewLeftRight(left, right);
    }
    // The controls now live in the callout.
    view->setLeftCalloutAccessoryView(nullptr);
    view->setRightCalloutAccessoryView(nullptr);
    callout->setAnnotationAnimated(selectedAnnotation_, animated);
    layoutAnnotationViews();
    setNeedsCalloutClearance();
}

void CBAnnotationsManager::deselectAnnotationAnimated(const CBAnnotationRef& annotation,
                                                      bool animated) {
    if (!selectedAnnotation_ || selectedAnnotation_ != annotation)
        return;
    auto view = existingViewForAnnotation(selectedAnnotation_);
    selectedAnnotation_ = nullptr;
    clearanceInsets_ = {};
    if (calloutView_)
        calloutView_->setAnnotationAnimated(nullptr, animated);
    auto map = mapScrollView();
    if (auto delegate = map ? map->mapDelegate() : nullptr)
        delegate->mapScrollViewDidDeselectAnnotationView(*map, view);
}

void CBAnnotationsManager::resetSelection() {
    hideMagnifier(true);
    deselectAnnotationAnimated(selectedAnnotation_, false);
}

std::shared_ptr<CBAnnotationCalloutView> CBAnnotationsManager::calloutView() {
    if (calloutView_ && calloutView_->superview())
        return calloutView_;
    if (!calloutView_) {
        calloutView_ = CBAnnotationCalloutView::create(CGRectZero);
        calloutView_->setTargetAction(shared_from_this(), &CBAnnotationsManager::calloutViewTapped);
    }
    calloutView_->setHidden(true);
    if (auto map = mapScrollView()) {
        map->addSubview(calloutView_);
        map->setNeedsLayout();
    }
    return calloutView_;
}

void CBAnnotationsManager::calloutViewTapped(CBAnnotationCalloutView&) {
    notifyDelegateOfCalloutAccessoryTap(nullptr);
}

void CBAnnotationsManager::notifyDelegateOfCalloutAccessoryTap(
    const std::shared_ptr<UIControl>& control) {
    auto map = mapScrollView();
    if (auto delegate = map ? map->mapDelegate() : nullptr)
        delegate->mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
            *map, existingViewForAnnotation(selectedAnnotation_), calloutView_, control);
}

void CBAnnotationsManager::updatePositionOfCalloutView() {
    placeCallout(false);
}

void CBAnnotationsManager::placeCallout(bool clearing) {
    auto map = mapScrollView();
    if (!map || !calloutView_ || calloutView_->isHidden())
        return;
    auto view = existingViewForAnnotation(calloutView_->annotation());
    if (!view) {
        deselectAnnotationAnimated(selectedAnnotation_, false);
        return;
    }
    auto parent = map->superview();
    CGFloat x = parent ? map->convertPointToView(view->center(), parent).x
                       : view->center().x - map->bounds().origin.x;
    CGFloat W = parent ? parent->bounds().size.width : map->bounds().size.width;
    CGFloat w = calloutView_->bounds().size.width;
    CGFloat h = calloutView_->bounds().size.height;
    if (w < 1 || h < 1)
        return;
    const UIEdgeInsets covered = map->annotationsHost()->calloutEdgeInsets();
    const UIEdgeInsets keep{0, std::max(covered.left, clearanceInsets_.left), 0,
                            std::max(covered.right, clearanceInsets_.right)};
    // Beside a covered side a callout is no wider than the room left: its
    // texts end in an ellipsis rather than under the cover or the edge.
    const CGFloat room = W - keep.left - keep.right - 2 * kCalloutSideMargin;
    if ((keep.left > 0 || keep.right > 0) && room > 0 && w > room) {
        calloutView_->setBounds(CGRectMake(0, 0, room, h));
        calloutView_->setNeedsLayout();
        w = room;
    }
    CGFloat left = x - kCalloutSideMargin - keep.left;
    CGFloat right = (W - x) - kCalloutSideMargin - keep.right;
    CGFloat anchorX = 0.5;
    if (w / 2 > left)
        anchorX = left / w;
    else if (w / 2 > right)
        anchorX = 1 - right / w;
    anchorX = std::clamp<CGFloat>(anchorX, 0.15, 0.85) + (view->calloutOffset().x + 2.0) / w;
    CGFloat anchorY = 1.0 + 17.0 / h +
                      view->layer()->anchorPoint().y * view->bounds().size.height / h +
                      view->calloutOffset().y / h;
    CGPoint anchor = CGPointMake(anchorX, anchorY);
    if (!(calloutView_->layer()->anchorPoint() == anchor)) {
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        calloutView_->layer()->setAnchorPoint(anchor);
        CATransaction::commit();
        calloutView_->setNeedsLayout();
    }
    calloutView_->setCenter(view->center());
    // Beside a side covered for good the map moves until the callout lies
    // clear of it and of the other edge, and once so for the sides the
    // screen's views cover; a callout wider than the room keeps its right
    // end, where its button is, in the clear.
    const bool coveredForGood = covered.left > 0 || covered.right > 0;
    if (!coveredForGood && !(clearing && (keep.left > 0 || keep.right > 0)))
        return;
    const CGFloat gap = CBCalloutClearance::kGap;
    const CGFloat overRight = x + (1 - anchor.x) * w - (W - keep.right - gap);
    const CGFloat overLeft = keep.left + gap - (x - anchor.x * w);
    const CGFloat shift = overRight > 0                               ? overRight
                          : overLeft > 0 && overLeft + overRight <= 0 ? -overLeft
                                                                      : 0;
    if (shift > 0.5 || shift < -0.5) {
        CGPoint offset = map->contentOffset();
        offset.x += shift;
        map->setContentOffset(offset);
    }
}

void CBAnnotationsManager::setNeedsCalloutClearance() {
    auto map = mapScrollView();
    if (clearancePending_ || !map || map->annotationsHost()->calloutObstacleViews().empty())
        return;
    clearancePending_ = true;
    std::weak_ptr<CBAnnotationsManager> weak = weak_from_this();
    DispatchQueue::main()->async([weak] {
        if (auto self = weak.lock())
            self->clearCalloutOfObstacles();
    });
}

// The callout takes its own width again (the map may have grown), then keeps
// clear of the views level with it and of those over its pin. A map turned
// with the heading moves along other axes than the screen's: it is left as
// it is.
void CBAnnotationsManager::clearCalloutOfObstacles() {
    clearancePending_ = false;
    auto map = mapScrollView();
    auto parent = map ? map->superview() : nullptr;
    if (!parent || !selectedAnnotation_ || !calloutView_ || calloutView_->isHidden() ||
        map->userLocationFollower()->rotateToHeading())
        return;
    auto view = existingViewForAnnotation(calloutView_->annotation());
    if (!view)
        return;
    clearanceInsets_ = {};
    calloutView_->setFrameToFit();
    placeCallout(false);
    std::vector<CGRect> obstacles;
    for (const auto& weakObstacle : map->annotationsHost()->calloutObstacleViews())
        if (auto obstacle = weakObstacle.lock();
            obstacle && !obstacle->isHidden() && obstacle->alpha() > 0 && obstacle->window())
            obstacles.push_back(obstacle->convertRectToView(obstacle->bounds(), parent));
    clearanceInsets_ = CBCalloutClearance::coveredSides(
        calloutView_->convertRectToView(calloutView_->bounds(), parent),
        view->convertRectToView(view->bounds(), parent), parent->bounds(), obstacles);
    placeCallout(true);
}

std::shared_ptr<CBMapMagnifier> CBAnnotationsManager::loadMagnifier() {
    auto map = mapScrollView();
    if (!magnifier_) {
        magnifier_ = CBMapMagnifier::create();
        if (map)
            magnifier_->setMapView(map->mapView());
    }
    if (map && !magnifier_->superview())
        map->addSubview(magnifier_);
    deselectAnnotationAnimated(selectedAnnotation_, true);
    return magnifier_;
}

void CBAnnotationsManager::hideMagnifier(bool animated) {
    if (magnifier_)
        magnifier_->hideAnimated(animated);
}

void CBAnnotationsManager::updateUserLocationTo(const std::shared_ptr<CLLocation>& location) {
    if (!location)
        return;
    auto previous = userLocation_->coreLocation();
    if (!previous || previous->coordinate().latitude != location->coordinate().latitude ||
        previous->coordinate().longitude != location->coordinate().longitude)
        userLocationView_->animateUpdate();
    userLocation_->setCoreLocation(location);
    auto map = mapScrollView();
    if (map && map->userLocationFollower()->centersOnUserLocation())
        userLocationView_->setAccuracy(location->horizontalAccuracy());
    updatePositionOfUserAnnotationView();
    // The first fix brings the dot that was waiting for it.
    if (showPositionMaker_ && userLocationView_->isHidden())
        userLocationView_->setHidden(false);
}

void CBAnnotationsManager::updateUserHeadingTo(const std::shared_ptr<CLHeading>& heading) {
    if (!showHeadingIndicator_)
        return;
    auto map = mapScrollView();
    userLocationView_->setHeadingWithMapNorthOriented(
        heading, !map || !map->userLocationFollower()->rotateToHeading());
}

void CBAnnotationsManager::setShowHeadingIndicator(bool show) {
    if (show == showHeadingIndicator_)
        return;
    showHeadingIndicator_ = show;
    if (!show)
        userLocationView_->setHeadingWithMapNorthOriented(nullptr, true);
}

void CBAnnotationsManager::hideAccuracyIndicator() {
    userLocationView_->setAccuracy(-1.0);
}

void CBAnnotationsManager::setShowPositionMaker(bool show) {
    showPositionMaker_ = show;
    // Without a fix there is no place for the dot yet.
    userLocationView_->setHidden(!show || !userLocation_->coreLocation());
    layoutAnnotationViews();
    if (auto map = mapScrollView(); map && userLocationView_->superview() == map)
        map->bringSubviewToFront(userLocationView_);
}
