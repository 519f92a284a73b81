#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "Dispatch/DispatchWorkList.h"
#include "Foundation/NSDate.h"

// A block the main run loop runs once, or repeatedly, at an interval.
// A repeating timer keeps its schedule (fire date + n * interval); when the
// loop falls behind it fires once and skips the missed dates instead of
// catching up with a burst. Any thread may schedule or invalidate a timer;
// invalidating from another thread does not stop a firing already under way.
class NSTimer : public std::enable_shared_from_this<NSTimer> {
  public:
    using Block = std::function<void(NSTimer& timer)>;

    // Schedules on the main run loop. An interval of zero or less (or NaN)
    // becomes 0.1 ms.
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(double interval, bool repeats,
                                                                   Block block);

    // Stops the timer for good and releases its block (and what it captured).
    void invalidate();
    bool isValid() const;
    NSDate fireDate() const;
    double timeInterval() const { return interval_; }

    NSTimer(double interval, bool repeats, Block block);

  private:
    void scheduleAt(DispatchWorkList::Clock::time_point when);
    void fire();

    const double interval_;
    const bool repeats_;
    mutable std::mutex mutex_;
    Block block_;
    bool valid_ = true;
    DispatchWorkList::Clock::time_point fireTime_;
};
