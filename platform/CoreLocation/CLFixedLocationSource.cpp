#include "CoreLocation/CLFixedLocationSource.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

CLFixedLocationSource::CLFixedLocationSource(CLLocationCoordinate2D coordinate,
                                             CLLocationAccuracy horizontalAccuracy)
    : coordinate_(coordinate), horizontalAccuracy_(horizontalAccuracy) {}

std::shared_ptr<CLFixedLocationSource> CLFixedLocationSource::createWithText(
    const std::string& text) {
    std::vector<double> values;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string field = text.substr(start, comma - start);
        // Plain decimal numbers: strtod alone would also take blanks, "inf"
        // and hexadecimal.
        if (field.empty() || field.find_first_not_of("+-.0123456789eE") != std::string::npos)
            return nullptr;
        char* end = nullptr;
        values.push_back(std::strtod(field.c_str(), &end));
        if (*end != '\0' || !std::isfinite(values.back()) || values.size() > 3)
            return nullptr;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (values.size() < 2)
        return nullptr;
    const CLLocationCoordinate2D coordinate{values[0], values[1]};
    const CLLocationAccuracy accuracy = values.size() == 3 ? values[2] : kDefaultTextAccuracy;
    if (!CLLocationCoordinate2DIsValid(coordinate) || !(accuracy > 0))
        return nullptr;
    return std::make_shared<CLFixedLocationSource>(coordinate, accuracy);
}

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
