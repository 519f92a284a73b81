#include "CoreLocation/CLLocationManager.h"

#include "CoreLocation/CLLocationHub.h"
#include "Dispatch/DispatchQueue.h"

CLLocationManager::CLLocationManager() {
    CLLocationHub::shared().addManager(this);
}

CLLocationManager::~CLLocationManager() {
    CLLocationHub::shared().removeManager(this);
}

void CLLocationManager::setLocationSource(std::shared_ptr<CLLocationSource> source) {
    CLLocationHub::shared().setSource(std::move(source));
}

std::shared_ptr<CLLocationSource> CLLocationManager::locationSource() {
    return CLLocationHub::shared().source();
}

CLAuthorizationStatus CLLocationManager::authorizationStatus() {
    return CLLocationHub::shared().status();
}

void CLLocationManager::setAuthorizationStatus(CLAuthorizationStatus status) {
    CLLocationHub::shared().setStatus(status);
}

bool CLLocationManager::locationServicesEnabled() {
    return CLLocationHub::shared().source() != nullptr;
}

void CLLocationManager::setHeadingCalibrationDisplay(std::function<void(bool)> display) {
    CLLocationHub::shared().setCalibrationDisplay(std::move(display));
}

bool CLLocationManager::isHeadingCalibrationDisplayed() {
    return CLLocationHub::shared().isCalibrationShown();
}

void CLLocationManager::dismissHeadingCalibrationDisplay() {
    CLLocationHub::shared().setCalibrationShown(false);
}

bool CLLocationManager::headingAvailable() {
    const auto& source = CLLocationHub::shared().source();
    return source && source->headingAvailable();
}

void CLLocationManager::requestWhenInUseAuthorization() {
    if (authorizationStatus() != kCLAuthorizationStatusNotDetermined)
        return;
    DispatchQueue::main()->async([] {
        if (authorizationStatus() == kCLAuthorizationStatusNotDetermined) {
            setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
        }
    });
}

void CLLocationManager::startUpdatingLocation() {
    updatingLocation_ = true;
    CLLocationHub::shared().updateRunning();
}

void CLLocationManager::stopUpdatingLocation() {
    updatingLocation_ = false;
    CLLocationHub::shared().updateRunning();
}

void CLLocationManager::startUpdatingHeading() {
    updatingHeading_ = true;
    CLLocationHub::shared().updateRunning();
}

void CLLocationManager::stopUpdatingHeading() {
    updatingHeading_ = false;
    CLLocationHub::shared().updateRunning();
}

std::shared_ptr<CLLocation> CLLocationManager::location() const {
    return CLLocationHub::shared().lastLocation();
}

std::shared_ptr<CLHeading> CLLocationManager::heading() const {
    return CLLocationHub::shared().lastHeading();
}
