// The map view's user position: showing it, centring on it, turning the map
// with the heading, and zooming to a fix's accuracy.
#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreLocation/CLError.h"
#include "CoreLocation/CLLocationManager.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImage.h"
#include "location/CBLocationManager.h"
#include "location/CLHeading+CBAdditions.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBUserLocation.h"
#include "mapkit/UIApplication+CBInterfaceOrientation.h"

namespace {

constexpr double kRotationAnimationDuration = 0.5;

}  // namespace

void CBMapScrollView::setUpUserLocation() {
    annotationsManager_ = CBAnnotationsManager::create(self());
    alwaysShowsUserHeading_ = true;
    setLocationManager(CBLocationManager::sharedInstance());
}

std::shared_ptr<CBLocationManager> CBMapScrollView::locationManager() const {
    return locationManager_;
}

void CBMapScrollView::setLocationManager(std::shared_ptr<CBLocationManager> manager) {
    auto me = std::static_pointer_cast<CBLocationManagerDelegate>(self());
    if (locationManager_)
        locationManager_->removeDelegate(me);
    locationManager_ = std::move(manager);
    if (locationManager_)
        locationManager_->addDelegate(me);
}

std::shared_ptr<CBUserLocation> CBMapScrollView::userLocation() const {
    return annotationsManager_ ? annotationsManager_->userLocation() : nullptr;
}

void CBMapScrollView::setShowsUserLocation(bool show) {
    if (show == showsUserLocation_)
        return;
    showsUserLocation_ = show;
    auto service = locationManager();
    if (show)
        service->startUpdatingLocation();
    else
        service->stopUpdatingLocation();
    if (show && alwaysShowsUserHeading_) {
        annotationsManager_->setShowHeadingIndicator(true);
        service->startUpdatingHeading();
    } else {
        service->stopUpdatingHeading();
        annotationsManager_->setShowHeadingIndicator(false);
    }
    if (auto location = service->location())
        annotationsManager_->updateUserLocationTo(location);
    annotationsManager_->setShowPositionMaker(show);
}

void CBMapScrollView::setAlwaysShowsUserHeading(bool show) {
    if (show == alwaysShowsUserHeading_)
        return;
    alwaysShowsUserHeading_ = show;
    annotationsManager_->setShowHeadingIndicator(show || rotateToHeading_);
}

void CBMapScrollView::setCentersOnUserLocation(bool center) {
    if (center == centersOnUserLocation_)
        return;
    auto service = locationManager();
    if (center && !service->isDemoMode() &&
        CLLocationManager::authorizationStatus() == kCLAuthorizationStatusDenied) {
        locationManagerDidFailWithError(*service,
                                        NSError::errorWithDomain(kCLErrorDomain, kCLErrorDenied));
        return;
    }
    centersOnUserLocation_ = center;
    autoZoomOnLocationUpdates_ = center;
    if (center && !showsUserLocation_)
        setShowsUserLocation(true);
    if (!center) {
        if (rotateToHeading_)
            setRotateToHeadingAndNotifyDelegate(false, false);
        annotationsManager_->hideAccuracyIndicator();
    }
    if (center) {
        auto location = service->location();
        if (CBLocationManager::isValidLocation(location.get())) {
            annotationsManager_->updateUserLocationTo(location);
            moveToCoordinateAnimated(location->coordinate(), true);
        }
    } else if (auto d = mapDelegate()) {
        d->mapScrollViewStoppedCenteringOnUserLocation(*this, service->location());
    }
    // The screen stays on while it follows the user.
    UIApplication::sharedApplication()->setIdleTimerDisabled(center);
    if (auto d = mapDelegate())
        d->mapScrollViewDidChangeCenteringRotationStatus(*this);
}

void CBMapScrollView::setAllowsRotation(bool allow) {
    allowsRotation_ = allow && CLLocationManager::headingAvailable();
}

void CBMapScrollView::setRotateToHeadingAndNotifyDelegate(bool rotate, bool notify) {
    if (!CLLocationManager::headingAvailable() || rotate == rotateToHeading_)
        return;
    if (rotate && !centersOnUserLocation_) {
        setCentersOnUserLocation(true);
        // Centring refused (location access denied): no rotation either.
        if (!centersOnUserLocation_)
            return;
    }
    rotateToHeading_ = rotate;
    auto service = locationManager();
    if (!alwaysShowsUserHeading_) {
        annotationsManager_->setShowHeadingIndicator(rotate);
        if (rotate)
            service->startUpdatingHeading();
        else
            service->stopUpdatingHeading();
    }
    if (rotate) {
        originalFrame_ = UIView::frame();
        firstRotation_ = true;
        hideMagnifier(true);
        CGFloat w = originalFrame_.size.width;
        CGFloat h = originalFrame_.size.height;
        CGFloat d = std::ceil(std::sqrt(w * w + h * h));
        originalWidth_ = 0;
        originalHeight_ = 0;
        // A square of the diagonal, centred on the old frame: turning never
        // shows its corners.
        setFrame(CGRectMake(originalFrame_.origin.x + std::ceil((w - d) * 0.5),
                            originalFrame_.origin.y + std::ceil((h - d) * 0.5), d, d));
        // Turned, the map is composed in its own axes and turned as one
        // picture, rather than each tile and marker turned on its own.
        layer()->setShouldRasterize(true);
        if (auto location = service->location())
            moveToCoordinateAnimated(location->coordinate(), false);
    } else {
        std::weak_ptr<CBMapScrollView> weak = self();
        auto heading = lastHeading_;
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            kRotationAnimationDuration, 0, 0,
            [weak, heading] {
                auto map = weak.lock();
                if (!map)
                    return;
                map->applyRotation(0);
                map->annotationsManager_->updateUserHeadingTo(heading);
            },
            [weak](bool) {
                auto map = weak.lock();
                if (!map || map->rotateToHeading_)
                    return;
                map->originalWidth_ = 0;
                map->originalHeight_ = 0;
                map->layer()->setShouldRasterize(false);
                map->setFrame(map->originalFrame_);
                if (auto location = map->locationManager()->location())
                    map->moveToCoordinateAnimated(location->coordinate(), false);
            });
        if (auto manager = service->manager())
            manager->dismissHeadingCalibrationDisplay();
    }
    if (notify) {
        if (auto d = mapDelegate())
            d->mapScrollViewDidChangeCenteringRotationStatus(*this);
    }
}

void CBMapScrollView::applyRotation(float angle) {
    rotationAngle_ = angle;
    setTransform(CGAffineTransformMakeRotation(-angle));
    annotationsManager_->updateMarkersForHeading(angle);
}

void CBMapScrollView::toggleCentersOnUserLocationAndRotation() {
    if (!centersOnUserLocation_)
        setCentersOnUserLocation(true);
    else if (rotateToHeading_ || !allowsRotation_)
        setCentersOnUserLocation(false);
    else
        setRotateToHeading(true);
}

void CBMapScrollView::stopLocationUsage() {
    auto service = locationManager();
    service->stopUpdatingLocation();
    service->stopUpdatingHeading();
    setCentersOnUserLocation(false);
    setRotateToHeading(false);
    setShowsUserLocation(false);
}

std::shared_ptr<UIBarButtonItem> CBMapScrollView::barButtonItemForCurrentCenteringRotationStatus() {
    const char* name = rotateToHeading_ ? "Quillmere.bundle/images/position-button-ios7-rotate"
                       : centersOnUserLocation_
                           ? "Quillmere.bundle/images/position-button-ios7-centered"
                           : "Quillmere.bundle/images/position-button-ios7-normal";
    std::weak_ptr<CBMapScrollView> weak = self();
    return std::make_shared<UIBarButtonItem>(
        UIImage::imageNamed(name),
        centersOnUserLocation_ ? UIBarButtonItemStyleDone : UIBarButtonItemStyleBordered,
        [weak](UIBarButtonItem&) {
            if (auto map = weak.lock())
                map->toggleCentersOnUserLocationAndRotation();
        });
}

void CBMapScrollView::locationManagerDidUpdateToLocationFromLocation(
    CBLocationManager&, std::shared_ptr<CLLocation> newLocation, std::shared_ptr<CLLocation>) {
    if (isDragging() || isZooming() || isZoomBouncing() || animatedZooming_)
        return;
    updateUserLocationToLocation(newLocation);
}

void CBMapScrollView::updateUserLocationToLocation(const std::shared_ptr<CLLocation>& location) {
    if (!location || !showsUserLocation_ ||
        !CLLocationCoordinate2DIsValid(location->coordinate()) ||
        location->horizontalAccuracy() < 0)
        return;
    bool inside = mapBoundingBox_ && mapBoundingBox_->includesLocation(location);
    std::weak_ptr<CBMapScrollView> weak = self();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.5, 0,
        UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
        [weak, location, inside] {
            auto map = weak.lock();
            if (!map)
                return;
            map->annotationsManager_->updateUserLocationTo(location);
            if (!inside || !map->centersOnUserLocation_)
                return;
            auto box = map->zoomBoundingBoxForLocationUpdate(*location);
            if (box && map->autoZoomOnLocationUpdates_) {
                map->zoomToBoundingBoxAnimated(box, false);
                map->autoZoomOnLocationUpdates_ = true;
            } else {
                map->moveToCoordinateAnimated(location->coordinate(), false);
            }
        },
        nullptr);
    auto d = mapDelegate();
    if (!d)
        return;
    if (inside) {
        d->mapScrollViewDidUpdateUserLocation(*this, userLocation());
    } else if (!notifiedDelegateForOutOfBoundsLocation_ && centersOnUserLocation_) {
        notifiedDelegateForOutOfBoundsLocation_ =
            d->mapScrollViewDidReceiveUserLocationOutSideOfMapBoundingBox(*this, userLocation(),
                                                                          mapBoundingBox_);
    }
}

std::shared_ptr<CBBoundingBox> CBMapScrollView::zoomBoundingBoxForLocationUpdate(
    const CLLocation& location) {
    double a = location.horizontalAccuracy();
    double span = 2 * a <= 30 ? 60 : (2 * a >= 1000 ? 2000 : 2 * (2 * a));
    auto box = CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
        location.coordinate(), span, span);
    if (!box || !visibleBBox_)
        return box;
    double visible = std::min(visibleBBox_->latitudeSpan(), visibleBBox_->longitudeSpan());
    if (visible <= 0)
        return box;
    double ratio = std::min(box->latitudeSpan(), box->longitudeSpan()) / visible;
    if (ratio > 0.2 && ratio < 0.8)
        return nullptr;
    return box;
}

void CBMapScrollView::locationManagerDidUpdateHeading(CBLocationManager&,
                                                      std::shared_ptr<CLHeading> heading) {
    annotationsManager_->updateUserHeadingTo(heading);
    lastHeading_ = heading;
    if (!rotateToHeading_ || !heading)
        return;
    // An invalid reading leaves the map where it is.
    auto direction = usableHeading(*heading);
    if (!direction)
        return;
    double offset = headingOffsetForInterfaceOrientation(cbStatusBarInterfaceOrientation());
    float angle = static_cast<float>(std::fmod(offset + *direction, 360.0) / 180.0 * M_PI);
    if (firstRotation_) {
        firstRotation_ = false;
        std::weak_ptr<CBMapScrollView> weak = self();
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            kRotationAnimationDuration, 0, UIViewAnimationOptionCurveEaseIn,
            [weak, angle] {
                if (auto map = weak.lock())
                    map->applyRotation(angle);
            },
            nullptr);
    } else {
        applyRotation(angle);
    }
}

void CBMapScrollView::locationManagerDidFailWithError(CBLocationManager&, const NSError& error) {
    if (auto d = mapDelegate())
        d->mapScrollViewDidReceiveLocationError(*this, error);
    if (error.domain == kCLErrorDomain && error.code == kCLErrorDenied)
        stopLocationUsage();
}
