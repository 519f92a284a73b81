#pragma once

#include <signal.h>
#include <ucontext.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSBundle.h"
#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "sdk/crash/BITCrashCoreMachExceptionServer.h"
#include "sdk/crash/BITCrashCoreReporterConfig.h"

// Called at a crash after its report was written. Runs in signal context (or
// on the exception server's thread).
struct BITCrashCoreReporterCallbacks {
    uint16_t version = 0;  // 0, the only version
    void* context = nullptr;
    void (*handleSignal)(const siginfo_t* info, ucontext_t* uap, void* context) = nullptr;
};

// The one object through which the SDK uses crash capture: it finds, loads
// and purges the report the last run left, and enables capture (once per
// process). At a crash the report goes to crashReportPath(), where the next
// launch finds it.
class BITCrashCoreReporter {
  public:
    BITCrashCoreReporter(std::string applicationIdentifier, std::string applicationVersion,
                         std::optional<std::string> applicationMarketingVersion,
                         std::shared_ptr<BITCrashCoreReporterConfig> configuration);
    // Identifier, "CFBundleVersion" and "CFBundleShortVersionString" of the
    // bundle; without an identifier the process name stands in (logged),
    // without a version "" (logged).
    static std::shared_ptr<BITCrashCoreReporter> createWithBundleConfiguration(
        const std::shared_ptr<NSBundle>& bundle,
        std::shared_ptr<BITCrashCoreReporterConfig> configuration);
    // The main bundle; the default configuration when none is given.
    static std::shared_ptr<BITCrashCoreReporter> createWithConfiguration(
        std::shared_ptr<BITCrashCoreReporterConfig> configuration = nullptr);
    // Made once, with the main bundle and the default configuration.
    static std::shared_ptr<BITCrashCoreReporter> sharedReporter();
    ~BITCrashCoreReporter();

    static uint32_t mapToAsyncSymbolicationStrategy(uint32_t strategy) { return strategy & 3; }

    // <Caches>/net.kelvara.crashcore/<identifier with "/" as "_">
    const std::string& crashReportDirectory() const { return crashReportDirectory_; }
    std::string queuedCrashReportDirectory() const;
    std::string crashReportPath() const;
    // Creates both directories (0755) when missing.
    bool populateCrashReportDirectoryAndReturnError(NSError* error) const;

    bool hasPendingCrashReport() const;
    std::optional<Value::Data> loadPendingCrashReportData() const;
    std::optional<Value::Data> loadPendingCrashReportDataAndReturnError(NSError* error) const;
    bool purgePendingCrashReport() const;
    bool purgePendingCrashReportAndReturnError(NSError* error) const;

    // Once per process, across all instances: a second enable fails with
    // code 3. Enabling the same instance twice is a programming error.
    bool enableCrashReporter();
    bool enableCrashReporterAndReturnError(NSError* error);
    bool enabled() const { return enabled_; }

    // A report of the running process for a thread (kernel thread id) or
    // the calling thread; nullopt with the error when it cannot be written.
    std::optional<Value::Data> generateLiveReportWithThread(int thread);
    std::optional<Value::Data> generateLiveReportWithThreadError(int thread, NSError* error);
    std::optional<Value::Data> generateLiveReport();
    std::optional<Value::Data> generateLiveReportAndReturnError(NSError* error);

    // Applies to every crash from now on; only before enabling.
    void setCrashCallbacks(const BITCrashCoreReporterCallbacks& callbacks);

    const std::string& applicationIdentifier() const { return applicationIdentifier_; }
    const std::string& applicationVersion() const { return applicationVersion_; }
    const std::optional<std::string>& applicationMarketingVersion() const {
        return applicationMarketingVersion_;
    }
    const BITCrashCoreReporterConfig& configuration() const { return *config_; }

  private:
    // Starts a server that runs callback with context for each fault and
    // registers it for the task; nullptr with the error of the failed step.
    static std::shared_ptr<BITCrashCoreMachExceptionServer>
    enableMachExceptionServerWithPreviousPortSetCallbackContextError(
        std::shared_ptr<BITCrashCoreMachExceptionPortSet>& previousPortSet,
        BITCrashCoreMachExceptionCallback callback, void* context, NSError* error);

    std::shared_ptr<BITCrashCoreReporterConfig> config_;
    bool enabled_ = false;
    std::shared_ptr<BITCrashCoreMachExceptionServer> machServer_;
    std::shared_ptr<BITCrashCoreMachExceptionPortSet> previousMachPorts_;
    std::string applicationIdentifier_;
    std::string applicationVersion_;
    std::optional<std::string> applicationMarketingVersion_;
    std::string crashReportDirectory_;
};
