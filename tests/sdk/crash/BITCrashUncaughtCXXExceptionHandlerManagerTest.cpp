// The terminate handler that describes an uncaught C++ exception before the
// process ends, and the wrapper that turns the description into an
// uncaught exception.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/BITCrashCXXExceptionWrapperException.h"
#include "sdk/crash/BITCrashUncaughtCXXExceptionHandlerManager.h"

namespace {

int reportPipe = -1;

// Sends "<type>|<message or (none)>|<frame count>" to the parent.
void reportToParent(const BITCrashUncaughtCXXExceptionInfo* info) {
    std::string text =
        std::string(info->exception_type_name ? info->exception_type_name : "(none)") + "|" +
        (info->exception_message ? info->exception_message : "(none)") + "|" +
        std::to_string(info->exception_frames_count);
    (void)!write(reportPipe, text.data(), text.size());
}

struct Outcome {
    int status = 0;
    std::string reported;
};

// Throws in a child, on a thread of its own so no test harness catches it.
template <typename Thrower>
Outcome throwUncaughtInChild(Thrower thrower) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        reportPipe = ends[1];
        CrashTestSupport::resetInheritedSignalHandling();
        BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(reportToParent);
        std::thread thread(thrower);
        thread.join();
        _exit(0);
    }
    close(ends[1]);
    Outcome outcome;
    char buffer[512];
    ssize_t length;
    while ((length = read(ends[0], buffer, sizeof(buffer))) > 0) {
        outcome.reported.append(buffer, static_cast<size_t>(length));
    }
    close(ends[0]);
    waitpid(child, &outcome.status, 0);
    return outcome;
}

TEST(BITCrashUncaughtCXXExceptionHandlerManager, HandlersLearnTypeMessageAndThrowStack) {
    Outcome outcome = throwUncaughtInChild([] { throw std::logic_error("no tiles"); });
    ASSERT_TRUE(WIFSIGNALED(outcome.status));
    EXPECT_EQ(WTERMSIG(outcome.status), SIGABRT);
    EXPECT_EQ(outcome.reported.substr(0, outcome.reported.rfind('|')), "St11logic_error|no tiles");
    EXPECT_GE(std::stoi(outcome.reported.substr(outcome.reported.rfind('|') + 1)), 3);
}

TEST(BITCrashUncaughtCXXExceptionHandlerManager, MessagesOfStringsAndPointers) {
    Outcome text = throwUncaughtInChild([] { throw std::string("a string"); });
    EXPECT_NE(text.reported.find("|a string|"), std::string::npos) << text.reported;
    Outcome literal = throwUncaughtInChild([] { throw "a literal"; });
    EXPECT_EQ(literal.reported.substr(0, literal.reported.rfind('|')), "PKc|a literal");
    Outcome pointer = throwUncaughtInChild([] { throw new std::runtime_error("by pointer"); });
    EXPECT_NE(pointer.reported.find("|by pointer|"), std::string::npos) << pointer.reported;
}

TEST(BITCrashUncaughtCXXExceptionHandlerManager, ThrownIntHasTypeNameAndNoMessage) {
    Outcome outcome = throwUncaughtInChild([] { throw 42; });
    EXPECT_EQ(outcome.reported.substr(0, outcome.reported.rfind('|')), "i|(none)");
    EXPECT_EQ(WTERMSIG(outcome.status), SIGABRT);
}

void otherTerminate() {
    abort();
}
void yetAnotherTerminate() {
    abort();
}
void noteNothing(const BITCrashUncaughtCXXExceptionInfo*) {}

TEST(BITCrashUncaughtCXXExceptionHandlerManager, RemovingTheLastHandlerRestoresThePrevious) {
    std::terminate_handler original = std::set_terminate(otherTerminate);
    BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(noteNothing);
    BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(noteNothing);
    EXPECT_NE(std::get_terminate(), otherTerminate);
    BITCrashUncaughtCXXExceptionHandlerManager::removeCXXExceptionHandler(noteNothing);
    EXPECT_NE(std::get_terminate(), otherTerminate);
    BITCrashUncaughtCXXExceptionHandlerManager::removeCXXExceptionHandler(noteNothing);
    EXPECT_EQ(std::get_terminate(), otherTerminate);
    std::set_terminate(original);
}

// In a child: the manager stays installed beneath the other handler afterwards.
TEST(BITCrashUncaughtCXXExceptionHandlerManager, AHandlerInstalledAboveOursIsKeptOnRemoval) {
    pid_t child = fork();
    if (child == 0) {
        BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(noteNothing);
        std::set_terminate(yetAnotherTerminate);
        BITCrashUncaughtCXXExceptionHandlerManager::removeCXXExceptionHandler(noteNothing);
        bool kept = std::get_terminate() == yetAnotherTerminate;
        // Still installed beneath it: the next add does not install a second time.
        BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(noteNothing);
        bool notReinstalled = std::get_terminate() == yetAnotherTerminate;
        _exit(kept && notReinstalled ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BITCrashCXXExceptionWrapperException, NamesReasonAndFramesFromTheRecord) {
    uintptr_t frames[] = {0x1000, 0x2000};
    BITCrashUncaughtCXXExceptionInfo info = {nullptr, "St13runtime_error", "lost", 2, frames};
    BITCrashCXXExceptionWrapperException wrapper(info);
    EXPECT_EQ(wrapper.name(), "std::runtime_error");
    EXPECT_EQ(wrapper.reason(), "lost");
    EXPECT_EQ(wrapper.callStackReturnAddresses(), (std::vector<uint64_t>{0x1000, 0x2000}));

    BITCrashUncaughtCXXExceptionInfo empty = {nullptr, nullptr, nullptr, 0, nullptr};
    BITCrashCXXExceptionWrapperException none(empty);
    EXPECT_EQ(none.name(), "");
    EXPECT_EQ(none.reason(), "");
    EXPECT_TRUE(none.callStackReturnAddresses().empty());

    BITCrashUncaughtCXXExceptionInfo unmangled = {nullptr, "not a mangled name", nullptr, 0,
                                                  nullptr};
    EXPECT_EQ(BITCrashCXXExceptionWrapperException(unmangled).name(), "not a mangled name");
}

}  // namespace
