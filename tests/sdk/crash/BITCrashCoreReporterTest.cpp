// The crash reporter facade: where reports live, finding, loading and
// purging the last run's report, enabling once per process, and live reports.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreFileWriter.h"
#include "sdk/crash/BITCrashCoreReport.h"
#include "sdk/crash/BITCrashCoreReporter.h"

using namespace CrashTestSupport;

namespace {

std::shared_ptr<BITCrashCoreReporter> reporterFor(const std::string& identifier) {
    return std::make_shared<BITCrashCoreReporter>(identifier, "7", std::nullopt, nullptr);
}

TEST(BITCrashCoreReporter, ReportsLiveUnderCachesInAFolderPerApplication) {
    TemporaryHome home;
    auto reporter = reporterFor("net.kelvara/app");
    std::string caches = NSSearchPathForDirectory(NSSearchPathDirectory::Caches);
    EXPECT_EQ(reporter->crashReportDirectory(), caches + "/net.kelvara.crashcore/net.kelvara_app");
    EXPECT_EQ(reporter->crashReportPath(),
              reporter->crashReportDirectory() + "/live_report.zvcrash");
    EXPECT_EQ(reporter->queuedCrashReportDirectory(),
              reporter->crashReportDirectory() + "/queued_reports");

    NSError error;
    ASSERT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(&error));
    struct stat info = {};
    ASSERT_EQ(stat(reporter->queuedCrashReportDirectory().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    EXPECT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(&error));
}

TEST(BITCrashCoreReporter, PendingReportIsFoundLoadedAndPurged) {
    TemporaryHome home;
    auto reporter = reporterFor("net.kelvara.app");
    EXPECT_FALSE(reporter->hasPendingCrashReport());
    NSError error;
    EXPECT_FALSE(reporter->loadPendingCrashReportDataAndReturnError(&error).has_value());
    EXPECT_FALSE(reporter->purgePendingCrashReportAndReturnError(&error));

    ASSERT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(nullptr));
    Value::Data bytes = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1, 0};
    ASSERT_TRUE(writeDataToFile(bytes, reporter->crashReportPath(), true));
    EXPECT_TRUE(reporter->hasPendingCrashReport());
    EXPECT_EQ(reporter->loadPendingCrashReportDataAndReturnError(&error), bytes);
    EXPECT_TRUE(reporter->purgePendingCrashReportAndReturnError(&error));
    EXPECT_FALSE(reporter->hasPendingCrashReport());
}

TEST(BITCrashCoreReporter, FormsWithoutAnErrorDoTheSameWork) {
    TemporaryHome home;
    auto reporter = makeTestReporter(0);
    EXPECT_FALSE(reporter->loadPendingCrashReportData().has_value());
    EXPECT_FALSE(reporter->purgePendingCrashReport());
    ASSERT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(nullptr));
    Value::Data bytes = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1, 0};
    ASSERT_TRUE(writeDataToFile(bytes, reporter->crashReportPath(), true));
    EXPECT_EQ(reporter->loadPendingCrashReportData(), bytes);
    EXPECT_TRUE(reporter->purgePendingCrashReport());
    EXPECT_FALSE(reporter->hasPendingCrashReport());

    for (const auto& data : {reporter->generateLiveReport(),
                             reporter->generateLiveReportWithThread(BITCrashCoreCurrentThread())}) {
        ASSERT_TRUE(data.has_value());
        auto report = BITCrashCoreReport::createWithData(*data, nullptr);
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->signalInfo().name(), "SIGTRAP");
    }

    pid_t child = fork();
    if (child == 0) {
        resetInheritedSignalHandling();
        _exit(makeTestReporter(0)->enableCrashReporter() &&
                      !makeTestReporter(0)->enableCrashReporter()
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(BITCrashCoreReporter, FileLargerThanAnyReportIsNotLoaded) {
    TemporaryHome home;
    NSLogSink previous = NSLogSetSink([](NSLogLevel, const std::string&) {});
    auto reporter = reporterFor("net.kelvara.app");
    ASSERT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(nullptr));
    ASSERT_TRUE(writeDataToFile(Value::Data(BITCrashCoreFileWriter::reportSizeCap + 1, 'x'),
                                reporter->crashReportPath(), true));
    NSError error;
    EXPECT_FALSE(reporter->loadPendingCrashReportDataAndReturnError(&error).has_value());
    EXPECT_FALSE(error.domain.empty());
    NSLogSetSink(previous);
}

TEST(BITCrashCoreReporter, BundleSuppliesIdentifierAndVersions) {
    TemporaryHome home;
    std::string bundle = home.path() + "/Bundle";
    std::filesystem::create_directories(bundle);
    Value info(Value::Dictionary{{"CFBundleIdentifier", "net.kelvara.maps"},
                                 {"CFBundleVersion", "812"},
                                 {"CFBundleShortVersionString", "3.1"}});
    ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(
        info, bundle + "/Info.plist", NSPropertyListSerialization::Format::XML));
    auto reporter = BITCrashCoreReporter::createWithBundleConfiguration(
        NSBundle::bundleWithPath(bundle), nullptr);
    EXPECT_EQ(reporter->applicationIdentifier(), "net.kelvara.maps");
    EXPECT_EQ(reporter->applicationVersion(), "812");
    EXPECT_EQ(reporter->applicationMarketingVersion(), "3.1");
    EXPECT_EQ(reporter->configuration().signalHandlerType(), BITCrashCoreSignalHandlerTypeBSD);

    std::string empty = home.path() + "/Empty";
    std::filesystem::create_directories(empty);
    std::vector<std::string> logged;
    NSLogSink previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged.push_back(line); });
    auto fallback = BITCrashCoreReporter::createWithBundleConfiguration(
        NSBundle::bundleWithPath(empty), nullptr);
    NSLogSetSink(previous);
    EXPECT_EQ(fallback->applicationIdentifier(), program_invocation_short_name);
    EXPECT_EQ(fallback->applicationVersion(), "");
    EXPECT_FALSE(fallback->applicationMarketingVersion().has_value());
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find("[CrashCore] Warning -- bundle identifier, using process name"),
              std::string::npos);
    EXPECT_NE(logged[1].find("[CrashCore] Warning -- bundle version unavailable"),
              std::string::npos);
}

int markerFile = -1;
void writeMarker(const siginfo_t* info, ucontext_t*, void*) {
    char signal = static_cast<char>(info->si_signo);
    (void)!write(markerFile, &signal, 1);
}

// In a child, so the process-wide enabled flag stays clear here.
TEST(BITCrashCoreReporter, OnlyOneReporterPerProcessIsEnabledAndCallbacksRunAfterTheReport) {
    TemporaryHome home;
    std::string marker = home.path() + "/marker";
    pid_t child = fork();
    if (child == 0) {
        resetInheritedSignalHandling();
        markerFile = open(marker.c_str(), O_WRONLY | O_CREAT, 0644);
        auto first = makeTestReporter(0);
        BITCrashCoreReporterCallbacks callbacks;
        callbacks.handleSignal = writeMarker;
        first->setCrashCallbacks(callbacks);
        if (!first->enableCrashReporterAndReturnError(nullptr) || !first->enabled()) {
            _exit(2);
        }
        NSError error;
        auto second = makeTestReporter(0);
        if (second->enableCrashReporterAndReturnError(&error) ||
            error.code != BITCrashCoreErrorResourceBusy ||
            error.localizedDescription() != "A crash reporter instance has already been enabled") {
            _exit(3);
        }
        raise(SIGILL);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGILL);
    EXPECT_EQ(readFile(marker), std::vector<uint8_t>{SIGILL});
    EXPECT_TRUE(makeTestReporter(0)->hasPendingCrashReport());
}

extern "C" __attribute__((noinline)) std::optional<Value::Data> takeLiveReport(
    BITCrashCoreReporter& reporter, NSError* error) {
    auto data = reporter.generateLiveReportAndReturnError(error);
    asm volatile("");
    return data;
}

TEST(BITCrashCoreReporter, LiveReportOfTheCallingThreadIsATraceTrap) {
    TemporaryHome home;
    std::string temporary = home.path() + "/tmp";
    std::filesystem::create_directories(temporary);
    const char* previousTemporary = getenv("TMPDIR");
    std::string savedTemporary = previousTemporary != nullptr ? previousTemporary : "";
    setenv("TMPDIR", temporary.c_str(), 1);
    auto reporter = makeTestReporter(0);
    NSError error;
    std::optional<Value::Data> data = takeLiveReport(*reporter, &error);
    ASSERT_TRUE(data.has_value()) << error.localizedDescription();
    auto report = BITCrashCoreReport::createWithData(*data, &error);
    ASSERT_NE(report, nullptr) << error.localizedDescription();
    EXPECT_EQ(report->signalInfo().name(), "SIGTRAP");
    EXPECT_EQ(report->signalInfo().code(), "TRAP_TRACE");
    bool sawCaller = false;
    for (const auto& thread : report->threads()) {
        if (!thread.crashed()) {
            continue;
        }
        for (const auto& frame : thread.stackFrames()) {
            sawCaller |= frame.symbolInfo() && frame.symbolInfo()->symbolName().find(
                                                   "takeLiveReport") != std::string::npos;
        }
    }
    EXPECT_TRUE(sawCaller);
    // The temporary file is gone.
    EXPECT_TRUE(std::filesystem::is_empty(temporary));
    if (previousTemporary != nullptr) {
        setenv("TMPDIR", savedTemporary.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

TEST(BITCrashCoreReporter, LiveReportOfAnotherThreadNamesThatThreadCrashed) {
    TemporaryHome home;
    auto reporter = makeTestReporter(0);
    std::atomic<int> worker{0};
    std::atomic<bool> stop{false};
    std::thread thread([&] {
        worker = BITCrashCoreCurrentThread();
        while (!stop.load()) {
            std::this_thread::yield();
        }
    });
    while (worker.load() == 0) {
        std::this_thread::yield();
    }
    NSError error;
    std::optional<Value::Data> data = reporter->generateLiveReportWithThreadError(worker, &error);
    stop = true;
    thread.join();
    ASSERT_TRUE(data.has_value()) << error.localizedDescription();
    auto report = BITCrashCoreReport::createWithData(*data, &error);
    ASSERT_NE(report, nullptr);
    int crashed = 0;
    for (const auto& info : report->threads()) {
        crashed += info.crashed() ? 1 : 0;
    }
    EXPECT_EQ(crashed, 1);
}

}  // namespace
