#include "CrashTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "Foundation/NSPathUtilities.h"
#include "sdk/crash/BITCrashCoreSignalHandler.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"

namespace CrashTestSupport {

namespace {

const int kWatchedSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGTRAP};

std::vector<std::string>& createdPaths() {
    static std::vector<std::string> paths;
    return paths;
}

// Removes the files the tests made, once all tests ran.
class RemoveReportFiles : public ::testing::Environment {
  public:
    void TearDown() override {
        for (const std::string& path : createdPaths()) {
            unlink(path.c_str());
        }
    }
};

[[maybe_unused]] ::testing::Environment* const removeReportFiles =
    ::testing::AddGlobalTestEnvironment(new RemoveReportFiles());

}  // namespace

std::string temporaryPath(const std::string& name) {
    static std::atomic<int> counter{0};
    std::string path = ::testing::TempDir() + "/crash-" + std::to_string(getpid()) + "-" +
                       std::to_string(counter++) + "-" + name;
    unlink(path.c_str());
    createdPaths().push_back(path);
    return path;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

TemporaryHome::TemporaryHome() {
    std::string pattern = ::testing::TempDir() + "/crash-home-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    path_ = mkdtemp(buffer.data()) != nullptr ? buffer.data() : ::testing::TempDir();
    NSSetApplicationHome(path_);
}

TemporaryHome::~TemporaryHome() {
    NSSetApplicationHome("");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void resetInheritedSignalHandling() {
    for (int signal : kWatchedSignals) {
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
    }
    BITCrashCoreSignalHandler::resetHandlers();
}

std::shared_ptr<BITCrashCoreReporter> makeTestReporter(uint32_t signalHandlerType) {
    return std::make_shared<BITCrashCoreReporter>(
        "net.kelvara.tests", "1", std::string("1.0"),
        std::make_shared<BITCrashCoreReporterConfig>(signalHandlerType,
                                                     BITCrashCoreSymbolicationAll));
}

int runCrashingChild(const std::string& reportPath, const std::function<void()>& body,
                     uint32_t signalHandlerType) {
    TemporaryHome home;
    pid_t child = fork();
    if (child == 0) {
        resetInheritedSignalHandling();
        auto reporter = makeTestReporter(signalHandlerType);
        if (!reporter->enableCrashReporterAndReturnError(nullptr)) {
            _exit(99);
        }
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    auto reporter = makeTestReporter(signalHandlerType);
    if (reporter->hasPendingCrashReport()) {
        rename(reporter->crashReportPath().c_str(), reportPath.c_str());
    }
    return status;
}

BITCrashCoreReportMessage decodeReportFile(const std::string& path) {
    std::vector<uint8_t> bytes = readFile(path);
    NSError error;
    BITCrashCoreReportMessage report = BITCrashCoreDecodeCrashData(bytes, &error);
    EXPECT_NE(report, nullptr) << path << ": " << error.localizedDescription();
    return report;
}

std::vector<std::string> frameSymbols(const Zvcrash__CrashReport__Thread& thread) {
    std::vector<std::string> names;
    for (size_t i = 0; i < thread.n_frames; i++) {
        const auto* symbol = thread.frames[i]->symbol;
        names.push_back(symbol != nullptr ? symbol->name : "");
    }
    return names;
}

bool anySymbolContains(const Zvcrash__CrashReport__Thread& thread, const std::string& text) {
    for (const std::string& name : frameSymbols(thread)) {
        if (name.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

const Zvcrash__CrashReport__Thread* crashedThread(const Zvcrash__CrashReport& report) {
    for (size_t i = 0; i < report.n_threads; i++) {
        if (report.threads[i]->crashed) {
            return report.threads[i];
        }
    }
    return nullptr;
}

}  // namespace CrashTestSupport
