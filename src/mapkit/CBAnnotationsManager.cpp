// The annotation layer: the annotations placed on the map, their views,
// reuse, layout and stacking.
#include "mapkit/CBAnnotationsManager.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIApplication.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapMagnifier.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPinAnnotationView.h"
#include "mapkit/CBUserLocation.h"
#include "mapkit/CBUserLocationAnnotationView.h"

std::shared_ptr<CBAnnotationsManager> CBAnnotationsManager::create(
    const std::shared_ptr<CBMapScrollView>& mapScrollView) {
    auto manager = std::make_shared<CBAnnotationsManager>(mapScrollView);
    manager->setUp();
    return manager;
}

CBAnnotationsManager::CBAnnotationsManager(const std::shared_ptr<CBMapScrollView>& mapScrollView)
    : mapScrollView_(mapScrollView), userLocation_(std::make_shared<CBUserLocation>()) {}

CBAnnotationsManager::~CBAnnotationsManager() {
    for (const auto& observer : observers_)
        NSNotificationCenter::defaultCenter()->removeObserver(observer);
}

void CBAnnotationsManager::setUp() {
    userLocationView_ = std::make_shared<CBUserLocationAnnotationView>(
        userLocation_, CBUserLocationAnnotationView::kReuseIdentifier);
    if (auto map = mapScrollView())
        map->addSubview(userLocationView_);
    std::weak_ptr<CBAnnotationsManager> weak = weak_from_this();
    auto observe = [&](const char* name, void (CBAnnotationsManager::*handler)()) {
        observers_.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(
            name, nullptr, {}, [weak, handler](const NSNotification&) {
                if (auto self = weak.lock())
                    ((*self).*handler)();
            }));
    };
    observe(UIApplicationDidReceiveMemoryWarningNotification,
            &CBAnnotationsManager::didReceiveMemoryWarning);
    observe(UIApplicationWillEnterForegroundNotification,
            &CBAnnotationsManager::applicationWillEnterForeground);
}

std::vector<CBAnnotationRef> CBAnnotationsManager::annotations() const {
    return allAnnotations_;
}

bool CBAnnotationsManager::isKnown(const CBAnnotationRef& annotation) const {
    return allAnnotationPointers_.count(annotation.get()) > 0;
}

void CBAnnotationsManager::addAnnotation(const CBAnnotationRef& annotation) {
    if (annotation && !isKnown(annotation))
        addAnnotations({annotation});
}

void CBAnnotationsManager::addAnnotations(const std::vector<CBAnnotationRef>& annotations) {
    resetSelection();
    bool added = false;
    for (const auto& annotation : annotations) {
        if (!annotation || isKnown(annotation))
            continue;
        auto identifier = annotation->uniqueIdentifier();
        if (identifier && !allAnnotationIdentifiers_.insert(*identifier).second)
            continue;  // the same annotation under another object
        allAnnotations_.push_back(annotation);
        allAnnotationPointers_.insert(annotation.get());
        added = true;
    }
    if (!added)
        return;
    // The next layout pass makes the views and reports them.
    annotationsWereAdded_ = true;
    if (auto map = mapScrollView())
        map->setNeedsLayout();
}

void CBAnnotationsManager::removeAnnotation(const CBAnnotationRef& annotation) {
    if (!annotation || !isKnown(annotation))
        return;
    auto view = existingViewForAnnotation(annotation);
    deselectAnnotationAnimated(annotation, false);
    if (view) {
        queueAnnotationView(view);
        removeAnnotationView(view);
    }
    if (auto identifier = annotation->uniqueIdentifier())
        allAnnotationIdentifiers_.erase(*identifier);
    allAnnotationPointers_.erase(annotation.get());
    std::erase(allAnnotations_, annotation);
}

void CBAnnotationsManager::removeAnnotations(const std::vector<CBAnnotationRef>& annotations) {
    for (const auto& annotation : annotations)
        removeAnnotation(annotation);
}

void CBAnnotationsManager::removeAllAnnotations() {
    removeAnnotations(std::vector<CBAnnotationRef>(allAnnotations_));
}

std::shared_ptr<CBAnnotationView> CBAnnotationsManager::existingViewForAnnotation(
    const CBAnnotationRef& annotation) const {
    auto identifier = annotation ? annotation->uniqueIdentifier() : std::nullopt;
    if (!identifier)
        return nullptr;
    auto it = dictionaryOfViewsForAnnotationObjectIDs_.find(*identifier);
    return it == dictionaryOfViewsForAnnotationObjectIDs_.end() ? nullptr : it->second;
}

std::shared_ptr<CBAnnotationView> CBAnnotationsManager::viewForAnnotation(
    const CBAnnotationRef& annotation) {
    if (auto view = existingViewForAnnotation(annotation))
        return view;
    auto map = mapScrollView();
    if (auto delegate = map ? map->mapDelegate() : nullptr) {
        auto view = delegate->mapScrollViewViewForAnnotation(*map, annotation);
        if (view && view->reuseIdentifier())
            return view;
    }
    if (auto view = dequeueReusableAnnotationViewWithIdentifier(kDefaultPinReuseIdentifier))
        return view;
    return std::make_shared<CBPinAnnotationView>(annotation, kDefaultPinReuseIdentifier);
}

void CBAnnotationsManager::queueAnnotationView(const std::shared_ptr<CBAnnotationView>& view) {
    auto identifier =
        view && view->annotation() ? view->annotation()->uniqueIdentifier() : std::nullopt;
    if (!identifier || !view->reuseIdentifier())
        return;
    dictionaryOfViewsForAnnotationObjectIDs_.erase(*identifier);
    auto& queue = reusableAnnotationViews_[*view->reuseIdentifier()];
    view->prepareForReuse();
    queue.push_back(view);
}

std::shared_ptr<CBAnnotationView> CBAnnotationsManager::dequeueReusableAnnotationViewWithIdentifier(
    const std::string& reuseIdentifier) {
    auto it = reusableAnnotationViews_.find(reuseIdentifier);
    if (it == reusableAnnotationViews_.end() || it->second.empty())
        return nullptr;
    auto view = it->second.back();
    it->second.pop_back();
    return view;
}

size_t CBAnnotationsManager::reusableViewCount() const {
    size_t count = 0;
    for (const auto& [identifier, views] : reusableAnnotationViews_)
        count += views.size();
    return count;
}

void CBAnnotationsManager::addAnnotationView(const std::shared_ptr<CBAnnotationView>& view) {
    auto map = mapScrollView();
    if (!map || !view->annotation())
        return;
    auto identifier = view->annotation()->uniqueIdentifier();
    if (!identifier)
        return;
    map->addSubview(view);
    if (std::find(annotationViews_.begin(), annotationViews_.end(), view) == annotationViews_.end())
        annotationViews_.push_back(view);
    dictionaryOfViewsForAnnotationObjectIDs_[*identifier] = view;
}

void CBAnnotationsManager::removeAnnotationView(const std::shared_ptr<CBAnnotationView>& view) {
    view->removeFromSuperview();
    std::erase(annotationViews_, view);
}

void CBAnnotationsManager::removeAllAnnotationViews() {
    for (const auto& view : annotationViews_)
        view->removeFromSuperview();
    annotationViews_.clear();
}

void CBAnnotationsManager::didReceiveMemoryWarning() {
    reusableAnnotationViews_.clear();
}

void CBAnnotationsManager::applicationWillEnterForeground() {
    userLocationView_->startUserDotAnimation();
}

void CBAnnotationsManager::updateVisibleAnnotationViews() {
    auto map = mapScrollView();
    auto wider = map ? map->visibleArea()->widerBBox() : nullptr;
    if (!wider)
        return;
    std::vector<std::shared_ptr<CBAnnotationView>> added;
    bool created = false;
    bool selectedMade = false;
    for (const auto& annotation : allAnnotations_) {
        if (!annotation->uniqueIdentifier())
            continue;
        bool inside = wider->includesCoordinate(annotation->coordinate());
        auto view = existingViewForAnnotation(annotation);
        if (hidden_ && !view)
            continue;
        if (!inside && view) {
            queueAnnotationView(view);
            removeAnnotationView(view);
        } else if (inside && !view) {
            view = viewForAnnotation(annotation);
            view->setAnnotation(annotation);
            if (!view->superview())
                added.push_back(view);
            addAnnotationView(view);
            view->layer()->removeAllAnimations();
            updatePositionOfAnnotationView(*view);
            view->setHidden(false);
            view->setAlpha(1.0);
            created = true;
            selectedMade = selectedMade || annotation == selectedAnnotation_;
        }
    }
    if (created)
        sortOrderOfMarkers();
    // A pin selected before it had a view shows its callout once it has one.
    if (selectedMade)
        updateSelectedAnnotationAnimated(false);
    // Only the pass right after an add reports, and only what it made.
    bool report = annotationsWereAdded_;
    annotationsWereAdded_ = false;
    if (report && !added.empty()) {
        if (auto delegate = map->mapDelegate())
            delegate->mapScrollViewDidAddAnnotationViews(*map, added);
    }
}

void CBAnnotationsManager::layoutAnnotationViews() {
    auto map = mapScrollView();
    if (!map)
        return;
    for (const auto& view : annotationViews_)
        updatePositionOfAnnotationView(*view);
    updatePositionOfUserAnnotationView();
    updatePositionOfMagnifier();
    updateVisibleAnnotationViews();
    if (calloutView_ && !calloutView_->isHidden() && calloutView_->annotation() &&
        selectedAnnotation_) {
        updatePositionOfCalloutView();
        if (calloutView_->superview() == map)
            map->bringSubviewToFront(calloutView_);
    }
    userLocationView_->setPointAccuracyDiameterWithPointsPerKilometer(
        static_cast<float>(map->visibleArea()->pointsPerKilometer()));
}

void CBAnnotationsManager::updatePositionOfAnnotationView(CBAnnotationView& view) {
    auto map = mapScrollView();
    if (!map || !view.annotation() || !view.superview())
        return;
    CGPoint p = map->pointForCoordinate(view.annotation()->coordinate());
    if (std::isnan(p.x) || std::isnan(p.y))
        return;
    view.setCenter(p);
}

void CBAnnotationsManager::updatePositionOfUserAnnotationView() {
    auto map = mapScrollView();
    auto location = userLocation_->coreLocation();
    if (!map || !location)
        return;
    auto box = map->layout()->mapBoundingBox();
    userLocationView_->setAlpha(box && box->includesCoordinate(location->coordinate()) ? 1.0 : 0.5);
    updatePositionOfAnnotationView(*userLocationView_);
}

void CBAnnotationsManager::updatePositionOfMagnifier() {
    auto map = mapScrollView();
    if (!map || !magnifier_ || !magnifier_->superview())
        return;
    magnifier_->setCenter(map->pointForCoordinate(magnifier_->coordinate()));
    auto wider = map->visibleArea()->widerBBox();
    if (wider && !wider->includesCoordinate(magnifier_->coordinate()))
        magnifier_->hideAnimated(false);
}

void CBAnnotationsManager::sortOrderOfMarkers() {
    auto map = mapScrollView();
    if (!map)
        return;
    auto sorted = annotationViews_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a->reverseCompareLatitude(*b) < 0;
    });
    for (const auto& view : sorted)
        map->bringSubviewToFront(view);
}

void CBAnnotationsManager::updateMarkersForHeading(float angle) {
    auto map = mapScrollView();
    if (!map)
        return;
    CGAffineTransform t = CGAffineTransformMakeRotation(angle);
    userLocationView_->setTransform(t);
    if (userLocationView_->superview() == map)
        map->bringSubviewToFront(userLocationView_);
    if (hidden_ && angle != 0)
        return;
    // The marker lower on screen goes on top: the southern one on a north-up
    // map, the northern one once the map is turned past a quarter either way.
    bool southUp = angle > M_PI_2 && angle < 3 * M_PI_2;
    auto sorted = annotationViews_;
    std::stable_sort(sorted.begin(), sorted.end(), [southUp](const auto& a, const auto& b) {
        return (southUp ? a->compareLatitude(*b) : a->reverseCompareLatitude(*b)) < 0;
    });
    for (const auto& view : sorted) {
        view->setTransform(t);
        map->bringSubviewToFront(view);
    }
    if (calloutView_)
        calloutView_->setTransform(t);
}

void CBAnnotationsManager::setAnnotionsHiddenAnimated(bool hidden, bool animated) {
    if (hidden == hidden_)
        return;
    hidden_ = hidden;
    deselectAnnotationAnimated(selectedAnnotation_, animated);
    std::weak_ptr<CBAnnotationsManager> weak = weak_from_this();
    auto queueAll = [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        for (const auto& view : std::vector(self->annotationViews_)) {
            self->queueAnnotationView(view);
            self->removeAnnotationView(view);
        }
    };
    if (animated) {
        CGFloat alpha = hidden ? 0.0 : 1.0;
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            0.5, 0, UIViewAnimationOptionAllowUserInteraction,
            [weak, alpha] {
                auto self = weak.lock();
                if (!self)
                    return;
                for (const auto& view : self->annotationViews_)
                    view->setAlpha(alpha);
                if (self->calloutView_)
                    self->calloutView_->setAlpha(alpha);
            },
            [weak, queueAll](bool finished) {
                auto self = weak.lock();
                // Shown again before the fade ended: the views stay.
                if (self && finished && self->hidden_)
                    queueAll();
            });
    } else if (hidden) {
        queueAll();
    }
    layoutAnnotationViews();
}
