#include "Dispatch/NSRunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

TEST(NSRunLoopTest, RunUntilAnswersFalseWhenThePredicateNeverHolds) {
    EXPECT_FALSE(NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.02));
}

TEST(NSRunLoopTest, RunUntilRunsPostedBlocksIncludingOnesTheyPost) {
    auto loop = NSRunLoop::mainRunLoop();
    auto order = std::make_shared<std::vector<int>>();
    loop->performBlock([loop, order] {
        order->push_back(1);
        loop->performBlock([order] { order->push_back(3); });
    });
    loop->performBlock([order] { order->push_back(2); });
    EXPECT_TRUE(loop->runUntil([&] { return order->size() == 3; }, 10));
    EXPECT_EQ(*order, (std::vector<int>{1, 2, 3}));
}

TEST(NSRunLoopTest, RunUntilNoticesStateChangedByAnotherThread) {
    // Nothing is posted to the loop: it must look at the predicate by itself.
    std::atomic<bool> flag = false;
    std::thread setter([&] { flag = true; });
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return flag.load(); }, 10));
    setter.join();
}

TEST(NSRunLoopTest, RunReturnsAfterStopFromABlock) {
    auto loop = NSRunLoop::mainRunLoop();
    auto ran = std::make_shared<int>(0);
    loop->performBlock([ran] { ++*ran; });
    loop->performBlock([loop, ran] {
        ++*ran;
        loop->stop();
    });
    loop->run();
    EXPECT_EQ(*ran, 2);
}

TEST(NSRunLoopTest, RunReturnsAfterStopFromAnotherThread) {
    auto loop = NSRunLoop::mainRunLoop();
    auto started = std::make_shared<std::atomic<bool>>(false);
    loop->performBlock([started] { *started = true; });
    std::thread stopper([&] {
        while (!*started)
            std::this_thread::yield();
        loop->stop();
    });
    loop->run();
    stopper.join();
    EXPECT_TRUE(*started);
}

TEST(NSRunLoopTest, RunUntilDateRunsWorkDueBeforeTheDate) {
    auto loop = NSRunLoop::mainRunLoop();
    auto ran = std::make_shared<bool>(false);
    loop->performBlockAt(std::chrono::steady_clock::now() + std::chrono::milliseconds(10),
                         [ran] { *ran = true; });
    loop->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.05));
    EXPECT_TRUE(*ran);
}
