#include "Dispatch/NSTimer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "Dispatch/NSRunLoop.h"

namespace {
auto loop() {
    return NSRunLoop::mainRunLoop();
}
}  // namespace

TEST(NSTimerTest, OneShotTimerFiresOnceAndBecomesInvalid) {
    auto fired = std::make_shared<int>(0);
    auto timer =
        NSTimer::scheduledTimerWithTimeInterval(0.01, false, [fired](NSTimer&) { ++*fired; });
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(loop()->runUntil([&] { return *fired > 0; }, 10));
    EXPECT_FALSE(timer->isValid());
    loop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.03));
    EXPECT_EQ(*fired, 1);
}

TEST(NSTimerTest, RepeatingTimerFiresUntilInvalidated) {
    auto fired = std::make_shared<int>(0);
    auto timer = NSTimer::scheduledTimerWithTimeInterval(0.005, true, [fired](NSTimer& timer) {
        if (++*fired == 3)
            timer.invalidate();
    });
    EXPECT_TRUE(loop()->runUntil([&] { return !timer->isValid(); }, 10));
    loop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.03));
    EXPECT_EQ(*fired, 3);
}

TEST(NSTimerTest, InvalidatedTimerNeverFiresAndReleasesItsBlock) {
    auto fired = std::make_shared<int>(0);
    auto timer =
        NSTimer::scheduledTimerWithTimeInterval(0.01, false, [fired](NSTimer&) { ++*fired; });
    EXPECT_EQ(fired.use_count(), 2);
    timer->invalidate();
    EXPECT_EQ(fired.use_count(), 1);
    loop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.03));
    EXPECT_EQ(*fired, 0);
}

TEST(NSTimerTest, FireDateIsOneIntervalAhead) {
    auto timer = NSTimer::scheduledTimerWithTimeInterval(30, false, [](NSTimer&) {});
    double ahead = timer->fireDate().timeIntervalSinceNow();
    EXPECT_GT(ahead, 25);
    EXPECT_LE(ahead, 30.001);
    timer->invalidate();
}

TEST(NSTimerTest, OddIntervalsBecomeTheMinimum) {
    for (double interval : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        auto timer = NSTimer::scheduledTimerWithTimeInterval(interval, false, [](NSTimer&) {});
        EXPECT_EQ(timer->timeInterval(), 0.0001);
        timer->invalidate();
    }
}

TEST(NSTimerTest, RepeatingTimerSkipsDatesMissedWhileTheLoopWasBusy) {
    constexpr double kInterval = 0.01;
    auto fired = std::make_shared<int>(0);
    auto timer =
        NSTimer::scheduledTimerWithTimeInterval(kInterval, true, [fired](NSTimer&) { ++*fired; });
    NSDate first = timer->fireDate();
    // Keep the loop busy across about ten fire dates.
    loop()->performBlock([] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); });
    EXPECT_TRUE(loop()->runUntil([&] { return *fired == 1; }, 10));
    // One firing for the missed dates, and the next date is still ahead and
    // on the original schedule rather than a burst of overdue ones.
    NSDate next = timer->fireDate();
    EXPECT_GT(next.timeIntervalSinceNow(), 0);
    double periods = next.timeIntervalSinceDate(first) / kInterval;
    EXPECT_GE(periods, 9.5);
    EXPECT_NEAR(periods, std::round(periods), 0.1);
    timer->invalidate();
}
