#include "CoreLocation/CLGPXLocationSource.h"

#include <cmath>
#include <cstdio>

#include "Foundation/NSLog.h"

namespace {
constexpr double kRadiansPerDegree = M_PI / 180.0;

// Initial great-circle bearing in degrees [0, 360).
CLLocationDirection bearing(CLLocationCoordinate2D from, CLLocationCoordinate2D to) {
    const double lat1 = from.latitude * kRadiansPerDegree;
    const double lat2 = to.latitude * kRadiansPerDegree;
    const double dLon = (to.longitude - from.longitude) * kRadiansPerDegree;
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x =
        std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    return std::fmod(std::atan2(y, x) / kRadiansPerDegree + 360.0, 360.0);
}
}  // namespace

std::shared_ptr<CLGPXLocationSource> CLGPXLocationSource::createWithContentsOfFile(
    const std::string& path, double speed) {
    auto track = CLGPXTrack::trackWithContentsOfFile(path);
    if (!track)
        return nullptr;
    auto source = createWithTrack(std::move(*track), speed);
    if (source)
        source->path_ = path;
    return source;
}

std::shared_ptr<CLGPXLocationSource> CLGPXLocationSource::createWithTrack(CLGPXTrack track,
                                                                          double speed) {
    if (!(speed > 0) || !std::isfinite(speed)) {
        NSLogWithLevel(NSLogLevel::Error, "GPX replay speed must be a positive number, not %g",
                       speed);
        return nullptr;
    }
    return std::make_shared<CLGPXLocationSource>(std::move(track), speed);
}

CLGPXLocationSource::CLGPXLocationSource(CLGPXTrack track, double speed)
    : track_(std::move(track)), speed_(speed) {}

CLGPXLocationSource::~CLGPXLocationSource() {
    stopUpdating();
}

void CLGPXLocationSource::startUpdating() {
    stopUpdating();
    // The first fix comes on the next turn of the run loop.
    timer_ = NSTimer::scheduledTimerWithTimeInterval(0.0, false,
                                                     [this](NSTimer&) { deliverNextPoint(); });
}

void CLGPXLocationSource::stopUpdating() {
    if (timer_)
        timer_->invalidate();
    timer_.reset();
}

std::string CLGPXLocationSource::description() const {
    char text[64];
    std::snprintf(text, sizeof text, "GPX track of %zu points at %gx speed", track_.points().size(),
                  speed_);
    return text + (path_.empty() ? std::string() : " from " + path_);
}

void CLGPXLocationSource::deliverNextPoint() {
    const auto& points = track_.points();
    size_t index = points.size() - 1;
    // Standing at the end: the same place, stopped, once a second of real
    // time whatever the replay's speed.
    double delay = 1.0;
    CLLocationSpeed speed = 0;
    if (next_ < points.size()) {
        index = next_++;
        speed = -1;
        if (index + 1 < points.size()) {
            const double wait = track_.intervalAfterPoint(index);
            delay = wait / speed_;
            const auto& a = points[index].coordinate;
            const auto& b = points[index + 1].coordinate;
            speed = CLLocation(a.latitude, a.longitude)
                        .distanceFromLocation(CLLocation(b.latitude, b.longitude)) /
                    wait;
            if (speed > 0)
                lastCourse_ = bearing(a, b);
        }
    }
    // Scheduled before delivering, so a receiver that stops the source while
    // being told cancels it.
    timer_ = NSTimer::scheduledTimerWithTimeInterval(delay, false,
                                                     [this](NSTimer&) { deliverNextPoint(); });
    deliverPoint(index, speed);
}

void CLGPXLocationSource::deliverPoint(size_t index, CLLocationSpeed speed) {
    const CLGPXPoint& point = track_.points()[index];
    const NSDate now = NSDate::date();
    const bool hasAltitude = point.elevation.has_value();
    const CLLocationDirection course = lastCourse_;
    deliverLocation(std::make_shared<CLLocation>(
        point.coordinate, point.elevation.value_or(0.0), kHorizontalAccuracy,
        hasAltitude ? kHorizontalAccuracy : -1.0, course, speed, now));
    if (course >= 0 && timer_) {
        deliverHeading(std::make_shared<CLHeading>(course, course, kHeadingAccuracy, now));
    }
}
