#include "mapkit/CBMapAnnotationsHost.h"

#include <unordered_set>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoObject.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapMagnifier.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"

namespace {

constexpr double kCenteredZoomDuration = 0.4;
constexpr double kMagnifierMoveDuration = 0.3;

}  // namespace

CBMapAnnotationsHost::CBMapAnnotationsHost(const std::shared_ptr<CBMapScrollView>& map,
                                           std::shared_ptr<CBAnnotationsManager> layer)
    : map_(map), layer_(std::move(layer)) {}

std::vector<CBAnnotationRef> CBMapAnnotationsHost::annotations() const {
    return layer_->annotations();
}

void CBMapAnnotationsHost::addAnnotationCentered(const CBAnnotationRef& annotation, bool centered) {
    if (annotation)
        addAnnotationsCentered({annotation}, centered);
}

void CBMapAnnotationsHost::addAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                                  bool centered) {
    addAnnotationsCenteredIncludingLocations(annotations, centered, {});
}

void CBMapAnnotationsHost::addAnnotationsCenteredIncludingLocations(
    const std::vector<CBAnnotationRef>& annotations, bool centered,
    const std::vector<CLLocationCoordinate2D>& locations) {
    if (!centered) {
        if (auto map = map_.lock())
            map->userLocationFollower()->setRotateToHeading(false);
        layer_->addAnnotations(annotations);
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
    std::weak_ptr<CBMapAnnotationsHost> weak = shared_from_this();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kCenteredZoomDuration, 0, UIViewAnimationOptionBeginFromCurrentState,
        [weak, box] {
            auto host = weak.lock();
            if (auto map = host ? host->map_.lock() : nullptr)
                map->zoomToBoundingBoxAnimated(box, false);
        },
        [weak, annotations](bool) {
            if (auto host = weak.lock())
                host->addAnnotationsCentered(annotations, false);
        });
}

void CBMapAnnotationsHost::removeAnnotation(const CBAnnotationRef& annotation) {
    layer_->removeAnnotation(annotation);
}

void CBMapAnnotationsHost::removeAnnotations(const std::vector<CBAnnotationRef>& annotations) {
    layer_->removeAnnotations(annotations);
}

void CBMapAnnotationsHost::exchangeCurrentAnnotationsWithNewAnnotationsArray(
    const std::vector<CBAnnotationRef>& annotations) {
    std::unordered_set<const CBAnnotation*> keep;
    std::vector<CBAnnotationRef> keepList;
    auto keepAnnotation = [&](const CBAnnotationRef& annotation) {
        if (annotation && keep.insert(annotation.get()).second)
            keepList.push_back(annotation);
    };
    for (const auto& annotation : annotations)
        keepAnnotation(annotation);
    keepAnnotation(layer_->selectedAnnotation());
    auto current = layer_->annotations();
    std::unordered_set<const CBAnnotation*> present;
    std::vector<CBAnnotationRef> gone;
    for (const auto& annotation : current) {
        present.insert(annotation.get());
        if (!keep.count(annotation.get()))
            gone.push_back(annotation);
    }
    layer_->removeAnnotations(gone);
    std::vector<CBAnnotationRef> added;
    for (const auto& annotation : keepList)
        if (!present.count(annotation.get()))
            added.push_back(annotation);
    if (!added.empty())
        addAnnotationsCentered(added, false);
}

std::shared_ptr<CBBoundingBox> CBMapAnnotationsHost::boundingBoxForAnnotationsInArray(
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

void CBMapAnnotationsHost::selectAnnotationAnimated(const CBAnnotationRef& annotation,
                                                    bool animated) {
    layer_->selectAnnotationAnimated(annotation, animated);
}

void CBMapAnnotationsHost::deselectAnnotationAnimated(const CBAnnotationRef& annotation,
                                                      bool animated) {
    layer_->deselectAnnotationAnimated(annotation, animated);
}

CBAnnotationRef CBMapAnnotationsHost::selectedAnnotation() const {
    return layer_->selectedAnnotation();
}

void CBMapAnnotationsHost::updateSelectedAnnotation() {
    if (layer_->selectedAnnotation())
        layer_->updateSelectedAnnotationAnimated(false);
}

std::shared_ptr<CBAnnotationView> CBMapAnnotationsHost::dequeueReusableAnnotationViewWithIdentifier(
    const std::string& reuseIdentifier) {
    return layer_->dequeueReusableAnnotationViewWithIdentifier(reuseIdentifier);
}

void CBMapAnnotationsHost::setAnnotionsHiddenAnimated(bool hidden, bool animated) {
    layer_->setAnnotionsHiddenAnimated(hidden, animated);
}

std::shared_ptr<CBAnnotationView> CBMapAnnotationsHost::existingViewForAnnotation(
    const CBAnnotationRef& annotation) const {
    return layer_->existingViewForAnnotation(annotation);
}

std::shared_ptr<CBAnnotationCalloutView> CBMapAnnotationsHost::currentCalloutView() const {
    return layer_->existingCalloutView();
}

std::shared_ptr<CBMapMagnifier> CBMapAnnotationsHost::magnifier() const {
    return layer_->magnifier();
}

void CBMapAnnotationsHost::hideMagnifier(bool animated) {
    layer_->hideMagnifier(animated);
}

void CBMapAnnotationsHost::magnifyPoint(CGPoint point) {
    if (auto map = map_.lock())
        magnifyCoordinate(map->coordinateAtPoint(point));
}

void CBMapAnnotationsHost::magnifyCoordinate(CLLocationCoordinate2D coordinate) {
    auto map = map_.lock();
    if (!map)
        return;
    map->userLocationFollower()->setCentersOnUserLocation(false);
    auto loupe = layer_->loadMagnifier();
    loupe->setAllowsAnnotationCreation(magnifierAllowsAnnotationCreation_);
    loupe->setAnnotation(nullptr);
    loupe->setCoordinate(coordinate);
    loupe->setCenter(map->pointForCoordinate(coordinate));
    CGPoint o = map->layout()->offsetForCoordinate(coordinate);
    map->setNeedsLayout();
    loupe->animateIn();
    map->setNeedsLayout();
    CGFloat s = std::max(loupe->bounds().size.width, loupe->bounds().size.height);
    loupe->magnifyRect(CGRectMake(o.x - s / 2, o.y - s / 2, s, s));
    uint64_t request = loupe->beginClosestObjectRequest();
    std::weak_ptr<CBMapAnnotationsHost> weak = shared_from_this();
    std::weak_ptr<CBMapMagnifier> weakLoupe = loupe;
    map->searchForClosestObjectToWithCompletionBlock(
        coordinate, [weak, weakLoupe, request](const std::shared_ptr<CBGeoObject>& object) {
            auto host = weak.lock();
            auto magnifier = weakLoupe.lock();
            // An answer to an older opening, or one that comes after the
            // user began dragging or closed the loupe, is dropped.
            if (!host || !magnifier || !magnifier->isCurrentClosestObjectRequest(request))
                return;
            host->showClosestObjectInMagnifier(object, magnifier);
        });
}

void CBMapAnnotationsHost::showClosestObjectInMagnifier(
    const std::shared_ptr<CBGeoObject>& object, const std::shared_ptr<CBMapMagnifier>& magnifier) {
    if (!object) {
        if (!magnifier->annotation())
            magnifier->setNewAnnotationForCurrentPositionFromDelegate(false);
        return;
    }
    auto map = map_.lock();
    if (!map)
        return;
    magnifier->setAnnotation(std::make_shared<CBGeoObjectAnnotation>(object));
    CGPoint target = map->pointForCoordinate(object->coordinate());
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
