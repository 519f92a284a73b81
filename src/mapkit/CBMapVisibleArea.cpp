#include "mapkit/CBMapVisibleArea.h"

#include <algorithm>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreLocation/CLLocation.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapScrollViewDelegate.h"

namespace {
constexpr double kMinimumWiderBBoxFactor = 1.5;
constexpr double kMaximumWiderBBoxFactor = 5.0;
}  // namespace

CBMapVisibleArea::CBMapVisibleArea(std::weak_ptr<CBMapScrollView> map) : map_(std::move(map)) {}

void CBMapVisibleArea::calculateVisibleBBox() {
    auto map = map_.lock();
    if (!map)
        return;
    CGSize size = map->bounds().size;
    CLLocationCoordinate2D ne = map->coordinateAtPoint(CGPointMake(size.width, 0));
    CLLocationCoordinate2D sw = map->coordinateAtPoint(CGPointMake(0, size.height));
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
    if (map->scaleBar())
        map->scaleBar()->setPointsPerKilometer(pointsPerKilometer_);
}

void CBMapVisibleArea::setWiderBBoxFromVisibleBBox() {
    auto wider =
        CBBoundingBox::significantlyWiderBBoxFromWithFactor(visibleBBox_, widerBBoxFactor_);
    if (!wider)
        return;
    if (widerBBox_)
        *widerBBox_ = *wider;
    else
        widerBBox_ = wider;
}

void CBMapVisibleArea::setWiderBBoxFactor(double factor) {
    widerBBoxFactor_ = std::clamp(factor, kMinimumWiderBBoxFactor, kMaximumWiderBBoxFactor);
    setWiderBBoxFromVisibleBBox();
}

CLLocationCoordinate2D CBMapVisibleArea::visibleCenter() const {
    return visibleBBox_ ? visibleBBox_->centerCoordinate() : CLLocationCoordinate2D{};
}

void CBMapVisibleArea::notifyDelegateOfBoxes(CBMapScrollViewDelegate& d, bool animated) {
    auto map = map_.lock();
    if (!map)
        return;
    d.mapScrollViewDidChangeBoundingBoxToAnimated(*map, visibleBBox_, animated);
    if (map->isDragging() || map->isZooming())
        return;
    if (notifiedWiderBBox_ && !visibleBBox_->isSignificantlyDifferentFromBBoxWithFactor(
                                  notifiedWiderBBox_, static_cast<float>(widerBBoxFactor_)))
        return;
    if (!d.mapScrollViewDidChangeWiderBoundingBoxSignificantlyToAnimated(*map, widerBBox_,
                                                                         animated))
        return;
    if (notifiedWiderBBox_)
        *notifiedWiderBBox_ = *widerBBox_;
    else
        notifiedWiderBBox_ = std::make_shared<CBBoundingBox>(*widerBBox_);
}
