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

std::string CLFixedLocationSource::description() const {
    char text[64];
    std::snprintf(text, sizeof text, "fixed point %.6f,%.6f", coordinate_.latitude,
                  coordinate_.longitude);
    return text;
}

void CLFixedLocationSource::deliverFix() {
    deliverLocation(std::make_shared<CLLocation>(coordinate_, 0.0, horizontalAccuracy_, -1.0, -1.0,
                                                 -1.0, NSDate::date()));
}
