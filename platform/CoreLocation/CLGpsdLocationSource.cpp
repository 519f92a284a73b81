#include "CoreLocation/CLGpsdLocationSource.h"

#include <gps.h>

#include <cmath>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"

namespace {
constexpr int kWaitMicroseconds = 250000;
// Below this speed (m/s) the course over ground is noise, not a heading.
constexpr double kMinimumSpeedForHeading = 0.5;
// Degrees a compass in good order is trusted to.
constexpr double kCompassAccuracy = 5.0;

// The magnetometer statuses of an attitude report (TrueNorth-style
// compasses) under which its heading cannot be trusted: calibrating, and the
// low, high and voltage alarms.
bool compassNeedsCalibration(char status) {
    return status == 'C' || status == 'L' || status == 'P' || status == 'V';
}
}  // namespace

std::shared_ptr<CLGpsdLocationSource> CLGpsdLocationSource::create(const std::string& host,
                                                                   const std::string& port) {
    auto gps = std::make_unique<gps_data_t>();
    if (gps_open(host.c_str(), port.c_str(), gps.get()) != 0) {
        NSLogWithLevel(NSLogLevel::Info, "No gpsd answers at %s:%s", host.c_str(), port.c_str());
        return nullptr;
    }
    return std::make_shared<CLGpsdLocationSource>(host, port, std::move(gps));
}

CLGpsdLocationSource::CLGpsdLocationSource(std::string host, std::string port,
                                           std::unique_ptr<gps_data_t> gps)
    : host_(std::move(host)), port_(std::move(port)), gps_(std::move(gps)) {}

CLGpsdLocationSource::~CLGpsdLocationSource() {
    stopUpdating();
    gps_close(gps_.get());
}

std::string CLGpsdLocationSource::description() const {
    return "gpsd at " + host_ + ":" + port_;
}

void CLGpsdLocationSource::startUpdating() {
    if (reading_)
        return;
    if (gps_stream(gps_.get(), WATCH_ENABLE | WATCH_JSON, nullptr) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "gpsd at %s:%s refused to stream", host_.c_str(),
                       port_.c_str());
        return;
    }
    reading_ = true;
    reader_ = std::thread([this, generation = generation_->load()] { readLoop(generation); });
}

void CLGpsdLocationSource::stopUpdating() {
    ++*generation_;
    if (!reading_)
        return;
    reading_ = false;
    if (reader_.joinable())
        reader_.join();
    gps_stream(gps_.get(), WATCH_DISABLE, nullptr);
}

void CLGpsdLocationSource::readLoop(unsigned generation) {
    const std::weak_ptr<CLGpsdLocationSource> weakSelf = weak_from_this();
    // Once a compass reports, its readings are the heading rather than the
    // course over ground.
    bool hasCompass = false;
    auto post = [&](std::shared_ptr<CLLocation> location, std::shared_ptr<CLHeading> heading) {
        DispatchQueue::main()->async([weakSelf, generation, location, heading] {
            const auto self = weakSelf.lock();
            if (!self || *self->generation_ != generation)
                return;
            if (location)
                self->deliverLocation(location);
            if (heading && *self->generation_ == generation)
                self->deliverHeading(heading);
        });
    };
    while (reading_) {
        if (!gps_waiting(gps_.get(), kWaitMicroseconds))
            continue;
        if (gps_read(gps_.get(), nullptr, 0) <= 0) {
            NSLogWithLevel(NSLogLevel::Error, "Lost the connection to gpsd");
            return;
        }
        const attitude_t& attitude = gps_->attitude;
        if ((gps_->set & ATTITUDE_SET) && std::isfinite(attitude.heading)) {
            hasCompass = true;
            const double when =
                static_cast<double>(attitude.mtime.tv_sec) + attitude.mtime.tv_nsec * 1e-9;
            post(nullptr,
                 std::make_shared<CLHeading>(
                     attitude.heading, attitude.heading,
                     compassNeedsCalibration(attitude.mag_st) ? -1.0 : kCompassAccuracy,
                     when > 0 ? NSDate::dateWithTimeIntervalSince1970(when) : NSDate::date()));
        }
        const gps_fix_t& fix = gps_->fix;
        if (!(gps_->set & LATLON_SET) || fix.mode < MODE_2D || !std::isfinite(fix.latitude) ||
            !std::isfinite(fix.longitude))
            continue;
        const bool moving = std::isfinite(fix.speed) && fix.speed >= kMinimumSpeedForHeading &&
                            std::isfinite(fix.track);
        const double when = static_cast<double>(fix.time.tv_sec) + fix.time.tv_nsec * 1e-9;
        const NSDate timestamp =
            when > 0 ? NSDate::dateWithTimeIntervalSince1970(when) : NSDate::date();
        auto location = std::make_shared<CLLocation>(
            CLLocationCoordinate2D{fix.latitude, fix.longitude},
            fix.mode >= MODE_3D && std::isfinite(fix.altHAE) ? fix.altHAE : 0.0,
            std::isfinite(fix.eph) ? fix.eph : 10.0,
            fix.mode >= MODE_3D && std::isfinite(fix.epv) ? fix.epv : -1.0,
            moving ? fix.track : -1.0, std::isfinite(fix.speed) ? fix.speed : -1.0, timestamp);
        std::shared_ptr<CLHeading> heading;
        if (moving && !hasCompass)
            heading = std::make_shared<CLHeading>(fix.track, fix.track, 10.0, timestamp);
        post(location, heading);
    }
}
