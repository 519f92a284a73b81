#pragma once

#include <memory>
#include <string>

#include "CoreLocation/CLGPXTrack.h"
#include "CoreLocation/CLLocationSource.h"
#include "Dispatch/NSTimer.h"

// Replays a recorded walk or drive: each point of the track becomes a fresh
// fix (timestamp now) after the recorded time to it, divided by `speed`
// (1 = real time). The course towards the next point is the fix's course
// and the heading's true and magnetic direction; the speed is the recorded
// one. After the last point the receiver stands still there: the last fix
// again every second of real time with speed 0. Stopping pauses the
// replay; starting again goes on from the next point.
class CLGPXLocationSource : public CLLocationSource {
  public:
    static constexpr CLLocationAccuracy kHorizontalAccuracy = 5.0;
    static constexpr CLLocationDirection kHeadingAccuracy = 10.0;

    // nullptr (and a logged error) for an unreadable track or a speed that
    // is not a positive number.
    static std::shared_ptr<CLGPXLocationSource> createWithContentsOfFile(const std::string& path,
                                                                         double speed = 1.0);
    static std::shared_ptr<CLGPXLocationSource> createWithTrack(CLGPXTrack track,
                                                                double speed = 1.0);

    CLGPXLocationSource(CLGPXTrack track, double speed);
    ~CLGPXLocationSource() override;

    void startUpdating() override;
    void stopUpdating() override;
    bool headingAvailable() const override { return true; }
    std::string description() const override;

    const CLGPXTrack& track() const { return track_; }
    // Index of the point the next fix will be at.
    size_t nextPointIndex() const { return next_; }

  private:
    void deliverNextPoint();
    void deliverPoint(size_t index, CLLocationSpeed speed);

    CLGPXTrack track_;
    double speed_;
    std::string path_;
    size_t next_ = 0;
    CLLocationDirection lastCourse_ = -1;
    std::shared_ptr<NSTimer> timer_;
};
