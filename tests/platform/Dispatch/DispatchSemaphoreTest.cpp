#include "Dispatch/DispatchSemaphore.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>

TEST(DispatchSemaphoreTest, CountsUnits) {
    DispatchSemaphore semaphore(2);
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_FALSE(semaphore.wait(0.01));
    semaphore.signal();
    EXPECT_TRUE(semaphore.wait(0));
}

TEST(DispatchSemaphoreTest, OddTimeoutsDoNotWait) {
    DispatchSemaphore semaphore(0);
    EXPECT_FALSE(semaphore.wait(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(semaphore.wait(-3));
}

TEST(DispatchSemaphoreTest, SignalFromAnotherThreadWakesAWaiter) {
    DispatchSemaphore request(0), reply(0);
    std::thread worker([&] {
        request.wait();
        reply.signal();
    });
    request.signal();
    EXPECT_TRUE(reply.wait(std::numeric_limits<double>::infinity()));
    worker.join();
}

TEST(DispatchSemaphoreDeathTest, NegativeStartValueAsserts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(DispatchSemaphore(-1), "Assertion failure.*Negative start value");
}
