#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

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

}  // namespace

TEST(DispatchShutdownDeathTest, ExitDropsPendingBlocksAndAwaitsRunningOnes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWithWorkInFlight(), testing::ExitedWithCode(0),
                "Main queue closed.*running block finished");
}
