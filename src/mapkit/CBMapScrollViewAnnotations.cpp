// What the map view forwards to its annotation layer and loupe, and its
// scale bar.
#include <unordered_set>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoObject.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapMagnifier.h"
#include "mapkit/CBMapScaleView.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"

namespace {

constexpr double kCenteredZoomDuration = 0.4;
constexpr double kMagnifierMoveDuration = 0.3;
constexpr double kScaleFadeDuration = 0.5;

}  // namespace

std::vector<CBAnnotationRef> CBMapScrollView::annotations() const {
    return annotationsManager_->annotations();
}

void CBMapScrollView::addAnnotationCentered(const CBAnnotationRef& annotation, bool centered) {
    if (annotation)
        addAnnotationsCentered({annotation}, centered);
}

void CBMapScrollView::addAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                             bool centered) {
    addAnnotationsCenteredIncludingLocations(annotations, centered, {});
}

void CBMapScrollView::addAnnotationsCenteredIncludingLocations(
    const std::vector<CBAnnotationRef>& annotations, bool centered,
    const std::vector<CLLocationCoordinate2D>& locations) {
    if (!centered) {
        setRotateToHeading(false);
        annotationsManager_->addAnnotations(annotations);
        return;
    }
    auto box = boundingBoxForAnnotationsInArray(annotations);
    if (!box) {
        addAnnotationsCentered(annotations, false);
        return;
    }
    for (const auto& location : locations)
        box->growToIncludeCoordinate(location);
    box->multiplyByFactor(2.0);
    std::weak_ptr<CBMapScrollView> weak = self();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kCenteredZoomDuration, 0, UIViewAnimationOptionBeginFromCurrentState,
        [weak, box] {
            if (auto map = weak.lock())
                map->zoomToBoundingBoxAnimated(box, false);
        },
        [weak, annotations](bool) {
            if (auto map = weak.lock())
                map->addAnnotationsCentered(annotations, false);
        });
}

void CBMapScrollView::removeAnnotation(const CBAnnotationRef& annotation) {
    annotationsManager_->removeAnnotation(annotation);
}

void CBMapScrollView::removeAnnotations(const std::vector<CBAnnotationRef>& annotations) {
    annotationsManager_->removeAnnotations(annotations);
}

void CBMapScrollView::exchangeCurrentAnnotationsWithNewAnnotationsArray(
    const std::vector<CBAnnotationRef>& annotations) {
    std::unordered_set<const CBAnnotation*> keep;
    std::vector<CBAnnotationRef> keepList;
    auto keepAnnotation = [&](const CBAnnotationRef& annotation) {
        if (annotation && keep.insert(annotation.get()).second)
            keepList.push_back(annotation);
    };
    for (const auto& annotation : annotations)
        keepAnnotation(annotation);
    keepAnnotation(annotationsManager_->selectedAnnotation());
    auto current = annotationsManager_->annotations();
    std::unordered_set<const CBAnnotation*> present;
    std::vector<CBAnnotationRef> gone;
    for (const auto& annotation : current) {
        present.insert(annotation.get());
        if (!keep.count(annotation.get()))
            gone.push_back(annotation);
    }
    annotationsManager_->removeAnnotations(gone);
    std::vector<CBAnnotationRef> added;
    for (const auto& annotation : keepList)
        if (!present.count(annotation.get()))
            added.push_back(annotation);
    if (!added.empty())
        addAnnotationsCentered(added, false);
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::boundingBoxForAnnotationsInArray(
    const std::vector<CBAnnotationRef>& annotations) {
    std::shared_ptr<CBBoundingBox> box;
    for (const auto& annotation : annotations) {
        if (!annotation)
            continue;
        if (!box)
            box = CBBoundingBox::boundingBoxWithCoordinateNEAndSW(annotation->coordinate(),
                                                                  annotation->coordinate());
        else
            box->growToIncludeCoordinate(annotation->coordinate());
    }
    return box;
}

void CBMapScrollView::selectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated) {
    annotationsManager_->selectAnnotationAnimated(annotation, animated);
}

void CBMapScrollView::deselectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated) {
    annotationsManager_->deselectAnnotationAnimated(annotation, animated);
}

CBAnnotationRef CBMapScrollView::selectedAnnotation() const {
    return annotationsManager_->selectedAnnotation();
}

void CBMapScrollView::updateSelectedAnnotation() {
    if (annotationsManager_->selectedAnnotation())
        annotationsManager_->updateSelectedAnnotationAnimated(false);
}

std::shared_ptr<CBAnnotationView> CBMapScrollView::dequeueReusableAnnotationViewWithIdentifier(
    const std::string& reuseIdentifier) {
    return annotationsManager_->dequeueReusableAnnotationViewWithIdentifier(reuseIdentifier);
}

void CBMapScrollView::setAnnotationsHiddenAnimated(bool hidden, bool animated) {
    annotationsManager_->setAnnotationsHiddenAnimated(hidden, animated);
}

std::shared_ptr<CBAnnotationView> CBMapScrollView::existingViewForAnnotation(
    const CBAnnotationRef& annotation) const {
    return annotationsManager_->existingViewForAnnotation(annotation);
}

std::shared_ptr<CBAnnotationCalloutView> CBMapScrollView::currentCalloutView() const {
    return annotationsManager_->existingCalloutView();
}

std::shared_ptr<CBMapMagnifier> CBMapScrollView::magnifier() const {
    return annotationsManager_->magnifier();
}

void CBMapScrollView::hideMagnifier(bool animated) {
    annotationsManager_->hideMagnifier(animated);
}

void CBMapScrollView::magnifyPoint(CGPoint point) {
    magnifyCoordinate(coordinateAtPoint(point));
}

void CBMapScrollView::magnifyCoordinate(CLLocationCoordinate2D coordinate) {
    setCentersOnUserLocation(false);
    auto loupe = annotationsManager_->loadMagnifier();
    loupe->setAllowsAnnotationCreation(magnifierAllowsAnnotationCreation_);
    loupe->setAnnotation(nullptr);
    loupe->setCoordinate(coordinate);
    loupe->setCenter(pointForCoordinate(coordinate));
    CGPoint o = offsetForCoordinate(coordinate);
    setNeedsLayout();
    loupe->animateIn();
    setNeedsLayout();
    CGFloat s = std::max(loupe->bounds().size.width, loupe->bounds().size.height);
    loupe->magnifyRect(CGRectMake(o.x - s / 2, o.y - s / 2, s, s));
    uint64_t request = loupe->beginClosestObjectRequest();
    std::weak_ptr<CBMapScrollView> weak = self();
    std::weak_ptr<CBMapMagnifier> weakLoupe = loupe;
    searchForClosestObjectToWithCompletionBlock(
        coordinate, [weak, weakLoupe, request](const std::shared_ptr<CBGeoObject>& object) {
            auto map = weak.lock();
            auto magnifier = weakLoupe.lock();
            // An answer to an older opening, or one that comes after the
            // user began dragging or closed the loupe, is dropped.
            if (!map || !magnifier || !magnifier->isCurrentClosestObjectRequest(request))
                return;
            map->showClosestObjectInMagnifier(object, magnifier);
        });
}

void CBMapScrollView::showClosestObjectInMagnifier(
    const std::shared_ptr<CBGeoObject>& object, const std::shared_ptr<CBMapMagnifier>& magnifier) {
    if (!object) {
        if (!magnifier->annotation())
            magnifier->setNewAnnotationForCurrentPositionFromDelegate(false);
        return;
    }
    magnifier->setAnnotation(std::make_shared<CBGeoObjectAnnotation>(object));
    CGPoint target = pointForCoordinate(object->coordinate());
    std::weak_ptr<CBMapMagnifier> weak = magnifier;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kMagnifierMoveDuration, 0, UIViewAnimationOptionAllowUserInteraction,
        [weak, target] {
            if (auto loupe = weak.lock())
                loupe->setCenter(target);
        },
        [weak](bool) {
            if (auto loupe = weak.lock())
                loupe->magnifyCurrentPosition();
        });
}

void CBMapScrollView::setMapScaleHiddenAnimated(bool hidden, bool animated) {
    if (hidden && (!mapScaleView_ || (mapScaleView_->isHidden() && mapScaleView_->alpha() == 0)))
        return;
    if (!hidden && mapScaleView_ && !mapScaleView_->isHidden() && mapScaleView_->alpha() == 1 &&
        !mapScaleMeantHidden_)
        return;
    mapScaleMeantHidden_ = hidden;
    if (hidden && !animated) {
        mapScaleView_->removeFromSuperview();
        mapScaleView_ = nullptr;
        return;
    }
    auto parent = superview();
    if (!hidden && !mapScaleView_) {
        if (!parent)
            return;
        mapScaleView_ = CBMapScaleView::create();
        bool top = mapScaleAtTop_;
        CGFloat y = top ? 5 : parent->bounds().size.height - 25;
        mapScaleView_->setFrame(CGRectMake(5, y, 100, 20));
        mapScaleView_->setAutoresizingMask(
            UIViewAutoresizingFlexibleRightMargin |
            (top ? UIViewAutoresizingFlexibleBottomMargin : UIViewAutoresizingFlexibleTopMargin));
        mapScaleView_->setHidden(true);
        mapScaleView_->setAlpha(0);
        parent->addSubview(mapScaleView_);
        if (pointsPerKilometer_ > 0)
            mapScaleView_->setPointsPerKilometer(static_cast<float>(pointsPerKilometer_));
    }
    if (!hidden) {
        if (mapScaleView_->isHidden())
            mapScaleView_->setAlpha(0);
        mapScaleView_->setHidden(false);
    }
    mapScaleView_->setDisplayAtTop(mapScaleAtTop_);
    std::weak_ptr<CBMapScrollView> weak = self();
    std::weak_ptr<CBMapScaleView> weakBar = mapScaleView_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        animated ? kScaleFadeDuration : 0, 0, UIViewAnimationOptionAllowUserInteraction,
        [weakBar, hidden] {
            if (auto bar = weakBar.lock())
                bar->setAlpha(hidden ? 0.0 : 1.0);
        },
        [weak, weakBar, hidden](bool) {
            auto map = weak.lock();
            auto bar = weakBar.lock();
            // A bar shown again while it faded stays.
            if (!hidden || !map || !bar || map->mapScaleView_ != bar || !map->mapScaleMeantHidden_)
                return;
            bar->removeFromSuperview();
            map->mapScaleView_ = nullptr;
        });
}
