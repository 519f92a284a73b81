#include "Dispatch/DispatchGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchSemaphore.h"
#include "Dispatch/NSRunLoop.h"

TEST(DispatchGroupTest, NotifyRunsOnItsQueueAfterEveryTask) {
    DispatchGroup group;
    auto finished = std::make_shared<std::atomic<int>>(0);
    auto seenAtNotify = std::make_shared<int>(-1);
    for (int i = 0; i < 8; ++i)
        group.async(DispatchQueue::global(), [finished] { ++*finished; });
    group.notify(DispatchQueue::main(), [finished, seenAtNotify] { *seenAtNotify = *finished; });
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return *seenAtNotify >= 0; }, 10));
    EXPECT_EQ(*seenAtNotify, 8);
}

TEST(DispatchGroupTest, NotifyOnAnIdleGroupIsSubmittedAtOnce) {
    DispatchGroup group;
    auto ran = std::make_shared<bool>(false);
    group.notify(DispatchQueue::main(), [ran] { *ran = true; });
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return *ran; }, 10));
}

TEST(DispatchGroupTest, WaitTimesOutWhileATaskIsOutstanding) {
    DispatchGroup group;
    group.enter();
    EXPECT_FALSE(group.wait(0.01));
    EXPECT_FALSE(group.wait(std::numeric_limits<double>::quiet_NaN()));
    group.leave();
    EXPECT_TRUE(group.wait(0));
    group.wait();
}

TEST(DispatchGroupTest, TasksOutliveTheGroup) {
    auto queue = DispatchQueue::createSerial("kelvara.test.group");
    DispatchSemaphore gate(0);
    queue->async([&] { gate.wait(); });
    {
        DispatchGroup group;
        group.async(queue, [] {});
    }
    gate.signal();
    queue->sync([] {});
}

TEST(DispatchGroupDeathTest, LeaveWithoutEnterAsserts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(DispatchGroup().leave(), "Assertion failure.*without a matching enter");
}
