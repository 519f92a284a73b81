#include "Dispatch/NSTimer.h"

#include <algorithm>
#include <cmath>

#include "Dispatch/NSRunLoop.h"

namespace {

constexpr double kMinimumInterval = 0.0001;

// About thirty years: as good as never, and keeps time arithmetic in range.
constexpr double kMaximumInterval = 1e9;

double sanitisedInterval(double interval) {
    if (std::isnan(interval) || interval < kMinimumInterval)
        return kMinimumInterval;
    return std::min(interval, kMaximumInterval);
}

}  // namespace

NSTimer::NSTimer(double interval, bool repeats, Block block)
    : interval_(sanitisedInterval(interval)), repeats_(repeats), block_(std::move(block)) {}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double interval, bool repeats,
                                                                 Block block) {
    auto timer = std::make_shared<NSTimer>(interval, repeats, std::move(block));
    timer->scheduleAt(DispatchWorkList::deadlineAfter(timer->interval_));
    return timer;
}

void NSTimer::scheduleAt(DispatchWorkList::Clock::time_point when) {
    {
        std::lock_guard lock(mutex_);
        fireTime_ = when;
    }
    NSRunLoop::mainRunLoop()->performBlockAt(when, [timer = shared_from_this()] { timer->fire(); });
}

void NSTimer::fire() {
    Block block;
    DispatchWorkList::Clock::time_point scheduled;
    {
        std::lock_guard lock(mutex_);
        if (!valid_)
            return;
        // A copy: the block may invalidate the timer, which releases block_.
        block = block_;
        scheduled = fireTime_;
    }
    if (!repeats_)
        invalidate();
    if (block)
        block(*this);
    if (!repeats_ || !isValid())
        return;

    auto interval = std::chrono::duration_cast<DispatchWorkList::Clock::duration>(
        std::chrono::duration<double>(interval_));
    auto next = scheduled + interval;
    auto now = DispatchWorkList::Clock::now();
    if (next <= now)
        next += interval * ((now - next) / interval + 1);
    scheduleAt(next);
}

void NSTimer::invalidate() {
    Block released;
    {
        std::lock_guard lock(mutex_);
        valid_ = false;
        released.swap(block_);
    }
}

bool NSTimer::isValid() const {
    std::lock_guard lock(mutex_);
    return valid_;
}

NSDate NSTimer::fireDate() const {
    std::lock_guard lock(mutex_);
    auto remaining = std::chrono::duration<double>(fireTime_ - DispatchWorkList::Clock::now());
    return NSDate::dateWithTimeIntervalSinceNow(remaining.count());
}
