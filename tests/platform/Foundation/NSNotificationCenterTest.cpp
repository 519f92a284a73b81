#include "Foundation/NSNotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(NSNotificationCenterTest, DeliversToMatchingObserversOnThePostingThread) {
    NSNotificationCenter center;
    int sender = 0;
    int otherSender = 0;
    std::vector<std::string> seen;
    std::thread::id deliveredOn;
    auto any =
        center.addObserverForName("Changed", nullptr, nullptr, [&](const NSNotification& note) {
            seen.push_back("any:" + *note.userInfo.at("what").stringValue());
            deliveredOn = std::this_thread::get_id();
        });
    auto fromSender = center.addObserverForName(
        "Changed", &sender, nullptr, [&](const NSNotification&) { seen.push_back("sender"); });
    auto everything = center.addObserverForName(
        "", nullptr, nullptr,
        [&](const NSNotification& note) { seen.push_back("all:" + note.name); });

    center.postNotificationName("Changed", &otherSender, {{"what", "x"}});
    center.postNotificationName("Changed", &sender, {{"what", "y"}});
    center.postNotificationName("Other");
    EXPECT_EQ(seen, (std::vector<std::string>{"any:x", "all:Changed", "any:y", "sender",
                                              "all:Changed", "all:Other"}));
    EXPECT_EQ(deliveredOn, std::this_thread::get_id());

    center.removeObserver(any);
    center.removeObserver(fromSender);
    center.removeObserver(everything);
    seen.clear();
    center.postNotificationName("Changed", &sender, {{"what", "z"}});
    EXPECT_TRUE(seen.empty());
}

TEST(NSNotificationCenterTest, BlockMayRemoveItselfAndOthersDuringAPost) {
    NSNotificationCenter center;
    int calls = 0;
    std::shared_ptr<NSNotificationObserver> self;
    std::shared_ptr<NSNotificationObserver> later;
    self = center.addObserverForName("N", nullptr, nullptr, [&](const NSNotification&) {
        ++calls;
        center.removeObserver(self);
        center.removeObserver(later);
        center.addObserverForName("N", nullptr, nullptr,
                                  [&](const NSNotification&) { calls += 100; });
    });
    later = center.addObserverForName("N", nullptr, nullptr,
                                      [&](const NSNotification&) { calls += 10; });
    center.postNotificationName("N");
    // The removed observer added after the first is skipped; the new one waits for the next post.
    EXPECT_EQ(calls, 1);
    center.postNotificationName("N");
    EXPECT_EQ(calls, 101);
}

TEST(NSNotificationCenterTest, SchedulerRunsTheBlockAndRemovalCancelsPendingDeliveries) {
    NSNotificationCenter center;
    std::vector<std::function<void()>> queue;
    auto scheduler = [&queue](std::function<void()> work) { queue.push_back(std::move(work)); };
    int calls = 0;
    auto observer =
        center.addObserverForName("N", nullptr, scheduler, [&](const NSNotification&) { ++calls; });
    center.postNotificationName("N");
    center.postNotificationName("N");
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(queue.size(), 2u);
    queue[0]();
    EXPECT_EQ(calls, 1);
    center.removeObserver(observer);
    queue[1]();
    EXPECT_EQ(calls, 1);
}

TEST(NSNotificationCenterTest, RemovalWaitsForADeliveryOnAnotherThread) {
    NSNotificationCenter center;
    std::atomic<bool> inBlock{false};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    auto observer = center.addObserverForName("N", nullptr, nullptr, [&](const NSNotification&) {
        inBlock = true;
        while (!release)
            std::this_thread::yield();
        finished = true;
    });
    std::thread poster([&] { center.postNotificationName("N"); });
    while (!inBlock)
        std::this_thread::yield();
    std::thread remover([&] {
        center.removeObserver(observer);
        EXPECT_TRUE(finished);  // removal returned only after the block ended
    });
    release = true;
    remover.join();
    poster.join();
}

TEST(NSNotificationCenterTest, ConcurrentPostingAndRemoval) {
    NSNotificationCenter center;
    std::atomic<int> calls{0};
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop)
            center.postNotificationName("N");
    });
    for (int i = 0; i < 500; ++i) {
        auto observer = center.addObserverForName("N", nullptr, nullptr,
                                                  [&](const NSNotification&) { ++calls; });
        center.removeObserver(observer);
    }
    stop = true;
    poster.join();
    const int afterStop = calls;
    center.postNotificationName("N");
    EXPECT_EQ(calls, afterStop);
    EXPECT_NE(NSNotificationCenter::defaultCenter(), nullptr);
    EXPECT_EQ(NSNotificationCenter::defaultCenter(), NSNotificationCenter::defaultCenter());
}
