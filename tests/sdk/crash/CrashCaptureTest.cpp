// Child processes that die of real faults leave a report that decodes and
// tells what happened: signal and code, the crashed thread with a backtrace
// through this file's functions, every thread, and the loaded images.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/BITCrashCoreAlternateSignalStack.h"

using namespace CrashTestSupport;

namespace {

volatile int zero = 0;
volatile int one = 1;
volatile int stopDepth = -1;
std::atomic<bool> workersStop{false};
std::atomic<int> workersRunning{0};

extern "C" __attribute__((noinline)) void crashWithBadPointer() {
    *reinterpret_cast<volatile int*>(uintptr_t{0xdead0000}) = 1;
}

extern "C" __attribute__((noinline)) void crashWithBusError() {
    char path[] = "/tmp/kelvara-bus-XXXXXX";
    int fd = mkstemp(path);
    unlink(path);
    // A mapping past the end of an empty file has no page behind it.
    auto* page = static_cast<volatile char*>(mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
    (void)page[0];
}

extern "C" __attribute__((noinline)) void crashWithDivision() {
    volatile int result = one / zero;
    (void)result;
}

extern "C" __attribute__((noinline)) void crashWithIllegalInstruction() {
    __builtin_trap();
}

extern "C" __attribute__((noinline)) void crashWithBreakpoint() {
    asm volatile("int3");
}

extern "C" __attribute__((noinline)) void crashWithAbort() {
    abort();
    asm volatile("");
}

extern "C" __attribute__((noinline)) int overflowStack(int depth) {
    volatile char pad[256];
    pad[0] = static_cast<char>(depth);
    if (depth == stopDepth) {
        return 0;
    }
    return overflowStack(depth + 1) + pad[0];
}

extern "C" __attribute__((noinline)) void overflowStackOnThread() {
    std::thread thread([] {
        installAlternateSignalStackForCurrentThread();
        overflowStack(0);
    });
    thread.join();
}

extern "C" __attribute__((noinline)) void spinningWorker() {
    workersRunning++;
    while (!workersStop.load()) {
        asm volatile("pause");
    }
}

// The caller every crash goes through, so backtraces can be checked beyond
// the faulting function.
extern "C" __attribute__((noinline)) void enterCrash(void (*crash)()) {
    crash();
    asm volatile("");
}

struct Scenario {
    const char* name;
    void (*crash)();
    int signal;
    const char* signalName;
    const char* codeName;
    const char* crashingFunction;
};

// Every fault, caught by the signal handlers (type 0) and by the exception
// server (type 1).
class CrashCaptureTest : public ::testing::TestWithParam<std::tuple<Scenario, uint32_t>> {};

TEST_P(CrashCaptureTest, ChildLeavesDecodableReportNamingTheCrash) {
    const Scenario& scenario = std::get<0>(GetParam());
    uint32_t handlerType = std::get<1>(GetParam());
    std::string path = temporaryPath(std::string(scenario.name) + ".zvcrash");
    int status = runCrashingChild(
        path, [&] { enterCrash(scenario.crash); }, handlerType);

    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), scenario.signal);
    BITCrashCoreReportMessage report = decodeReportFile(path);
    ASSERT_NE(report, nullptr);

    EXPECT_STREQ(report->signal->name, scenario.signalName);
    EXPECT_STREQ(report->signal->code, scenario.codeName);
    const Zvcrash__CrashReport__Thread* crashed = crashedThread(*report);
    ASSERT_NE(crashed, nullptr);
    ASSERT_GE(crashed->n_frames, 2u);
    EXPECT_TRUE(anySymbolContains(*crashed, scenario.crashingFunction))
        << ::testing::PrintToString(frameSymbols(*crashed));
    EXPECT_TRUE(anySymbolContains(*crashed, "enterCrash"))
        << ::testing::PrintToString(frameSymbols(*crashed));
    EXPECT_EQ(crashed->n_registers, 21u);
    EXPECT_STREQ(crashed->registers[0]->name, "rip");
    EXPECT_EQ(crashed->registers[0]->value, crashed->frames[0]->pc);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CrashCaptureTest,
    ::testing::Combine(
        ::testing::Values(
            Scenario{"segv", crashWithBadPointer, SIGSEGV, "SIGSEGV", "SEGV_MAPERR",
                     "crashWithBadPointer"},
            Scenario{"bus", crashWithBusError, SIGBUS, "SIGBUS", "BUS_ADRERR", "crashWithBusError"},
            Scenario{"fpe", crashWithDivision, SIGFPE, "SIGFPE", "FPE_INTDIV", "crashWithDivision"},
            Scenario{"ill", crashWithIllegalInstruction, SIGILL, "SIGILL", "ILL_ILLOPN",
                     "crashWithIllegalInstruction"},
            // A breakpoint instruction reaches the process as the kernel's own trap.
            Scenario{"trap", crashWithBreakpoint, SIGTRAP, "SIGTRAP", "SI_KERNEL",
                     "crashWithBreakpoint"},
            Scenario{"abort", crashWithAbort, SIGABRT, "SIGABRT", "SI_TKILL", "crashWithAbort"}),
        ::testing::Values(0u, 1u)),
    [](const ::testing::TestParamInfo<std::tuple<Scenario, uint32_t>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == 0 ? "_signal" : "_server");
    });

TEST(CrashCapture, BadPointerReportNamesTheFaultingAddress) {
    std::string path = temporaryPath("address.zvcrash");
    runCrashingChild(path, [] { enterCrash(crashWithBadPointer); });
    BITCrashCoreReportMessage report = decodeReportFile(path);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->signal->address, 0xdead0000u);
    EXPECT_FALSE(report->report_info->user_requested);
    EXPECT_EQ(report->report_info->uuid.len, 16u);
    EXPECT_EQ(report->exception, nullptr);
    EXPECT_STREQ(report->application_info->identifier, "net.kelvara.tests");
    EXPECT_STREQ(report->application_info->marketing_version, "1.0");
    EXPECT_EQ(report->system_info->architecture, ZVCRASH__ARCHITECTURE__X86_64);
    EXPECT_GT(report->system_info->timestamp, 1'600'000'000);
    ASSERT_NE(report->process_info, nullptr);
    EXPECT_NE(report->process_info->process_id, static_cast<uint32_t>(getpid()));
    EXPECT_EQ(report->process_info->parent_process_id, static_cast<uint32_t>(getpid()));
}

TEST(CrashCapture, StackOverflowOnSecondThreadIsReported) {
    std::string path = temporaryPath("overflow.zvcrash");
    int status = runCrashingChild(path, [] { enterCrash(overflowStackOnThread); });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    BITCrashCoreReportMessage report = decodeReportFile(path);
    ASSERT_NE(report, nullptr);
    EXPECT_STREQ(report->signal->name, "SIGSEGV");
    ASSERT_EQ(report->n_threads, 2u);
    const Zvcrash__CrashReport__Thread* crashed = crashedThread(*report);
    ASSERT_NE(crashed, nullptr);
    EXPECT_EQ(crashed->thread_number, 1u);
    // The walk stops at its frame limit inside the runaway recursion.
    EXPECT_EQ(crashed->n_frames, 512u);
    EXPECT_TRUE(anySymbolContains(*crashed, "overflowStack"));
    // The main thread waits in join, stopped while the report was written.
    const Zvcrash__CrashReport__Thread* main = report->threads[0];
    EXPECT_FALSE(main->crashed);
    EXPECT_EQ(main->n_registers, 0u);
    EXPECT_GE(main->n_frames, 1u);
}

TEST(CrashCapture, StackOverflowOnSecondThreadIsReportedByTheExceptionServer) {
    std::string path = temporaryPath("overflow-server.zvcrash");
    int status = runCrashingChild(
        path, [] { enterCrash(overflowStackOnThread); }, 1);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    BITCrashCoreReportMessage report = decodeReportFile(path);
    ASSERT_NE(report, nullptr);
    // The main thread, the server (started when capture was enabled) and the
    // thread that overflowed.
    ASSERT_EQ(report->n_threads, 3u);
    const Zvcrash__CrashReport__Thread* crashed = crashedThread(*report);
    ASSERT_NE(crashed, nullptr);
    EXPECT_EQ(crashed->thread_number, 2u);
    EXPECT_EQ(crashed->n_frames, 512u);
    EXPECT_TRUE(anySymbolContains(*crashed, "overflowStack"));
}

TEST(CrashCapture, ReportListsEveryThreadWithItsOwnBacktrace) {
    std::string path = temporaryPath("threads.zvcrash");
    runCrashingChild(path, [] {
        std::vector<std::thread> workers;
        for (int i = 0; i < 3; i++) {
            workers.emplace_back(spinningWorker);
        }
        while (workersRunning.load() < 3) {
        }
        enterCrash(crashWithBadPointer);
    });
    BITCrashCoreReportMessage report = decodeReportFile(path);
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(report->n_threads, 4u);
    int spinning = 0;
    for (size_t i = 0; i < report->n_threads; i++) {
        const Zvcrash__CrashReport__Thread& thread = *report->threads[i];
        EXPECT_EQ(thread.thread_number, i);
        EXPECT_GE(thread.n_frames, 1u);
        if (thread.crashed) {
            EXPECT_EQ(i, 0u);
            EXPECT_TRUE(anySymbolContains(thread, "crashWithBadPointer"));
        } else {
            EXPECT_EQ(thread.n_registers, 0u);
            spinning += anySymbolContains(thread, "spinningWorker") ? 1 : 0;
        }
    }
    EXPECT_EQ(spinning, 3);
}

TEST(CrashCapture, ReportListsLoadedImagesWithBuildIds) {
    std::string path = temporaryPath("images.zvcrash");
    runCrashingChild(path, [] { enterCrash(crashWithBadPointer); });
    BITCrashCoreReportMessage report = decodeReportFile(path);
    ASSERT_NE(report, nullptr);
    ASSERT_GE(report->n_binary_images, 3u);
    char executable[512] = {};
    ASSERT_GT(readlink("/proc/self/exe", executable, sizeof(executable) - 1), 0);
    bool sawExecutable = false;
    bool sawLibc = false;
    for (size_t i = 0; i < report->n_binary_images; i++) {
        const auto& image = *report->binary_images[i];
        std::string name = image.name;
        if (name == executable) {
            sawExecutable = true;
            EXPECT_TRUE(image.has_uuid);
            EXPECT_EQ(image.uuid.len, 20u);
            EXPECT_GT(image.size, 0u);
            ASSERT_NE(image.code_type, nullptr);
            EXPECT_EQ(image.code_type->type, 0x1000007u);
        }
        if (name.find("libc.so") != std::string::npos) {
            sawLibc = true;
            EXPECT_TRUE(image.has_uuid);
        }
    }
    EXPECT_TRUE(sawExecutable);
    EXPECT_TRUE(sawLibc);
    // The crashing frame lies in the executable's image.
    const Zvcrash__CrashReport__Thread* crashed = crashedThread(*report);
    ASSERT_NE(crashed, nullptr);
    uint64_t pc = crashed->frames[0]->pc;
    bool contained = false;
    for (size_t i = 0; i < report->n_binary_images; i++) {
        const auto& image = *report->binary_images[i];
        if (pc >= image.base_address && pc - image.base_address < image.size) {
            contained = std::string(image.name) == executable;
            break;
        }
    }
    EXPECT_TRUE(contained);
}

}  // namespace
