#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "Dispatch/DispatchQueue.h"
#include "sdk/crash/BITCrashCoreAlternateSignalStack.h"
#include "sdk/crash/BITCrashCoreAsyncList.h"
#include "sdk/crash/BITCrashCoreSignalHandler.h"

namespace {

// Runs body in a forked child and returns its wait status; the child exits
// with body's result.
int inChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

volatile sig_atomic_t previousCalls = 0;
volatile sig_atomic_t callbackCalls = 0;

void previousHandler(int, siginfo_t*, void*) {
    previousCalls = previousCalls + 1;
}

bool countingCallback(int, siginfo_t*, ucontext_t*, void* context,
                      const BITCrashCoreSignalHandlerNext* next) {
    callbackCalls = callbackCalls + *static_cast<int*>(context);
    return next != nullptr && next->call(SIGUSR1, nullptr, nullptr);
}

bool alternateStackEnabled() {
    stack_t current = {};
    sigaltstack(nullptr, &current);
    return (current.ss_flags & SS_DISABLE) == 0 &&
           current.ss_size >= BITCrashCoreAlternateSignalStackSize;
}

TEST(BITCrashCoreSignalHandler, PreviousIgnoreCountsAsHandled) {
    int status = inChild([] {
        signal(SIGUSR1, SIG_IGN);
        BITCrashCoreSignalHandler::sharedHandler().registerHandlerWithSignalError(SIGUSR1, nullptr);
        raise(SIGUSR1);
        return 7;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST(BITCrashCoreSignalHandler, WithoutPreviousActionTheSignalIsRaisedAgain) {
    int status = inChild([] {
        BITCrashCoreSignalHandler::sharedHandler().registerHandlerWithSignalError(SIGUSR2, nullptr);
        raise(SIGUSR2);
        return 0;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGUSR2);
}

TEST(BITCrashCoreSignalHandler, RegisteringTwiceRunsThePreviousActionOnce) {
    int status = inChild([] {
        struct sigaction action = {};
        action.sa_sigaction = previousHandler;
        action.sa_flags = SA_SIGINFO;
        sigaction(SIGUSR1, &action, nullptr);
        auto& handler = BITCrashCoreSignalHandler::sharedHandler();
        bool first = handler.registerHandlerWithSignalError(SIGUSR1, nullptr);
        bool second = handler.registerHandlerWithSignalError(SIGUSR1, nullptr);
        raise(SIGUSR1);
        return first && second ? previousCalls : 100;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST(BITCrashCoreSignalHandler, CallbacksRunFromTheHeadAndHandTheSignalOn) {
    int status = inChild([] {
        struct sigaction action = {};
        action.sa_sigaction = previousHandler;
        action.sa_flags = SA_SIGINFO;
        sigaction(SIGUSR1, &action, nullptr);
        static int one = 1;
        static int ten = 10;
        auto& handler = BITCrashCoreSignalHandler::sharedHandler();
        handler.registerHandlerForSignalCallbackContextError(SIGUSR1, countingCallback, &one,
                                                             nullptr);
        handler.registerHandlerForSignalCallbackContextError(SIGUSR1, countingCallback, &ten,
                                                             nullptr);
        raise(SIGUSR1);
        // Both callbacks ran, then the pass-through ran the previous action.
        return callbackCalls == 11 && previousCalls == 1 ? 0 : 1;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BITCrashCoreSignalHandler, InvalidSignalFailsWithOperatingSystemError) {
    NSError error;
    EXPECT_FALSE(
        BITCrashCoreSignalHandler::sharedHandler().registerHandlerWithSignalError(SIGKILL, &error));
    EXPECT_EQ(error.domain, "BITCrashCoreErrorDomain");
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.localizedDescription(), "Failed to register signal handler");
}

TEST(BITCrashCoreAlternateSignalStack, RegistrationCoversTheCallingThreadAndOthersInstallTheirOwn) {
    int status = inChild([] {
        BITCrashCoreSignalHandler::sharedHandler().registerHandlerWithSignalError(SIGUSR1, nullptr);
        if (!alternateStackEnabled()) {
            return 1;
        }
        int result = 0;
        std::thread([&] {
            bool before = alternateStackEnabled();
            bool installed = installAlternateSignalStackForCurrentThread();
            bool again = installAlternateSignalStackForCurrentThread();
            result = !before && installed && again && alternateStackEnabled() ? 0 : 2;
        }).join();
        return result;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BITCrashCoreAlternateSignalStack, DispatchWorkersStartedAfterRegistrationHaveTheirOwn) {
    int status = inChild([] {
        BITCrashCoreSignalHandler::sharedHandler().registerHandlerWithSignalError(SIGUSR1, nullptr);
        std::atomic<int> result{-1};
        DispatchQueue::createSerial("test.altstack")->sync([&] {
            result = alternateStackEnabled() ? 0 : 3;
        });
        return result.load();
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BITCrashCoreAsyncList, RemovalWhileReadingKeepsTheNodeForReuse) {
    BITCrashCoreAsyncList<int> list;
    list.append(1);
    list.append(2);
    list.prepend(0);
    list.beginReading();
    auto* first = list.next(nullptr);
    auto* second = list.next(first);
    ASSERT_EQ(second->value, 1);
    EXPECT_TRUE(list.remove(1));
    // The reader standing on the removed node still finds its way on.
    EXPECT_EQ(list.next(second)->value, 2);
    EXPECT_EQ(list.freeNodeCount(), 1);
    list.endReading();
    list.append(3);
    EXPECT_EQ(list.freeNodeCount(), 0);
    std::vector<int> values;
    list.beginReading();
    for (auto* node = list.next(nullptr); node != nullptr; node = list.next(node)) {
        values.push_back(node->value);
    }
    list.endReading();
    EXPECT_EQ(values, (std::vector<int>{0, 2, 3}));
    EXPECT_FALSE(list.remove(42));
}

}  // namespace
