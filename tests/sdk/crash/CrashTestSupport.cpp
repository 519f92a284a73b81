#include "CrashTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreLogWriter.h"
#include "sdk/crash/BITCrashCoreSignalHandler.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"

namespace CrashTestSupport {

namespace {

const int kWatchedSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGTRAP};

struct CaptureContext {
    BITCrashCoreLogWriter writer;
    char path[512];
};

CaptureContext* capture = nullptr;

// Runs in signal context: what the crash reporter does with a fatal signal.
bool writeReportCallback(int signal, siginfo_t* info, ucontext_t* uap, void*,
                         const BITCrashCoreSignalHandlerNext*) {
    for (int watched : kWatchedSignals) {
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(watched, &fallback, nullptr);
    }
    BITCrashCoreThreadState state;
    state.initWithMachineContext(*uap);
    BITCrashCoreSignalInfo signalInfo;
    signalInfo.signal = signal;
    signalInfo.code = info->si_code;
    signalInfo.address = reinterpret_cast<uint64_t>(info->si_addr);
    capture->writer.writeReportToPath(capture->path, BITCrashCoreCurrentThread(),
                                      &BITCrashCoreAsyncImageList::sharedList(), signalInfo,
                                      &state);
    return false;
}

void installCapture(const std::string& reportPath) {
    capture = new CaptureContext();
    BITCrashCoreStrlcpy(capture->path, reportPath.c_str(), sizeof(capture->path));
    capture->writer.prepare("net.kelvara.tests", "1", std::string("1.0"),
                            BITCrashCoreSymbolicationAll, false);
    BITCrashCoreAsyncImageList::sharedList();
    for (int signal : kWatchedSignals) {
        BITCrashCoreSignalHandler::sharedHandler().registerHandlerForSignalCallbackContext(
            signal, writeReportCallback, nullptr, nullptr);
    }
}

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

int runCrashingChild(const std::string& reportPath, const std::function<void()>& body) {
    pid_t child = fork();
    if (child == 0) {
        installCapture(reportPath);
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
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
