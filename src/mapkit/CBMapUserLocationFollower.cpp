#include "mapkit/CBMapUserLocationFollower.h"

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
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBUserLocation.h"
#include "mapkit/UIApplication+CBInterfaceOrientation.h"

namespace {

constexpr double kRotationAnimationDuration = 0.5;

// The map's annotation layer, which draws the position and heading markers.
CBAnnotationsManager* markers(const std::shared_ptr<CBMapScrollView>& map) {
    auto host = map ? map->annotationsHost() : nullptr;
    return host ? host->annotationsManager().get() : nullptr;
}

}  // namespace

std::shared_ptr<CBMapUserLocationFollower> CBMapUserLocationFollower::create(
    std::weak_ptr<CBMapScrollView> map) {
    auto follower = std::make_shared<CBMapUserLocationFollower>(std::move(map));
    follower->setLocationManager(CBLocationManager::sharedInstance());
    return follower;
}

CBMapUserLocationFollower::CBMapUserLocationFollower(std::weak_ptr<CBMapScrollView> map)
    : map_(std::move(map)) {}

CBMapUserLocationFollower::~CBMapUserLocationFollower() {
    if (locationManager_)
        locationManager_->cleanUpEmptyDelegateWrappers();
}

void CBMapUserLocationFollower::setLocationManager(std::shared_ptr<CBLocationManager> manager) {
    auto me = std::static_pointer_cast<CBLocationManagerDelegate>(shared_from_this());
    if (locationManager_)
        locationManager_->removeDelegate(me);
    locationManager_ = std::move(manager);
    if (locationManager_)
        locationManager_->addDelegate(me);
}

std::shared_ptr<CBUserLocation> CBMapUserLocationFollower::userLocation() const {
    auto* layer = markers(map_.lock());
    return layer ? layer->userLocation() : nullptr;
}

void CBMapUserLocationFollower::setShowsUserLocation(bool show) {
    if (show == showsUserLocation_)
        return;
    showsUserLocation_ = show;
    auto service = locationManager();
    auto* layer = markers(map_.lock());
    if (show)
        service->startUpdatingLocation();
    else
        service->stopUpdatingLocation();
    if (show && alwaysShowsUserHeading_) {
        if (layer)
            layer->setShowHeadingIndicator(true);
        service->startUpdatingHeading();
    } else {
        service->stopUpdatingHeading();
        if (layer)
            layer->setShowHeadingIndicator(false);
    }
    if (!layer)
        return;
    if (auto location = service->location())
        layer->updateUserLocationTo(location);
    layer->setShowPositionMaker(show);
}

void CBMapUserLocationFollower::setAlwaysShowsUserHeading(bool show) {
    if (show == alwaysShowsUserHeading_)
        return;
    alwaysShowsUserHeading_ = show;
    if (auto* layer = markers(map_.lock()))
        layer->setShowHeadingIndicator(show || rotateToHeading_);
}

void CBMapUserLocationFollower::setCentersOnUserLocation(bool center) {
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
    auto map = map_.lock();
    auto* layer = markers(map);
    if (!center) {
        if (rotateToHeading_)
            setRotateToHeadingAndNotifyDelegate(false, false);
        if (layer)
            layer->hideAccuracyIndicator();
    }
    auto delegate = map ? map->mapDelegate() : nullptr;
    if (center) {
        auto location = service->location();
        if (map && CBLocationManager::isValidLocation(location.get())) {
            layer->updateUserLocationTo(location);
            map->moveToCoordinateAnimated(location->coordinate(), true);
        }
    } else if (delegate) {
        delegate->mapScrollViewStoppedCenteringOnUserLocation(*map, service->location());
    }
    // The screen stays on while it follows the user.
    UIApplication::sharedApplication()->setIdleTimerDisabled(center);
    if (delegate)
        delegate->mapScrollViewDidChangeCenteringRotationStatus(*map);
}

void CBMapUserLocationFollower::setAllowsRotation(bool allow) {
    allowsRotation_ = allow && CLLocationManager::headingAvailable();
}

void CBMapUserLocationFollower::setRotateToHeadingAndNotifyDelegate(bool rotate, bool notify) {
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
    auto map = map_.lock();
    if (!alwaysShowsUserHeading_) {
        if (auto* layer = markers(map))
            layer->setShowHeadingIndicator(rotate);
        if (rotate)
            service->startUpdatingHeading();
        else
            service->stopUpdatingHeading();
    }
    if (!map)
        return;
    if (rotate) {
        originalFrame_ = map->UIView::frame();
        firstRotation_ = true;
        map->annotationsHost()->hideMagnifier(true);
        CGFloat w = originalFrame_.size.width;
        CGFloat h = originalFrame_.size.height;
        CGFloat d = std::ceil(std::sqrt(w * w + h * h));
        // A square of the diagonal, centred on the old frame: turning never
        // shows its corners.
        map->setFrameWithoutRecentring(
            CGRectMake(originalFrame_.origin.x + std::ceil((w - d) * 0.5),
                       originalFrame_.origin.y + std::ceil((h - d) * 0.5), d, d));
        // Turned, the map is composed in its own axes and turned as one
        // picture, rather than each tile and marker turned on its own.
        map->layer()->setShouldRasterize(true);
        if (auto location = service->location())
            map->moveToCoordinateAnimated(location->coordinate(), false);
    } else {
        std::weak_ptr<CBMapUserLocationFollower> weak = shared_from_this();
        auto heading = lastHeading_;
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            kRotationAnimationDuration, 0, 0,
            [weak, heading] {
                auto follower = weak.lock();
                auto map = follower ? follower->map_.lock() : nullptr;
                if (!map)
                    return;
                follower->applyRotation(*map, 0);
                markers(map)->updateUserHeadingTo(heading);
            },
            [weak](bool) {
                auto follower = weak.lock();
                auto map = follower ? follower->map_.lock() : nullptr;
                if (!map || follower->rotateToHeading_)
                    return;
                map->layer()->setShouldRasterize(false);
                map->setFrameWithoutRecentring(follower->originalFrame_);
                if (auto location = follower->locationManager()->location())
                    map->moveToCoordinateAnimated(location->coordinate(), false);
            });
        if (auto manager = service->manager())
            manager->dismissHeadingCalibrationDisplay();
    }
    if (notify) {
        if (auto d = map->mapDelegate())
            d->mapScrollViewDidChangeCenteringRotationStatus(*map);
    }
}

void CBMapUserLocationFollower::applyRotation(CBMapScrollView& map, float angle) {
    rotationAngle_ = angle;
    map.setTransform(CGAffineTransformMakeRotation(-angle));
    map.annotationsHost()->annotationsManager()->updateMarkersForHeading(angle);
}

void CBMapUserLocationFollower::toggleCentersOnUserLocationAndRotation() {
    if (!centersOnUserLocation_)
        setCentersOnUserLocation(true);
    else if (rotateToHeading_ || !allowsRotation_)
        setCentersOnUserLocation(false);
    else
        setRotateToHeading(true);
}

void CBMapUserLocationFollower::stopLocationUsage() {
    auto service = locationManager();
    service->stopUpdatingLocation();
    service->stopUpdatingHeading();
    setCentersOnUserLocation(false);
    setRotateToHeading(false);
    setShowsUserLocation(false);
}

std::shared_ptr<UIBarButtonItem>
CBMapUserLocationFollower::barButtonItemForCurrentCenteringRotationStatus() {
    const char* name = rotateToHeading_ ? "Quillmere.bundle/images/position-button-ios7-rotate"
                       : centersOnUserLocation_
                           ? "Quillmere.bundle/images/position-button-ios7-centered"
                           : "Quillmere.bundle/images/position-button-ios7-normal";
    std::weak_ptr<CBMapUserLocationFollower> weak = shared_from_this();
    auto item = std::make_shared<UIBarButtonItem>(
        UIImage::imageNamed(name),
        centersOnUserLocation_ ? UIBarButtonItemStyleDone : UIBarButtonItemStyleBordered,
        [weak](UIBarButtonItem&) {
            if (auto follower = weak.lock())
                follower->toggleCentersOnUserLocationAndRotation();
        });
    item->setImageInsets(UIEdgeInsetsMake(rotateToHeading_ ? 2.0 : 4.0, 0, 0, 0));
    return item;
}

void CBMapUserLocationFollower::locationManagerDidUpdateToLocationFromLocation(
    CBLocationManager&, std::shared_ptr<CLLocation> newLocation, std::shared_ptr<CLLocation>) {
    auto map = map_.lock();
    if (!map || map->isDragging() || map->isZooming() || map->isZoomBouncing() ||
        map->isAnimatedZooming())
        return;
    updateUserLocationToLocation(newLocation);
}

void CBMapUserLocationFollower::mapDidSettle() {
    if (locationManager_)
        updateUserLocationToLocation(locationManager_->location());
}

void CBMapUserLocationFollower::updateUserLocationToLocation(
    const std::shared_ptr<CLLocation>& location) {
    auto map = map_.lock();
    if (!map || !location || !showsUserLocation_ ||
        !CLLocationCoordinate2DIsValid(location->coordinate()) ||
        location->horizontalAccuracy() < 0)
        return;
    auto box = map->layout()->mapBoundingBox();
    bool inside = box && box->includesLocation(location);
    std::weak_ptr<CBMapUserLocationFollower> weak = shared_from_this();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.5, 0,
        UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
        [weak, location, inside] {
            auto follower = weak.lock();
            auto map = follower ? follower->map_.lock() : nullptr;
            if (!map)
                return;
            markers(map)->updateUserLocationTo(location);
            if (!inside || !follower->centersOnUserLocation_)
                return;
            auto zoom = follower->zoomBoundingBoxForLocationUpdate(*location);
            if (zoom && follower->autoZoomOnLocationUpdates_) {
                map->zoomToBoundingBoxAnimated(zoom, false);
                follower->autoZoomOnLocationUpdates_ = true;
            } else {
                map->moveToCoordinateAnimated(location->coordinate(), false);
            }
        },
        nullptr);
    auto d = map->mapDelegate();
    if (!d)
        return;
    if (inside) {
        d->mapScrollViewDidUpdateUserLocation(*map, userLocation());
    } else if (!notifiedDelegateForOutOfBoundsLocation_ && centersOnUserLocation_) {
        notifiedDelegateForOutOfBoundsLocation_ =
            d->mapScrollViewDidReceiveUserLocationOutSideOfMapBoundingBox(*map, userLocation(),
                                                                          box);
    }
}

std::shared_ptr<CBBoundingBox> CBMapUserLocationFollower::zoomBoundingBoxForLocationUpdate(
    const CLLocation& location) {
    double a = location.horizontalAccuracy();
    double span = 2 * a <= 30 ? 60 : (2 * a >= 1000 ? 2000 : 2 * (2 * a));
    auto box = CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
        location.coordinate(), span, span);
    auto map = map_.lock();
    auto visibleBox = map ? map->visibleArea()->visibleBBox() : nullptr;
    if (!box || !visibleBox)
        return box;
    double visible = std::min(visibleBox->latitudeSpan(), visibleBox->longitudeSpan());
    if (visible <= 0)
        return box;
    double ratio = std::min(box->latitudeSpan(), box->longitudeSpan()) / visible;
    if (ratio > 0.2 && ratio < 0.8)
        return nullptr;
    return box;
}

void CBMapUserLocationFollower::locationManagerDidUpdateHeading(
    CBLocationManager&, std::shared_ptr<CLHeading> heading) {
    auto map = map_.lock();
    if (!map)
        return;
    markers(map)->updateUserHeadingTo(heading);
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
        std::weak_ptr<CBMapUserLocationFollower> weak = shared_from_this();
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            kRotationAnimationDuration, 0, UIViewAnimationOptionCurveEaseIn,
            [weak, angle] {
                auto follower = weak.lock();
                if (auto map = follower ? follower->map_.lock() : nullptr)
                    follower->applyRotation(*map, angle);
            },
            nullptr);
    } else {
        applyRotation(*map, angle);
    }
}

void CBMapUserLocationFollower::locationManagerDidFailWithError(CBLocationManager&,
                                                                const NSError& error) {
    auto map = map_.lock();
    if (auto d = map ? map->mapDelegate() : nullptr)
        d->mapScrollViewDidReceiveLocationError(*map, error);
    if (error.domain == kCLErrorDomain && error.code == kCLErrorDenied)
        stopLocationUsage();
}
