#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchSemaphore.h"

namespace {

// Fills every worker of the global pool, queues blocks that must never run,
// leaves a serial queue's thread waiting on the main queue (whose loop
// nobody runs), then exits.
void exitWithWorkInFlight() {
    unsigned workers = std::max(2u, std::thread::hardware_concurrency());
    auto started = std::make_shared<DispatchSemaphore>(0);
    for (unsigned i = 0; i < workers; ++i) {
        DispatchQueue::global()->async([started] {
            started->signal();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            std::fputs("running block finished\n", stderr);
        });
    }
    for (unsigned i = 0; i < workers; ++i)
        started->wait();
    DispatchQueue::global()->async([] { std::abort(); });
    DispatchQueue::global()->after(0.01, [] { std::abort(); });

    auto queue = DispatchQueue::createSerial("kelvara.test.exit");
    auto waiting = std::make_shared<DispatchSemaphore>(0);
    queue->async([waiting] {
        waiting->signal();
        DispatchQueue::main()->sync([] { std::abort(); });
    });
    queue->after(0.01, [] { std::abort(); });
    waiting->wait();
    std::exit(0);
}

// What exit tears down that a block uses, like the fonts: made after the
// first queue, so exit destroys it before its own end of the queues.
struct Torn {
    std::vector<int> values = std::vector<int>(64, 1);
    ~Torn() { gone = true; }
    static inline std::atomic<bool> gone{false};
};

// A block that would run for seconds is in flight when the program ends.
void endMidWork() {
    auto started = std::make_shared<DispatchSemaphore>(0);
    DispatchQueue::global()->async([] {});
    static Torn torn;
    DispatchQueue::global()->async([started] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        // Mid-work from the first step on: the end may come at once.
        long sum = torn.values[0];
        started->signal();
        while (std::chrono::steady_clock::now() < until) {
            if (Torn::gone) {
                std::fputs("used after the exit handlers\n", stderr);
                std::_Exit(3);
            }
            if (DispatchQueue::isEnding())
                break;
            sum += torn.values[0];
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::fprintf(stderr, "block stopped after %s\n", sum > 0 ? "work" : "nothing");
    });
    started->wait();
    DispatchQueue::endBackgroundWork();
    std::exit(0);
}

}  // namespace

TEST(DispatchShutdownDeathTest, TheProgramsEndStopsRunningBlocksBeforeTheExitHandlers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(endMidWork(), testing::ExitedWithCode(0), "block stopped after work");
}

TEST(DispatchShutdownDeathTest, ExitDropsPendingBlocksAndAwaitsRunningOnes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWithWorkInFlight(), testing::ExitedWithCode(0),
                "Main queue closed.*running block finished");
}
