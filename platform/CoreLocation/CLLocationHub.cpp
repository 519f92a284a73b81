#include "CoreLocation/CLLocationHub.h"

#include <algorithm>

#include "CoreLocation/CLNoLocationSource.h"

CLLocationHub& CLLocationHub::shared() {
    // Never destroyed: managers held by other statics may outlive any
    // destruction order at exit.
    static CLLocationHub* hub = new CLLocationHub;
    return *hub;
}

CLLocationHub::CLLocationHub() {
    setSource(std::make_shared<CLNoLocationSource>());
}

void CLLocationHub::addManager(CLLocationManager* manager) {
    managers_.push_back(manager);
}

void CLLocationHub::removeManager(CLLocationManager* manager) {
    std::erase(managers_, manager);
    updateRunning();
}

bool CLLocationHub::isRegistered(CLLocationManager* manager) const {
    return std::find(managers_.begin(), managers_.end(), manager) != managers_.end();
}

void CLLocationHub::updateRunning() {
    const bool wanted = std::any_of(managers_.begin(), managers_.end(), [](auto* m) {
        return m->isUpdatingLocation() || m->isUpdatingHeading();
    });
    const bool headingWanted = std::any_of(managers_.begin(), managers_.end(),
                                           [](auto* m) { return m->isUpdatingHeading(); });
    if (!headingWanted)
        setCalibrationShown(false);
    if (!source_ || wanted == running_)
        return;
    running_ = wanted;
    if (wanted) {
        source_->startUpdating();
    } else {
        source_->stopUpdating();
    }
}

void CLLocationHub::setSource(std::shared_ptr<CLLocationSource> source) {
    if (source_) {
        if (running_)
            source_->stopUpdating();
        source_->setDelegate(nullptr);
    }
    running_ = false;
    lastLocation_.reset();
    lastHeading_.reset();
    source_ = std::move(source);
    if (source_)
        source_->setDelegate(this);
    updateRunning();
}

void CLLocationHub::setStatus(CLAuthorizationStatus status) {
    if (status == status_)
        return;
    status_ = status;
    // Delegates may create or destroy managers while being told: walk a copy
    // and skip managers that went away meanwhile.
    const auto managers = managers_;
    for (CLLocationManager* manager : managers) {
        if (!isRegistered(manager))
            continue;
        if (auto delegate = manager->delegate().lock()) {
            delegate->locationManagerDidChangeAuthorizationStatus(*manager, status);
        }
    }
}

void CLLocationHub::locationSourceDidUpdateLocation(CLLocationSource&,
                                                    std::shared_ptr<CLLocation> location) {
    // A receiver may replace the source while being told; the sender lives on.
    const auto keepSource = source_;
    if (!location)
        return;
    lastLocation_ = location;
    const auto managers = managers_;
    for (CLLocationManager* manager : managers) {
        if (!isRegistered(manager) || !manager->isUpdatingLocation())
            continue;
        auto previous = std::exchange(manager->lastDelivered_, location);
        if (auto delegate = manager->delegate().lock()) {
            delegate->locationManagerDidUpdateToLocationFromLocation(*manager, location, previous);
        }
    }
}

void CLLocationHub::locationSourceDidUpdateHeading(CLLocationSource&,
                                                   std::shared_ptr<CLHeading> heading) {
    // A receiver may replace the source while being told; the sender lives on.
    const auto keepSource = source_;
    if (!heading)
        return;
    lastHeading_ = heading;
    const auto managers = managers_;
    for (CLLocationManager* manager : managers) {
        if (!isRegistered(manager) || !manager->isUpdatingHeading())
            continue;
        if (auto delegate = manager->delegate().lock()) {
            delegate->locationManagerDidUpdateHeading(*manager, heading);
        }
    }
    updateCalibrationForHeading(*heading);
}

void CLLocationHub::updateCalibrationForHeading(const CLHeading& heading) {
    if (heading.headingAccuracy() >= 0) {
        setCalibrationShown(false);
        return;
    }
    const auto managers = managers_;
    for (CLLocationManager* manager : managers) {
        if (!isRegistered(manager) || !manager->isUpdatingHeading())
            continue;
        auto delegate = manager->delegate().lock();
        if (delegate && delegate->locationManagerShouldDisplayHeadingCalibration(*manager)) {
            setCalibrationShown(true);
            return;
        }
    }
}

void CLLocationHub::setCalibrationDisplay(std::function<void(bool)> display) {
    calibrationDisplay_ = std::move(display);
}

void CLLocationHub::setCalibrationShown(bool shown) {
    if (shown == calibrationShown_)
        return;
    calibrationShown_ = shown;
    // A copy: the display may replace itself while being told.
    if (auto display = calibrationDisplay_)
        display(shown);
}

void CLLocationHub::locationSourceDidFailWithError(CLLocationSource&, const NSError& error) {
    // A receiver may replace the source while being told; the sender lives on.
    const auto keepSource = source_;
    const auto managers = managers_;
    for (CLLocationManager* manager : managers) {
        if (!isRegistered(manager) || !manager->isUpdatingLocation())
            continue;
        if (auto delegate = manager->delegate().lock()) {
            delegate->locationManagerDidFailWithError(*manager, error);
        }
    }
}
