// A crashed child leaves its report; the next launch's reporter finds it,
// loads, decodes and purges it, and the formatter turns it into the crash log.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/BITCrashCXXExceptionWrapperException.h"
#include "sdk/crash/BITCrashCoreReport.h"
#include "sdk/crash/BITCrashReportTextFormatter.h"
#include "sdk/crash/BITCrashUncaughtCXXExceptionHandlerManager.h"

using namespace CrashTestSupport;

namespace {

// What the crash manager registers: the uncaught C++ exception goes to the
// process's uncaught-exception handler, which records it for the report.
void recordUncaughtCXXException(const BITCrashUncaughtCXXExceptionInfo* info) {
    BITCrashCXXExceptionWrapperException wrapper(*info);
    if (BITCrashCoreUncaughtExceptionHandler handler = BITCrashCoreGetUncaughtExceptionHandler()) {
        handler(wrapper);
    }
    abort();
}

extern "C" __attribute__((noinline)) void throwFromMapStore() {
    throw std::runtime_error("the map store is gone");
}

// On a thread of its own, where no test harness catches it.
void throwUncaught() {
    std::thread thread(throwFromMapStore);
    thread.join();
}

extern "C" __attribute__((noinline)) void faultOnBadPointer() {
    *reinterpret_cast<volatile int*>(uintptr_t{0xdead0000}) = 1;
}

struct NextLaunch {
    int status = 0;
    std::shared_ptr<BITCrashCoreReport> report;
    std::string log;
};

NextLaunch crashThenLaunchAgain(uint32_t handlerType, void (*crash)()) {
    TemporaryHome home;
    NextLaunch next;
    pid_t child = fork();
    if (child == 0) {
        resetInheritedSignalHandling();
        auto reporter = makeTestReporter(handlerType);
        if (!reporter->enableCrashReporterAndReturnError(nullptr)) {
            _exit(99);
        }
        BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(
            recordUncaughtCXXException);
        crash();
        _exit(0);
    }
    waitpid(child, &next.status, 0);

    auto reporter = makeTestReporter(handlerType);
    EXPECT_TRUE(reporter->hasPendingCrashReport());
    NSError error;
    std::optional<Value::Data> data = reporter->loadPendingCrashReportDataAndReturnError(&error);
    EXPECT_TRUE(data.has_value()) << error.localizedDescription();
    if (data) {
        next.report = BITCrashCoreReport::createWithData(*data, &error);
        EXPECT_NE(next.report, nullptr) << error.localizedDescription();
    }
    EXPECT_TRUE(reporter->purgePendingCrashReportAndReturnError(&error));
    EXPECT_FALSE(reporter->hasPendingCrashReport());
    if (next.report != nullptr) {
        next.log = BITCrashReportTextFormatter::stringValueForCrashReportCrashReporterKey(
            *next.report, "key-1");
    }
    return next;
}

const BITCrashCoreReportThreadInfo* crashedThreadOf(const BITCrashCoreReport& report) {
    for (const auto& thread : report.threads()) {
        if (thread.crashed()) {
            return &thread;
        }
    }
    return nullptr;
}

std::vector<std::string> symbolsOf(const std::vector<BITCrashCoreReportStackFrameInfo>& frames) {
    std::vector<std::string> names;
    for (const auto& frame : frames) {
        names.push_back(frame.symbolInfo() ? frame.symbolInfo()->symbolName() : "");
    }
    return names;
}

bool contains(const std::vector<std::string>& names, const std::string& text) {
    for (const std::string& name : names) {
        if (name.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The crash log's section from a heading to the next empty line.
std::string section(const std::string& log, const std::string& heading) {
    size_t start = log.find(heading);
    if (start == std::string::npos) {
        return "";
    }
    size_t end = log.find("\n\n", start);
    return log.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class CrashReportNextLaunchTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(CrashReportNextLaunchTest, UncaughtCppExceptionIsReportedWithNameReasonAndThrowSite) {
    NextLaunch next = crashThenLaunchAgain(GetParam(), throwUncaught);
    ASSERT_TRUE(WIFSIGNALED(next.status));
    EXPECT_EQ(WTERMSIG(next.status), SIGABRT);
    ASSERT_NE(next.report, nullptr);

    ASSERT_TRUE(next.report->hasExceptionInfo());
    const BITCrashCoreReportExceptionInfo& exception = *next.report->exceptionInfo();
    EXPECT_EQ(exception.exceptionName(), "std::runtime_error");
    EXPECT_EQ(exception.exceptionReason(), "the map store is gone");
    ASSERT_TRUE(exception.stackFrames().has_value());
    EXPECT_TRUE(contains(symbolsOf(*exception.stackFrames()), "throwFromMapStore"))
        << ::testing::PrintToString(symbolsOf(*exception.stackFrames()));
    EXPECT_EQ(next.report->signalInfo().name(), "SIGABRT");

    EXPECT_NE(next.log.find("Application Specific Information:\n*** Terminating app due to "
                            "uncaught exception 'std::runtime_error', reason: 'the map store "
                            "is gone'\n"),
              std::string::npos)
        << next.log;
    std::string backtrace = section(next.log, "Last Exception Backtrace:");
    EXPECT_NE(backtrace.find("throwFromMapStore + "), std::string::npos) << next.log;
    EXPECT_NE(backtrace.find("test_sdk_crash"), std::string::npos);
    // The thread that threw crashed; with the exception server there is one more thread.
    const BITCrashCoreReportThreadInfo* thread = crashedThreadOf(*next.report);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->threadNumber(), GetParam() == 0 ? 1 : 2);
    std::string crashed =
        section(next.log, "Thread " + std::to_string(thread->threadNumber()) + " Crashed:");
    EXPECT_NE(crashed.find("abort + "), std::string::npos) << next.log;
    EXPECT_NE(crashed.find("throwFromMapStore + "), std::string::npos);
    EXPECT_NE(next.log.find("Binary Images:\n"), std::string::npos);
    EXPECT_NE(next.log.find("+test_sdk_crash x86_64  <"), std::string::npos) << next.log;
}

TEST_P(CrashReportNextLaunchTest, SegmentationFaultIsReportedWithSymbolicatedCrashedThread) {
    NextLaunch next = crashThenLaunchAgain(GetParam(), faultOnBadPointer);
    ASSERT_TRUE(WIFSIGNALED(next.status));
    EXPECT_EQ(WTERMSIG(next.status), SIGSEGV);
    ASSERT_NE(next.report, nullptr);
    EXPECT_FALSE(next.report->hasExceptionInfo());

    EXPECT_NE(next.log.find("Exception Type:  SIGSEGV\nException Codes: SEGV_MAPERR at "
                            "0xdead0000\nCrashed Thread:  0\n"),
              std::string::npos)
        << next.log;
    EXPECT_NE(next.log.find("Identifier:      net.kelvara.tests\nVersion:         1.0 (1)\n"
                            "Code Type:       X86-64\n"),
              std::string::npos);
    std::string crashed = section(next.log, "Thread 0 Crashed:\n");
    EXPECT_NE(crashed.find("0   test_sdk_crash                       0x"), std::string::npos)
        << next.log;
    EXPECT_NE(crashed.find(" faultOnBadPointer + "), std::string::npos);
    EXPECT_NE(next.log.find("Thread 0 crashed with X86-64 Thread State:\n   rip: 0x"),
              std::string::npos);
    EXPECT_NE(next.log.find("libc.so.6 x86_64  <"), std::string::npos);
    EXPECT_EQ(next.log.find("Application Specific Information:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(HandlerTypes, CrashReportNextLaunchTest, ::testing::Values(0u, 1u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return info.param == 0 ? std::string("Signal") : std::string("Server");
                         });

TEST(CrashReportNextLaunch, SignalPathAndExceptionServerWriteTheSameReport) {
    NextLaunch viaSignal = crashThenLaunchAgain(0, faultOnBadPointer);
    NextLaunch viaServer = crashThenLaunchAgain(1, faultOnBadPointer);
    ASSERT_NE(viaSignal.report, nullptr);
    ASSERT_NE(viaServer.report, nullptr);
    const BITCrashCoreReport& a = *viaSignal.report;
    const BITCrashCoreReport& b = *viaServer.report;

    EXPECT_EQ(a.signalInfo().name(), b.signalInfo().name());
    EXPECT_EQ(a.signalInfo().code(), b.signalInfo().code());
    EXPECT_EQ(a.signalInfo().address(), b.signalInfo().address());
    EXPECT_FALSE(b.machExceptionInfo().has_value());
    EXPECT_EQ(a.applicationInfo().applicationIdentifier(),
              b.applicationInfo().applicationIdentifier());
    EXPECT_EQ(a.systemInfo().operatingSystemVersion(), b.systemInfo().operatingSystemVersion());
    EXPECT_EQ(a.systemInfo().architecture(), b.systemInfo().architecture());
    ASSERT_TRUE(a.hasProcessInfo() && b.hasProcessInfo());
    EXPECT_EQ(a.processInfo()->processPath(), b.processInfo()->processPath());
    EXPECT_EQ(a.processInfo()->parentProcessID(), b.processInfo()->parentProcessID());

    const BITCrashCoreReportThreadInfo* crashedA = crashedThreadOf(a);
    const BITCrashCoreReportThreadInfo* crashedB = crashedThreadOf(b);
    ASSERT_NE(crashedA, nullptr);
    ASSERT_NE(crashedB, nullptr);
    EXPECT_EQ(crashedA->threadNumber(), crashedB->threadNumber());
    EXPECT_EQ(symbolsOf(crashedA->stackFrames()), symbolsOf(crashedB->stackFrames()));
    ASSERT_EQ(crashedA->registers().size(), crashedB->registers().size());
    for (size_t i = 0; i < crashedA->registers().size(); i++) {
        EXPECT_EQ(crashedA->registers()[i].registerName(), crashedB->registers()[i].registerName());
    }
    // The faulting instruction is the same; the registers are the fault's in both.
    EXPECT_EQ(crashedA->stackFrames()[0].instructionPointer(),
              crashedB->stackFrames()[0].instructionPointer());

    ASSERT_EQ(a.images().size(), b.images().size());
    for (size_t i = 0; i < a.images().size(); i++) {
        EXPECT_EQ(a.images()[i].imageName(), b.images()[i].imageName());
        EXPECT_EQ(a.images()[i].imageBaseAddress(), b.images()[i].imageBaseAddress());
    }
    // The server's own thread is the one addition, with the state it had
    // while writing.
    ASSERT_EQ(b.threads().size(), a.threads().size() + 1);
    bool sawServer = false;
    for (const auto& thread : b.threads()) {
        sawServer |= !thread.crashed() &&
                     contains(symbolsOf(thread.stackFrames()), "BITCrashCoreMachExceptionServer");
    }
    EXPECT_TRUE(sawServer);
}

}  // namespace
