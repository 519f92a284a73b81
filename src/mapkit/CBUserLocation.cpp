#include "mapkit/CBUserLocation.h"

std::shared_ptr<CLLocation> CBUserLocation::coreLocation() const {
    std::lock_guard lock(mutex_);
    return coreLocation_;
}

void CBUserLocation::setCoreLocation(std::shared_ptr<CLLocation> location) {
    std::lock_guard lock(mutex_);
    coreLocation_ = std::move(location);
}

void CBUserLocation::setTitle(std::optional<std::string> title) {
    std::lock_guard lock(mutex_);
    title_ = std::move(title);
}

void CBUserLocation::setSubtitle(std::optional<std::string> subtitle) {
    std::lock_guard lock(mutex_);
    subtitle_ = std::move(subtitle);
}

CLLocationCoordinate2D CBUserLocation::coordinate() const {
    std::lock_guard lock(mutex_);
    return coreLocation_ ? coreLocation_->coordinate() : CLLocationCoordinate2D{0, 0};
}

std::optional<std::string> CBUserLocation::title() const {
    std::lock_guard lock(mutex_);
    return title_;
}

std::optional<std::string> CBUserLocation::subtitle() const {
    std::lock_guard lock(mutex_);
    return subtitle_;
}
