#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "ChildTestProcess.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchSemaphore.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"

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

constexpr const char* kChildHomeVariable = "KELVARA_DISPATCH_END_HOME";

}  // namespace

// Run by ATestProgramLeavesABlockThatWillNotStopWithoutRunningOverIt in a
// process of its own: the test passes with a block still running that never
// asks whether the program is ending, and a default not yet written out.
TEST(DispatchEndChild, PassesWithABlockThatWillNotStop) {
    const char* home = std::getenv(kChildHomeVariable);
    if (!home)
        GTEST_SKIP() << "runs only as the child of its parent test";
    NSSetApplicationHome(home);
    NSUserDefaults::standardUserDefaults()->setObjectForKey(Value(std::string("kept")), "last");
    static Torn torn;
    auto started = std::make_shared<DispatchSemaphore>(0);
    DispatchQueue::global()->async([started] {
        started->signal();
        for (;;) {
            if (Torn::gone) {
                std::fputs("used after the exit handlers\n", stderr);
                std::_Exit(3);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    started->wait();
}

// A test program ends as the application does: the block is given its
// bounded time, then the process leaves with the tests' status and without
// the exit handlers that would tear down what the block reads; the user
// defaults are written out all the same.
TEST(DispatchShutdownTest, ATestProgramLeavesABlockThatWillNotStopWithoutRunningOverIt) {
    const std::filesystem::path home = std::filesystem::path(testing::TempDir()) /
                                       ("kelvara-dispatch-end-" + std::to_string(getpid()));
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    const std::string log = (home / "child.log").string();
    const int status =
        runTestInChildProcess("DispatchEndChild.PassesWithABlockThatWillNotStop",
                              std::string(kChildHomeVariable) + "=" + home.string(), log);
    std::stringstream output;
    output << std::ifstream(log).rdbuf();
    ASSERT_TRUE(WIFEXITED(status)) << output.str();
    EXPECT_EQ(WEXITSTATUS(status), 0) << output.str();
    EXPECT_NE(output.str().find("1 dispatch blocks still running"), std::string::npos)
        << output.str();
    NSSetApplicationHome(home.string());
    const std::string defaults = NSUserDefaultsFilePath();
    NSSetApplicationHome("");
    std::stringstream stored;
    stored << std::ifstream(defaults, std::ios::binary).rdbuf();
    EXPECT_NE(stored.str().find("kept"), std::string::npos) << "the default was not written out";
    std::filesystem::remove_all(home);
}

TEST(DispatchShutdownDeathTest, TheProgramsEndStopsRunningBlocksBeforeTheExitHandlers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(endMidWork(), testing::ExitedWithCode(0), "block stopped after work");
}

TEST(DispatchShutdownDeathTest, ExitDropsPendingBlocksAndAwaitsRunningOnes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWithWorkInFlight(), testing::ExitedWithCode(0),
                "Main queue closed.*running block finished");
}
