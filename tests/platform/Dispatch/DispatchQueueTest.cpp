#include "Dispatch/DispatchQueue.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "Dispatch/DispatchGroup.h"
#include "Dispatch/DispatchSemaphore.h"
#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSThread.h"

TEST(DispatchQueueTest, SerialQueueRunsBlocksOneAtATimeInOrder) {
    auto queue = DispatchQueue::createSerial("kelvara.test.order");
    std::vector<int> order;
    std::atomic<int> running = 0;
    std::atomic<bool> overlapped = false;
    for (int i = 0; i < 500; ++i) {
        queue->async([&, i] {
            if (++running > 1)
                overlapped = true;
            order.push_back(i);
            --running;
        });
    }
    queue->sync([] {});
    ASSERT_EQ(order.size(), 500u);
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_FALSE(overlapped);
}

TEST(DispatchQueueTest, SerialQueueRunsOnItsOwnNamedThread) {
    auto queue = DispatchQueue::createSerial("kelvara.download.engine");
    bool isCurrent = false, onMain = true;
    std::string label, osName;
    queue->sync([&] {
        isCurrent = queue->isCurrent();
        onMain = NSThread::isMainThread();
        label = DispatchQueue::current()->label();
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        osName = name;
    });
    EXPECT_TRUE(isCurrent);
    EXPECT_FALSE(onMain);
    EXPECT_EQ(label, "kelvara.download.engine");
    EXPECT_EQ(osName, "kelvara.downloa");
    EXPECT_FALSE(queue->isCurrent());
}

TEST(DispatchQueueTest, CurrentQueueOfPlainThreadsAndMainThread) {
    EXPECT_EQ(DispatchQueue::current(), DispatchQueue::main());
    EXPECT_TRUE(DispatchQueue::main()->isCurrent());
    std::shared_ptr<DispatchQueue> onPlainThread = DispatchQueue::main();
    std::thread([&] { onPlainThread = DispatchQueue::current(); }).join();
    EXPECT_EQ(onPlainThread, nullptr);
}

TEST(DispatchQueueTest, GlobalQueueRunsBlocksSideBySide) {
    // Two blocks that each wait for the other to start: they finish only when
    // the pool runs them at the same time.
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    std::atomic<int> metPartner = 0;
    DispatchGroup group;
    for (int i = 0; i < 2; ++i) {
        group.async(DispatchQueue::global(), [&] {
            std::unique_lock lock(mutex);
            ++arrived;
            changed.notify_all();
            if (changed.wait_for(lock, std::chrono::seconds(10), [&] { return arrived == 2; })) {
                ++metPartner;
            }
        });
    }
    EXPECT_TRUE(group.wait(20));
    EXPECT_EQ(metPartner, 2);
}

TEST(DispatchQueueTest, GlobalSyncRunsOnTheCallerAsTheGlobalQueue) {
    auto global = DispatchQueue::global();
    bool onMain = false, isCurrent = false;
    global->sync([&] {
        onMain = NSThread::isMainThread();
        isCurrent = global->isCurrent();
    });
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(isCurrent);
    EXPECT_TRUE(DispatchQueue::main()->isCurrent());
}

TEST(DispatchQueueTest, MainQueueBlocksRunOnTheMainThreadInOrder) {
    auto order = std::make_shared<std::vector<int>>();
    auto allOnMain = std::make_shared<bool>(true);
    std::thread([order, allOnMain] {
        for (int i = 0; i < 20; ++i) {
            DispatchQueue::main()->async([order, allOnMain, i] {
                *allOnMain = *allOnMain && NSThread::isMainThread();
                order->push_back(i);
            });
        }
    }).join();
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return order->size() == 20; }, 10));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ((*order)[i], i);
    EXPECT_TRUE(*allOnMain);
}

TEST(DispatchQueueTest, MainSyncFromTheMainThreadRunsInline) {
    bool ran = false;
    DispatchQueue::main()->sync([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(DispatchQueueTest, MainSyncFromAWorkerWaitsForTheLoop) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    bool ranOnMain = false;
    std::thread worker([&] {
        DispatchQueue::main()->sync([&] { ranOnMain = NSThread::isMainThread(); });
        *done = true;
    });
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return done->load(); }, 10));
    worker.join();
    EXPECT_TRUE(ranOnMain);
}

TEST(DispatchQueueTest, AfterRunsBlocksByDueTime) {
    auto queue = DispatchQueue::createSerial("kelvara.test.after");
    std::vector<int> order;
    queue->after(0.06, [&] { order.push_back(3); });
    queue->after(0.02, [&] { order.push_back(1); });
    queue->after(0.02, [&] { order.push_back(2); });
    queue->async([&] { order.push_back(0); });
    DispatchSemaphore finished(0);
    queue->after(0.08, [&] { finished.signal(); });
    ASSERT_TRUE(finished.wait(10));
    queue->sync([] {});
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

TEST(DispatchQueueTest, MainAfterRunsOnTheLoopByDueTime) {
    auto order = std::make_shared<std::vector<int>>();
    DispatchQueue::main()->after(0.04, [order] { order->push_back(2); });
    DispatchQueue::main()->after(0.01, [order] { order->push_back(1); });
    DispatchQueue::main()->async([order] { order->push_back(0); });
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return order->size() == 3; }, 10));
    EXPECT_EQ(*order, (std::vector<int>{0, 1, 2}));
}

TEST(DispatchQueueTest, OddDelaysRunAtOnceOrNever) {
    auto queue = DispatchQueue::createSerial("kelvara.test.delays");
    auto sentinel = std::make_shared<int>(0);
    std::atomic<int> ran = 0;
    queue->after(std::numeric_limits<double>::quiet_NaN(), [&] { ++ran; });
    queue->after(-5, [&] { ++ran; });
    queue->after(std::numeric_limits<double>::infinity(), [&ran, sentinel] { ran += 100; });
    DispatchSemaphore done(0);
    queue->after(0, [&] { done.signal(); });
    ASSERT_TRUE(done.wait(10));
    EXPECT_EQ(ran, 2);
    // Releasing the queue drops its never-due block with what it holds.
    EXPECT_EQ(sentinel.use_count(), 2);
    queue.reset();
    EXPECT_EQ(sentinel.use_count(), 1);
}

TEST(DispatchQueueTest, ReleasedSerialQueueFinishesSubmittedBlocks) {
    auto gate = std::make_shared<DispatchSemaphore>(0);
    auto count = std::make_shared<std::atomic<int>>(0);
    DispatchGroup group;
    {
        auto queue = DispatchQueue::createSerial("kelvara.test.release");
        group.async(queue, [gate] { gate->wait(); });
        for (int i = 0; i < 50; ++i)
            group.async(queue, [count] { ++*count; });
    }
    gate->signal();
    EXPECT_TRUE(group.wait(10));
    EXPECT_EQ(*count, 50);
}

TEST(DispatchQueueTest, QueueReleasedByItsOwnBlock) {
    auto queue = DispatchQueue::createSerial("kelvara.test.self");
    DispatchSemaphore done(0);
    auto* raw = queue.get();
    raw->async([queue = std::move(queue), &done]() mutable {
        queue.reset();
        done.signal();
    });
    EXPECT_TRUE(done.wait(10));
}

TEST(DispatchQueueTest, EmptyBlocksAreIgnored) {
    auto queue = DispatchQueue::createSerial("kelvara.test.empty");
    for (auto& q : {queue, DispatchQueue::global(), DispatchQueue::main()}) {
        q->async(nullptr);
        q->after(0, nullptr);
        q->sync(nullptr);
    }
    DispatchGroup group;
    group.async(queue, nullptr);
    EXPECT_TRUE(group.wait(10));
    // The serial queue's thread is still there to run blocks.
    bool ran = false;
    queue->sync([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(DispatchQueueTest, SchedulerHandsBlocksToTheQueue) {
    auto queue = DispatchQueue::createSerial("kelvara.test.scheduler");
    auto schedule = queue->scheduler();
    bool onQueue = false;
    DispatchSemaphore done(0);
    schedule([&] {
        onQueue = queue->isCurrent();
        done.signal();
    });
    ASSERT_TRUE(done.wait(10));
    EXPECT_TRUE(onQueue);
}

TEST(DispatchQueueDeathTest, SyncOntoSerialQueueFromItselfAsserts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto queue = DispatchQueue::createSerial("kelvara.test.deadlock");
            queue->sync([&] { queue->sync([] {}); });
        },
        "Assertion failure.*kelvara.test.deadlock");
}
