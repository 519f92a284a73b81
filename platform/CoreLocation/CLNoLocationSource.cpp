#include "CoreLocation/CLNoLocationSource.h"

#include "CoreLocation/CLError.h"

CLNoLocationSource::~CLNoLocationSource() {
    stopUpdating();
}

void CLNoLocationSource::startUpdating() {
    stopUpdating();
    timer_ = NSTimer::scheduledTimerWithTimeInterval(1.0, false, [this](NSTimer&) {
        timer_.reset();
        deliverError(NSError::errorWithDomain(kCLErrorDomain, kCLErrorLocationUnknown));
    });
}

void CLNoLocationSource::stopUpdating() {
    if (timer_)
        timer_->invalidate();
    timer_.reset();
}
