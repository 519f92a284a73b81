#include "sdk/crash/BITCrashCoreReporter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "Foundation/NSAssert.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreLogWriter.h"
#include "sdk/crash/BITCrashCoreMachExceptionPort.h"
#include "sdk/crash/BITCrashCoreMachExceptionServer.h"
#include "sdk/crash/BITCrashCoreSignalHandler.h"
#include "sdk/crash/BITCrashCoreUncaughtException.h"

namespace {

constexpr const char* kReporterDataFolder = "net.kelvara.crashcore";
constexpr const char* kReportFileName = "live_report.zvcrash";
constexpr const char* kQueuedReportsFolder = "queued_reports";
constexpr const char* kLiveReportTemplate = "live_crash_report.XXXXXX";
constexpr const char* kSourceFile = "sdk/crash/BITCrashCoreReporter";

const int kWatchedSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGTRAP};
// The faults the exception server takes; SIGABRT stays with the signal path.
constexpr uint32_t kExceptionMask =
    (1u << SIGBUS) | (1u << SIGFPE) | (1u << SIGILL) | (1u << SIGSEGV) | (1u << SIGTRAP);

// What crash-time code reads: prepared at enabling, never freed.
struct CrashContext {
    BITCrashCoreLogWriter writer;
    char reportPath[PATH_MAX] = {};
    BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation previousPorts;
};

CrashContext& crashContext() {
    static auto* context = new CrashContext();
    return *context;
}

std::atomic<void*> callbackContext{nullptr};
std::atomic<void (*)(const siginfo_t*, ucontext_t*, void*)> handleSignalCallback{nullptr};

std::mutex& enableLock() {
    static auto* lock = new std::mutex();
    return *lock;
}
bool enabledOnce = false;

// Runs in signal context.
void callHandleSignal(const siginfo_t* info, ucontext_t* uap) {
    auto handleSignal = handleSignalCallback.load();
    if (handleSignal != nullptr) {
        handleSignal(info, uap, callbackContext.load());
    }
}

// Runs in signal context, on the crashed thread.
bool bsdCrashCallback(int signal, siginfo_t* info, ucontext_t* uap, void* context,
                      const BITCrashCoreSignalHandlerNext*) {
    // A fault inside the reporter from here on ends the process.
    for (int watched : kWatchedSignals) {
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(watched, &fallback, nullptr);
    }
    auto* crash = static_cast<CrashContext*>(context);
    BITCrashCoreThreadState state;
    state.initWithMachineContext(*uap);
    BITCrashCoreSignalInfo signalInfo;
    signalInfo.signal = signal;
    signalInfo.code = info->si_code;
    signalInfo.address = reinterpret_cast<uint64_t>(info->si_addr);
    int result = crash->writer.writeReportToPath(crash->reportPath, BITCrashCoreCurrentThread(),
                                                 &BITCrashCoreAsyncImageList::sharedList(),
                                                 signalInfo, &state);
    if (result == BITCrashCoreESuccess) {
        callHandleSignal(info, uap);
    }
    return false;
}

struct ServerWrite {
    CrashContext* crash;
    BITCrashCoreMachExceptionMessage* message;
    const BITCrashCoreSignalInfo* signal;
    const BITCrashCoreThreadState* crashedState;
};

// Runs on the exception server's thread, with its own state captured.
int writeFromServer(BITCrashCoreThreadState* serverState, void* context) {
    auto* write = static_cast<ServerWrite*>(context);
    return write->crash->writer.writeReportToPath(write->crash->reportPath, write->message->thread,
                                                  &BITCrashCoreAsyncImageList::sharedList(),
                                                  *write->signal, serverState, write->crashedState);
}

// Runs on the exception server's thread while the faulting thread waits.
int machCrashCallback(BITCrashCoreMachExceptionMessage* message, void* context) {
    auto* crash = static_cast<CrashContext*>(context);
    if (BITCrashCoreMachExceptionServer::forward(message, crash->previousPorts) ==
        BITCrashCoreKernSuccess) {
        return BITCrashCoreKernSuccess;
    }
    BITCrashCoreSignalInfo signalInfo;
    signalInfo.signal = message->signal;
    signalInfo.code = message->info->si_code;
    signalInfo.address = reinterpret_cast<uint64_t>(message->info->si_addr);
    BITCrashCoreThreadState crashedState;
    crashedState.initWithMachineContext(*message->context);
    ServerWrite write = {crash, message, &signalInfo, &crashedState};
    if (BITCrashCoreThreadState::captureCurrent(writeFromServer, &write) != BITCrashCoreESuccess) {
        return BITCrashCoreKernFailure;
    }
    callHandleSignal(message->info, message->context);
    return BITCrashCoreKernFailure;
}

// Records the exception for the report, then ends the process: the SIGABRT
// path writes the report with the exception in it.
void uncaughtExceptionHandler(const BITCrashCoreUncaughtException& exception) {
    std::vector<uintptr_t> frames;
    for (uint64_t address : exception.callStackReturnAddresses()) {
        frames.push_back(static_cast<uintptr_t>(address));
    }
    crashContext().writer.setException(exception.name(), exception.reason(), std::move(frames));
    abort();
}

std::string processName() {
    return program_invocation_short_name != nullptr ? program_invocation_short_name : "";
}

std::string temporaryDirectory() {
    const char* directory = getenv("TMPDIR");
    return directory != nullptr && directory[0] != 0 ? directory : "/tmp";
}

struct LiveWrite {
    BITCrashCoreLogWriter* writer;
    BITCrashCoreFileWriter* file;
    const BITCrashCoreSignalInfo* signal;
};

int writeLiveReport(BITCrashCoreThreadState* state, void* context) {
    auto* live = static_cast<LiveWrite*>(context);
    return live->writer->write(BITCrashCoreCurrentThread(),
                               &BITCrashCoreAsyncImageList::sharedList(), live->file, *live->signal,
                               state);
}

}  // namespace

BITCrashCoreReporter::BITCrashCoreReporter(
    std::string applicationIdentifier, std::string applicationVersion,
    std::optional<std::string> applicationMarketingVersion,
    std::shared_ptr<BITCrashCoreReporterConfig> configuration)
    : config_(configuration != nullptr ? std::move(configuration)
                                       : BITCrashCoreReporterConfig::defaultConfiguration()),
      applicationIdentifier_(std::move(applicationIdentifier)),
      applicationVersion_(std::move(applicationVersion)),
      applicationMarketingVersion_(std::move(applicationMarketingVersion)) {
    std::string folder = applicationIdentifier_;
    std::replace(folder.begin(), folder.end(), '/', '_');
    crashReportDirectory_ = NSSearchPathForDirectory(NSSearchPathDirectory::Caches) + "/" +
                            kReporterDataFolder + "/" + folder;
}

BITCrashCoreReporter::~BITCrashCoreReporter() = default;

std::shared_ptr<BITCrashCoreReporter> BITCrashCoreReporter::createWithBundleConfiguration(
    const std::shared_ptr<NSBundle>& bundle,
    std::shared_ptr<BITCrashCoreReporterConfig> configuration) {
    auto text = [&](const char* key) -> std::optional<std::string> {
        std::optional<Value> value =
            bundle != nullptr ? bundle->objectForInfoDictionaryKey(key) : std::nullopt;
        if (value && value->stringValue() != nullptr && !value->stringValue()->empty()) {
            return *value->stringValue();
        }
        return std::nullopt;
    };
    std::optional<std::string> identifier = text("CFBundleIdentifier");
    if (!identifier) {
        std::string name = processName();
        NSAssert(!name.empty(), kSourceFile,
                 "Can not determine process identifier or process name");
        NSLogWithLevel(NSLogLevel::Warning,
                       "[CrashCore] Warning -- bundle identifier, using process name %s",
                       name.c_str());
        identifier = name;
    }
    std::optional<std::string> version = text("CFBundleVersion");
    if (!version) {
        NSLogWithLevel(NSLogLevel::Warning, "[CrashCore] Warning -- bundle version unavailable");
    }
    return std::make_shared<BITCrashCoreReporter>(*identifier, version.value_or(""),
                                                  text("CFBundleShortVersionString"),
                                                  std::move(configuration));
}

std::shared_ptr<BITCrashCoreReporter> BITCrashCoreReporter::createWithConfiguration(
    std::shared_ptr<BITCrashCoreReporterConfig> configuration) {
    return createWithBundleConfiguration(NSBundle::mainBundle(), std::move(configuration));
}

std::shared_ptr<BITCrashCoreReporter> BITCrashCoreReporter::sharedReporter() {
    static std::shared_ptr<BITCrashCoreReporter> shared = createWithConfiguration();
    return shared;
}

std::string BITCrashCoreReporter::queuedCrashReportDirectory() const {
    return crashReportDirectory_ + "/" + kQueuedReportsFolder;
}

std::string BITCrashCoreReporter::crashReportPath() const {
    return crashReportDirectory_ + "/" + kReportFileName;
}

bool BITCrashCoreReporter::populateCrashReportDirectoryAndReturnError(NSError* error) const {
    auto fileManager = NSFileManager::defaultManager();
    for (const std::string& directory : {crashReportDirectory_, queuedCrashReportDirectory()}) {
        if (fileManager->fileExistsAtPath(directory)) {
            continue;
        }
        if (!fileManager->createDirectoryAtPathWithIntermediateDirectories(directory, true,
                                                                           error)) {
            return false;
        }
        chmod(directory.c_str(), 0755);
    }
    return true;
}

bool BITCrashCoreReporter::hasPendingCrashReport() const {
    return NSFileManager::defaultManager()->fileExistsAtPath(crashReportPath());
}

std::optional<Value::Data> BITCrashCoreReporter::loadPendingCrashReportDataAndReturnError(
    NSError* error) const {
    // A report never exceeds the writer's cap; anything larger is not ours.
    return dataWithContentsOfFile(crashReportPath(), error, BITCrashCoreFileWriter::reportSizeCap);
}

std::optional<Value::Data> BITCrashCoreReporter::loadPendingCrashReportData() const {
    return loadPendingCrashReportDataAndReturnError(nullptr);
}

bool BITCrashCoreReporter::purgePendingCrashReport() const {
    return purgePendingCrashReportAndReturnError(nullptr);
}

bool BITCrashCoreReporter::purgePendingCrashReportAndReturnError(NSError* error) const {
    return NSFileManager::defaultManager()->removeItemAtPath(crashReportPath(), error);
}

bool BITCrashCoreReporter::enableCrashReporter() {
    return enableCrashReporterAndReturnError(nullptr);
}

bool BITCrashCoreReporter::enableCrashReporterAndReturnError(NSError* error) {
    {
        std::lock_guard<std::mutex> guard(enableLock());
        if (enabledOnce) {
            BITCrashCoreSetError(error, BITCrashCoreErrorResourceBusy,
                                 "A crash reporter instance has already been enabled");
            return false;
        }
        enabledOnce = true;
    }
    NSAssert(!enabled_, kSourceFile, "The crash reporter has alread been enabled");
    if (!populateCrashReportDirectoryAndReturnError(error)) {
        return false;
    }
    CrashContext& crash = crashContext();
    std::string path = crashReportPath();
    if (path.size() >= sizeof(crash.reportPath)) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Crash report path is too long", ENAMETOOLONG);
        return false;
    }
    BITCrashCoreStrlcpy(crash.reportPath, path.c_str(), sizeof(crash.reportPath));
    crash.writer.prepare(applicationIdentifier_, applicationVersion_, applicationMarketingVersion_,
                         mapToAsyncSymbolicationStrategy(config_->symbolicationStrategy()), false);
    // Made now: crash-time code only reads it.
    BITCrashCoreAsyncImageList::sharedList();

    BITCrashCoreSignalHandler& handler = BITCrashCoreSignalHandler::sharedHandler();
    if (config_->signalHandlerType() == BITCrashCoreSignalHandlerTypeBSD) {
        for (int signal : kWatchedSignals) {
            if (!handler.registerHandlerForSignalCallbackContextError(signal, bsdCrashCallback,
                                                                      &crash, error)) {
                return false;
            }
        }
    } else if (config_->signalHandlerType() == BITCrashCoreSignalHandlerTypeMach) {
        if (!handler.registerHandlerForSignalCallbackContextError(SIGABRT, bsdCrashCallback, &crash,
                                                                  error)) {
            return false;
        }
        // The crash context outlives every server: the process never disables capture.
        std::shared_ptr<BITCrashCoreMachExceptionPortSet> previous;
        auto server = enableMachExceptionServerWithPreviousPortSetCallbackContextError(
            previous, machCrashCallback, &crash, error);
        if (server == nullptr) {
            return false;
        }
        machServer_ = std::move(server);
        previousMachPorts_ = std::move(previous);
        crash.previousPorts = previousMachPorts_ != nullptr
                                  ? previousMachPorts_->asyncSafeRepresentation()
                                  : BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation();
    }
    BITCrashCoreSetUncaughtExceptionHandler(uncaughtExceptionHandler);
    enabled_ = true;
    return true;
}

std::shared_ptr<BITCrashCoreMachExceptionServer>
BITCrashCoreReporter::enableMachExceptionServerWithPreviousPortSetCallbackContextError(
    std::shared_ptr<BITCrashCoreMachExceptionPortSet>& previousPortSet,
    BITCrashCoreMachExceptionCallback callback, void* context, NSError* error) {
    NSError underlying;
    auto wrap = [&](const char* text) -> std::shared_ptr<BITCrashCoreMachExceptionServer> {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem, text);
        if (error != nullptr) {
            error->userInfo[NSError::NSUnderlyingErrorKey] = Value::Dictionary{
                {"domain", underlying.domain},
                {"code", underlying.code},
                {NSError::NSLocalizedDescriptionKey, underlying.localizedDescription()}};
        }
        return nullptr;
    };
    auto server =
        BITCrashCoreMachExceptionServer::createWithCallBackContext(callback, context, &underlying);
    if (server == nullptr) {
        return wrap("Failed to instantiate the Mach exception server.");
    }
    auto port = server->exceptionPortWithMaskError(kExceptionMask, &underlying);
    if (port == nullptr) {
        return wrap("Failed to instantiate the Mach exception port.");
    }
    auto previous = port->registerForTaskPreviousPortSetError(&underlying);
    if (previous == nullptr) {
        return wrap("Failed to set the target task's mach exception ports.");
    }
    previousPortSet = std::move(previous);
    return server;
}

std::optional<Value::Data> BITCrashCoreReporter::generateLiveReportWithThread(int thread) {
    return generateLiveReportWithThreadError(thread, nullptr);
}

std::optional<Value::Data> BITCrashCoreReporter::generateLiveReportWithThreadError(int thread,
                                                                                   NSError* error) {
    std::string path = temporaryDirectory() + "/" + kLiveReportTemplate;
    std::vector<char> pathBuffer(path.begin(), path.end());
    pathBuffer.push_back(0);
    int fd = mkstemp(pathBuffer.data());
    if (fd < 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             NSLocalizedString("Failed to create temporary path"), errno);
        return std::nullopt;
    }
    auto writer = std::make_unique<BITCrashCoreLogWriter>();
    writer->prepare(applicationIdentifier_, applicationVersion_, applicationMarketingVersion_,
                    mapToAsyncSymbolicationStrategy(config_->symbolicationStrategy()), true);
    BITCrashCoreFileWriter file;
    file.initWithDescriptor(fd, BITCrashCoreFileWriter::reportSizeCap);
    BITCrashCoreSignalInfo signal;
    signal.signal = SIGTRAP;
    signal.code = 2;  // TRAP_TRACE
    signal.address = reinterpret_cast<uint64_t>(__builtin_return_address(0));
    int result;
    if (thread != BITCrashCoreCurrentThread()) {
        result = writer->write(thread, &BITCrashCoreAsyncImageList::sharedList(), &file, signal,
                               nullptr);
    } else {
        LiveWrite live = {writer.get(), &file, &signal};
        result = BITCrashCoreThreadState::captureCurrent(writeLiveReport, &live);
    }
    writer->close();
    bool closed = file.close();
    std::optional<Value::Data> data;
    if (result != BITCrashCoreESuccess || !closed) {
        NSLogWithLevel(
            NSLogLevel::Error, "Write failed with error %s",
            BITCrashCoreStrError(result != BITCrashCoreESuccess ? result : BITCrashCoreEOutput));
        BITCrashCoreSetError(error, BITCrashCoreErrorUnknown,
                             "Failed to write the crash report to disk");
    } else {
        NSError readError;
        data = dataWithContentsOfFile(pathBuffer.data(), &readError);
        if (!data) {
            BITCrashCoreSetError(error, BITCrashCoreErrorUnknown,
                                 NSLocalizedString("Unable to open live crash report for reading"));
        }
    }
    if (unlink(pathBuffer.data()) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Failure occured deleting live crash report: %s",
                       strerror(errno));
    }
    return data;
}

std::optional<Value::Data> BITCrashCoreReporter::generateLiveReport() {
    return generateLiveReportAndReturnError(nullptr);
}

std::optional<Value::Data> BITCrashCoreReporter::generateLiveReportAndReturnError(NSError* error) {
    return generateLiveReportWithThreadError(BITCrashCoreCurrentThread(), error);
}

void BITCrashCoreReporter::setCrashCallbacks(const BITCrashCoreReporterCallbacks& callbacks) {
    NSAssert(!enabled_, kSourceFile, "The crash reporter has alread been enabled");
    NSAssert(callbacks.version == 0, kSourceFile, "Unsupported crash callbacks version %u",
             callbacks.version);
    callbackContext.store(callbacks.context);
    handleSignalCallback.store(callbacks.handleSignal);
}
