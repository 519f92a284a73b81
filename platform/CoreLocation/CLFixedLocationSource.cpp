#include "CoreLocation/CLFixedLocationSource.h"

#include <cstdio>

CLFixedLocationSource::CLFixedLocationSource(CLLocationCoordinate2D coordinate,
                                             CLLocationAccuracy horizontalAccuracy)
    : coordinate_(coordinate), horizontalAccuracy_(horizontalAccuracy) {}

CLFixedLocationSource::~CLFixedLocationSource() {
    stopUpdating();
}

void CLFixedLocationSource::startUpdating() {
    stopUpdating();
    // The first fix comes on the next turn of the run loop, never inside the
    // caller's start.
    firstTimer_ = NSTimer::scheduledTimerWithTimeInterval(0.0, false, [this](NSTimer&) {
        firstTimer_.reset();
        deliverFix();
    });
    repeatTimer_ =
        NSTimer::scheduledTimerWithTimeInterval(1.0, true, [this](NSTimer&) { deliverFix(); });
}

void CLFixedLocationSource::stopUpdating() {
    for (auto* timer : {&firstTimer_, &repeatTimer_}) {
        if (*timer)
            (*timer)->invalidate();
        timer->reset();
    }
}

void CLFixedLocationSource::setCompass(CLLocationDirection direction,
                                       CLLocationDirection accuracy) {
    compass_ = Compass{direction, accuracy};
}

std::string CLFixedLocationSource::description() const {
    char text[128];
    int length = std::snprintf(text, sizeof text, "fixed point %.6f,%.6f", coordinate_.latitude,
                               coordinate_.longitude);
    if (compass_)
        std::snprintf(text + length, sizeof text - size_t(length),
                      " facing %g degrees (accuracy %g)", compass_->direction, compass_->accuracy);
    return text;
}

void CLFixedLocationSource::deliverFix() {
    const NSDate now = NSDate::date();
    deliverLocation(
        std::make_shared<CLLocation>(coordinate_, 0.0, horizontalAccuracy_, -1.0, -1.0, -1.0, now));
    // A receiver told of the fix may have stopped the source.
    if (compass_ && repeatTimer_)
        deliverHeading(std::make_shared<CLHeading>(compass_->direction, compass_->direction,
                                                   compass_->accuracy, now));
}
