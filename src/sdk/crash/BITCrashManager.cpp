#include "sdk/crash/BITCrashManager.h"

#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITChannel.h"
#include "sdk/BITMetricsManager.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITZizavaAppClient.h"
#include "sdk/BITZizavaDevice.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/crash/BITCrashCXXExceptionWrapperException.h"
#include "sdk/crash/BITCrashCoreReporter.h"
#include "sdk/crash/BITCrashReportXML.h"
#include "sdk/crash/BITCrashUncaughtCXXExceptionHandlerManager.h"

namespace {

constexpr const char* kStatusKey = "BITCrashManagerStatus";
constexpr const char* kAutoSendKey = "BITCrashAutomaticallySendReports";
constexpr const char* kWentIntoBackgroundSafelyKey = "BITAppWentIntoBackgroundSafely";
constexpr const char* kLowMemoryKey = "BITAppDidReceiveLowMemoryNotification";
constexpr const char* kApprovedReportsKey = "ZizavaSDKCrashApprovedReports";

std::shared_ptr<NSUserDefaults> defaults() {
    return NSUserDefaults::standardUserDefaults();
}

// What the crash-time callback uses, prepared before any crash: a heap copy
// of the telemetry file's path and the host's function.
struct CrashTimeState {
    std::atomic<char*> telemetryPath = nullptr;
    std::atomic<void*> hostContext = nullptr;
    std::atomic<void (*)(void*)> hostHandler = nullptr;
};

CrashTimeState& crashTimeState() {
    static CrashTimeState state;
    return state;
}

BITCrashCoreReporterCallbacks& reporterCallbacks() {
    static BITCrashCoreReporterCallbacks callbacks{0, nullptr, bit_saveEventsCrashCallback};
    return callbacks;
}

// An uncaught C++ exception goes to the process's uncaught-exception handler,
// which records it; then the process ends.
void uncaughtCXXExceptionHandler(const BITCrashUncaughtCXXExceptionInfo* info) {
    BITCrashCXXExceptionWrapperException wrapper(*info);
    if (const auto handler = BITCrashCoreGetUncaughtExceptionHandler())
        handler(wrapper);
    abort();
}

}  // namespace

// Runs inside the signal handler: only open, write and close on data made
// before the crash. The file is opened only when there is something to write,
// so no empty telemetry file is left behind, and a short write goes on with
// the rest.
void bit_saveEventsCrashCallback(const siginfo_t*, ucontext_t*, void* context) {
    const char* buffer = bit_telemetryEventBuffer.load();
    const char* path = crashTimeState().telemetryPath.load();
    if (buffer && path) {
        const size_t length = strlen(buffer);
        if (length > 0) {
            const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                size_t written = 0;
                while (written < length) {
                    const ssize_t n = write(fd, buffer + written, length - written);
                    if (n > 0)
                        written += static_cast<size_t>(n);
                    else if (n < 0 && errno == EINTR)
                        continue;
                    else
                        break;
                }
                close(fd);
            }
        }
    }
    if (const auto handler = crashTimeState().hostHandler.load())
        handler(context);
}

void bit_setTelemetryCrashFilePath(const std::string& path) {
    // The old copy stays: a crash on another thread may be reading it.
    crashTimeState().telemetryPath.store(strdup(path.c_str()));
}

BITCrashManager::BITCrashManager(std::string appIdentifier, BITAppEnvironment appEnvironment,
                                 std::shared_ptr<BITZizavaAppClient> zizavaAppClient)
    : BITZizavaBaseManager(std::move(appIdentifier), appEnvironment),
      zizavaAppClient_(std::move(zizavaAppClient)) {
    const auto stored = defaults()->objectForKey(kStatusKey);
    if (!stored) {
        crashManagerStatus_ = BITCrashManagerStatusAsk;
        if (defaults()->boolForKey(kAutoSendKey)) {
            crashManagerStatus_ = BITCrashManagerStatusAutoSend;
            defaults()->removeObjectForKey(kAutoSendKey);
        }
        defaults()->setIntegerForKey(crashManagerStatus_, kStatusKey);
    } else {
        crashManagerStatus_ =
            static_cast<BITCrashManagerStatus>(stored->integerValue().value_or(1));
    }
    crashesDir_ = bit_settingsDir();
    settingsFile_ = crashesDir_ + "/BITCrashManager.plist";
    analyzerInProgressFile_ = crashesDir_ + "/BITCrashManager.analyzer";
    if (!bit_resourceBundle() && !bit_isRunningInAppExtension())
        BITZizavaLogWarning("[ZizavaSDK] WARNING: %s is missing, will send reports automatically!",
                            "ZizavaSDKResources.bundle");
}

BITCrashManager::~BITCrashManager() {
    unregisterObservers();
}

void BITCrashManager::registerComponent() {
    BITZizavaManager::registerComponentFactory(
        BITZizavaComponent::CrashManager,
        [](const std::string& appIdentifier, BITAppEnvironment appEnvironment,
           BITZizavaManager& front) {
            return std::make_shared<BITCrashManager>(appIdentifier, appEnvironment,
                                                     front.zizavaAppClient());
        });
}

std::shared_ptr<BITCrashManagerDelegate> BITCrashManager::crashManagerDelegate() const {
    if (const auto own = crashDelegate_.lock())
        return own;
    return std::dynamic_pointer_cast<BITCrashManagerDelegate>(delegate());
}

void BITCrashManager::setCrashManagerStatus(BITCrashManagerStatus status) {
    crashManagerStatus_ = status;
    defaults()->setIntegerForKey(status, kStatusKey);
}

void BITCrashManager::setServerURL(std::string serverURL) {
    if (serverURL == this->serverURL())
        return;
    BITZizavaBaseManager::setServerURL(serverURL);
    if (const auto url = NSURL::URLWithString(serverURL))
        zizavaAppClient_ = std::make_shared<BITZizavaAppClient>(*url);
}

void BITCrashManager::saveSettings() {
    Value::Dictionary root;
    if (!approvedCrashReports_.empty()) {
        Value::Dictionary approved;
        for (const auto& [path, yes] : approvedCrashReports_)
            approved[path] = Value(yes);
        root[kApprovedReportsKey] = Value(std::move(approved));
    }
    NSError error;
    const auto data = NSPropertyListSerialization::dataWithPropertyList(
        Value(std::move(root)), NSPropertyListSerialization::Format::Binary, &error);
    if (!data) {
        BITZizavaLogError("ERROR: Writing settings. %s", error.description().c_str());
        return;
    }
    NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectories(crashesDir_,
                                                                                      true);
    NSPropertyListSerialization::writePropertyListToFile(
        *NSPropertyListSerialization::propertyListWithData(*data), settingsFile_,
        NSPropertyListSerialization::Format::Binary);
}

void BITCrashManager::loadSettings() {
    if (!NSFileManager::defaultManager()->fileExistsAtPath(settingsFile_))
        return;
    const auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(settingsFile_);
    const Value::Dictionary* root = plist ? plist->dictionaryValue() : nullptr;
    if (!root) {
        BITZizavaLogError("ERROR: Reading crash manager settings.");
        return;
    }
    const auto found = root->find(kApprovedReportsKey);
    if (found == root->end() || !found->second.dictionaryValue())
        return;
    approvedCrashReports_.clear();
    for (const auto& [path, value] : *found->second.dictionaryValue())
        approvedCrashReports_[path] = value.boolValue().value_or(false);
}

void BITCrashManager::startManager() {
    if (crashManagerStatus_ == BITCrashManagerStatusDisabled)
        return;
    registerObservers();
    loadSettings();
    if (!isSetup_) {
        // Capture is armed once per process, whichever manager gets there first.
        static std::once_flag armed;
        bool armedHere = false;
        std::call_once(armed, [&] { armedHere = true; });
        if (armedHere)
            arm();
        isSetup_ = true;
    }
    if (const auto lowMemory = defaults()->objectForKey(kLowMemoryKey))
        didReceiveMemoryWarningInLastSession_ = lowMemory->boolValue().value_or(false);
    const auto wentSafely = defaults()->objectForKey(kWentIntoBackgroundSafelyKey);
    if (!didCrashInLastSession_ && enableAppNotTerminatingCleanlyDetection_ && wentSafely &&
        !wentSafely->boolValue().value_or(true)) {
        const auto delegate = crashManagerDelegate();
        const auto consider =
            delegate ? delegate->considerAppNotTerminatedCleanlyReportForCrashManager(*this)
                     : std::nullopt;
        if (consider.value_or(true)) {
            BITZizavaLogVerbose("INFO: App kill detected, creating crash report.");
            createCrashReportForAppKill();
            didCrashInLastSession_ = true;
        }
    }
    if (UIApplication::sharedApplication()->applicationState() == UIApplicationStateActive)
        appEnteredForeground();
    defaults()->setBoolForKey(false, kLowMemoryKey);
    triggerDelayedProcessing();
    BITZizavaLogVerbose("VERBOSE: CrashManager startManager has finished.");
}

void BITCrashManager::arm() {
    const auto config = std::make_shared<BITCrashCoreReporterConfig>(
        enableMachExceptionHandler_ ? BITCrashCoreSignalHandlerTypeMach
                                    : BITCrashCoreSignalHandlerTypeBSD,
        enableOnDeviceSymbolication_ ? 3u : 0u);
    crashCoreReporter_ = BITCrashCoreReporter::createWithConfiguration(config);
    if (crashCoreReporter_->hasPendingCrashReport()) {
        didCrashInLastSession_ = true;
        handleCrashReport();
    }
    if (appEnvironment() != BITAppEnvironmentAppStore && isDebuggerAttached()) {
        BITZizavaLogWarning(
            "[ZizavaSDK] WARNING: Detecting crashes is NOT enabled due to running the app with a "
            "debugger attached.");
        return;
    }
    const auto initialHandler = BITCrashCoreGetUncaughtExceptionHandler();
    configDefaultCrashCallback();
    crashCoreReporter_->setCrashCallbacks(reporterCallbacks());
    NSError error;
    if (!crashCoreReporter_->enableCrashReporterAndReturnError(&error))
        BITZizavaLogError("[ZizavaSDK] ERROR: Could not enable crash reporter: %s",
                          error.localizedDescription().c_str());
    const auto currentHandler = BITCrashCoreGetUncaughtExceptionHandler();
    if (currentHandler && currentHandler != initialHandler) {
        exceptionHandler_ = currentHandler;
        BITZizavaLogDebug("INFO: Exception handler successfully initialized.");
    } else {
        BITZizavaLogError(
            "[ZizavaSDK] ERROR: Exception handler could not be set. Make sure there is no other "
            "exception handler set up!");
    }
    BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(uncaughtCXXExceptionHandler);
}

void BITCrashManager::setCrashCallbacks(const BITCrashManagerCallbacks* callbacks) {
    if (!callbacks)
        return;
    if (isSetup_)
        BITZizavaLogWarning(
            "WARNING: CrashCallbacks need to be configured before calling "
            "startManager!");
    crashTimeState().hostContext = callbacks->context;
    crashTimeState().hostHandler = callbacks->handleSignal;
    reporterCallbacks().context = callbacks->context;
}

void BITCrashManager::configDefaultCrashCallback() {
    const auto front = BITZizavaManager::sharedZizavaManager();
    const auto metrics = std::dynamic_pointer_cast<BITMetricsManager>(front->metricsManager());
    if (!metrics)
        return;
    bit_setTelemetryCrashFilePath(metrics->persistence()->fileURLForType(0));
}

void BITCrashManager::registerObservers() {
    if (!observers_.empty())
        return;
    const auto center = NSNotificationCenter::defaultCenter();
    const auto mainQueue = DispatchQueue::main()->scheduler();
    std::weak_ptr<BITCrashManager> weakSelf =
        std::static_pointer_cast<BITCrashManager>(shared_from_this());
    const auto observe = [&](const char* name, void (BITCrashManager::*action)()) {
        observers_.push_back(center->addObserverForName(name, nullptr, mainQueue,
                                                        [weakSelf, action](const NSNotification&) {
                                                            if (const auto self = weakSelf.lock())
                                                                ((*self).*action)();
                                                        }));
    };
    observe(UIApplicationDidBecomeActiveNotification, &BITCrashManager::triggerDelayedProcessing);
    observe(BITZizavaNetworkDidBecomeReachableNotification,
            &BITCrashManager::triggerDelayedProcessing);
    observe(UIApplicationWillTerminateNotification, &BITCrashManager::leavingAppSafely);
    observe(UIApplicationDidEnterBackgroundNotification, &BITCrashManager::leavingAppSafely);
    observe(UIApplicationWillEnterForegroundNotification, &BITCrashManager::appEnteredForeground);
    observers_.push_back(
        center->addObserverForName(UIApplicationDidReceiveMemoryWarningNotification, nullptr,
                                   mainQueue, [weakSelf](const NSNotification&) {
                                       const auto self = weakSelf.lock();
                                       if (!self || self->didLogLowMemoryWarning_)
                                           return;
                                       defaults()->setBoolForKey(true, kLowMemoryKey);
                                       self->didLogLowMemoryWarning_ = true;
                                   }));
}

void BITCrashManager::unregisterObservers() {
    for (auto& observer : observers_)
        unregisterObserver(observer);
    observers_.clear();
}

void BITCrashManager::unregisterObserver(std::shared_ptr<NSNotificationObserver>& observer) {
    if (!observer)
        return;
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    observer.reset();
}

void BITCrashManager::leavingAppSafely() {
    if (enableAppNotTerminatingCleanlyDetection_)
        defaults()->setBoolForKey(true, kWentIntoBackgroundSafelyKey);
}

void BITCrashManager::appEnteredForeground() {
    if (isDebuggerAttached()) {
        defaults()->setBoolForKey(true, kWentIntoBackgroundSafelyKey);
        return;
    }
    if (!enableAppNotTerminatingCleanlyDetection_)
        return;
    defaults()->setBoolForKey(false, kWentIntoBackgroundSafelyKey);
    static std::once_flag recorded;
    std::call_once(recorded, [this] { recordRunningBuild(); });
}

void BITCrashManager::recordRunningBuild() {
    if (const auto marketing = bit_mainBundleInfoString("CFBundleShortVersionString"))
        defaults()->setObjectForKey(Value(*marketing), "BITAppMarketingVersion");
    if (const auto version = bit_mainBundleInfoString("CFBundleVersion"))
        defaults()->setObjectForKey(Value(*version), "BITAppVersion");
    defaults()->setObjectForKey(Value(bit_osVersion()), "BITAppOSVersion");
    if (const auto build = osBuild())
        defaults()->setObjectForKey(Value(*build), "BITAppOSBuild");
    defaults()->setObjectForKey(
        Value(bit_crashUUIDElement("app", deviceArchitecture(), executableUUID())), "BITAppUUIDs");
}

std::string BITCrashManager::deviceArchitecture() const {
    utsname names{};
    return uname(&names) == 0 && names.machine[0] ? names.machine : "???";
}

std::optional<std::string> BITCrashManager::osBuild() const {
    utsname names{};
    if (uname(&names) != 0)
        return std::nullopt;
    return std::string(names.version);
}

std::string BITCrashManager::userValue(
    const char* keychainKey,
    std::optional<std::string> (BITZizavaManagerDelegate::*question)(BITZizavaManager&,
                                                                     BITZizavaBaseManager&)) {
    std::optional<std::string> value = stringValueFromKeychainForKey(std::string(keychainKey));
    const auto front = BITZizavaManager::sharedZizavaManager();
    if (const auto delegate = front->delegate()) {
        if (auto answer = ((*delegate).*question)(*front, *this))
            value = std::move(answer);
    }
    return value.value_or("");
}

std::string BITCrashManager::userIDForCrashReport() {
    return userValue("BITZizavaMetaUserID",
                     &BITZizavaManagerDelegate::userIDForZizavaManagerComponentManager);
}

std::string BITCrashManager::userNameForCrashReport() {
    return userValue("BITZizavaMetaUserName",
                     &BITZizavaManagerDelegate::userNameForZizavaManagerComponentManager);
}

std::string BITCrashManager::userEmailForCrashReport() {
    return userValue("BITZizavaMetaUserEmail",
                     &BITZizavaManagerDelegate::userEmailForZizavaManagerComponentManager);
}

bool BITCrashManager::isDebuggerAttached() const {
    return bit_isDebuggerAttached();
}

void BITCrashManager::generateTestCrash() {
    if (appEnvironment() == BITAppEnvironmentAppStore)
        return;
    if (isDebuggerAttached())
        BITZizavaLogWarning(
            "[ZizavaSDK] WARNING: The debugger is attached. The following crash cannot be "
            "detected by the SDK!");
    __builtin_trap();
}

bool BITCrashManager::hasPendingCrashReport() {
    if (crashManagerStatus_ == BITCrashManagerStatusDisabled)
        return false;
    const auto fileManager = NSFileManager::defaultManager();
    if (const auto entries = fileManager->contentsOfDirectoryAtPath(crashesDir_)) {
        for (const std::string& entry : *entries) {
            const std::string path = crashesDir_ + "/" + entry;
            const auto attributes = fileManager->attributesOfItemAtPath(path);
            if (!attributes || attributes->isDirectory || attributes->fileSize < 1)
                continue;
            bool excluded = false;
            for (const char* suffix :
                 {".DS_Store", ".analyzer", ".plist", ".data", ".meta", ".desc"})
                excluded = excluded || entry.ends_with(suffix);
            if (excluded)
                continue;
            if (std::find(crashFiles_.begin(), crashFiles_.end(), path) == crashFiles_.end())
                crashFiles_.push_back(path);
        }
    }
    if (!crashFiles_.empty()) {
        BITZizavaLogDebug("INFO: %lu pending crash reports found.",
                          static_cast<unsigned long>(crashFiles_.size()));
        return true;
    }
    if (didCrashInLastSession_) {
        if (const auto delegate = crashManagerDelegate())
            delegate->crashManagerWillCancelSendingCrashReport(*this);
        didCrashInLastSession_ = false;
    }
    return false;
}

void BITCrashManager::triggerDelayedProcessing() {
    BITZizavaLogVerbose("VERBOSE: Triggering delayed crash processing.");
    const unsigned generation = ++processingGeneration_;
    std::weak_ptr<BITCrashManager> weakSelf =
        std::static_pointer_cast<BITCrashManager>(shared_from_this());
    DispatchQueue::main()->after(0.5, [weakSelf, generation] {
        const auto self = weakSelf.lock();
        if (self && self->processingGeneration_ == generation)
            self->invokeDelayedProcessing();
    });
}
