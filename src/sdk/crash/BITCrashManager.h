#pragma once

#include <signal.h>
#include <ucontext.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/Value.h"
#include "Net/NSURLRequest.h"
#include "UIKit/UIAlertView.h"
#include "sdk/BITZizavaBaseManager.h"
#include "sdk/crash/BITCrashCoreUncaughtException.h"
#include "sdk/crash/BITCrashDetails.h"
#include "sdk/crash/BITCrashManagerDelegate.h"
#include "sdk/crash/BITCrashMetaData.h"

class BITCrashCoreReport;
class BITCrashCoreReporter;
class BITZizavaAppClient;
class BITZizavaAttachment;
class BITZizavaManager;

enum BITCrashManagerStatus : long {
    BITCrashManagerStatusDisabled = 0,
    BITCrashManagerStatusAsk = 1,
    BITCrashManagerStatusAutoSend = 2,
};

enum BITCrashManagerUserInput : long {
    BITCrashManagerUserInputDontSend = 0,
    BITCrashManagerUserInputSend = 1,
    BITCrashManagerUserInputAlwaysSend = 2,
};

// The host's own crash-time function, called after the report was written.
struct BITCrashManagerCallbacks {
    void* context = nullptr;
    void (*handleSignal)(void* context) = nullptr;
};

inline constexpr const char* BITCrashReporterErrorDomain = "BITCrashReporterErrorDomain";

// The crash-time callback: writes the pending telemetry lines to the file
// named by bit_setTelemetryCrashFilePath, then calls the host's function.
// Async-signal-safe.
void bit_saveEventsCrashCallback(const siginfo_t* info, ucontext_t* uap, void* context);
// Keeps a copy of the path for the crash-time callback.
void bit_setTelemetryCrashFilePath(const std::string& path);

// Arms crash capture at launch; at the next launch turns what was captured
// (or an unclean end of the session) into report files in the SDK settings
// folder, asks the user, and uploads each report as XML in a multipart POST.
// Main thread only, except the crash-time callback.
class BITCrashManager : public BITZizavaBaseManager, public UIAlertViewDelegate {
  public:
    BITCrashManager(std::string appIdentifier, BITAppEnvironment appEnvironment,
                    std::shared_ptr<BITZizavaAppClient> zizavaAppClient);
    ~BITCrashManager() override;

    // Makes the front create this manager.
    static void registerComponent();

    // Construction, start and settings.
    void startManager() override;
    void setServerURL(std::string serverURL) override;
    BITCrashManagerStatus crashManagerStatus() const { return crashManagerStatus_; }
    void setCrashManagerStatus(BITCrashManagerStatus status);
    void setCrashManagerDelegate(std::weak_ptr<BITCrashManagerDelegate> delegate) {
        crashDelegate_ = std::move(delegate);
    }
    // The delegate set here, else the front's delegate when it answers crash questions.
    std::shared_ptr<BITCrashManagerDelegate> crashManagerDelegate() const;
    void setCrashCallbacks(const BITCrashManagerCallbacks* callbacks);
    const std::function<void()>& alertViewHandler() const { return alertViewHandler_; }
    void setAlertViewHandler(std::function<void()> handler) {
        alertViewHandler_ = std::move(handler);
    }
    bool isMachExceptionHandlerEnabled() const { return enableMachExceptionHandler_; }
    void setEnableMachExceptionHandler(bool enable) { enableMachExceptionHandler_ = enable; }
    bool isOnDeviceSymbolicationEnabled() const { return enableOnDeviceSymbolication_; }
    void setEnableOnDeviceSymbolication(bool enable) { enableOnDeviceSymbolication_ = enable; }
    bool isAppNotTerminatingCleanlyDetectionEnabled() const {
        return enableAppNotTerminatingCleanlyDetection_;
    }
    void setEnableAppNotTerminatingCleanlyDetection(bool enable) {
        enableAppNotTerminatingCleanlyDetection_ = enable;
    }
    bool shouldShowAlwaysButton() const { return showAlwaysButton_; }
    void setShowAlwaysButton(bool show) { showAlwaysButton_ = show; }
    bool didCrashInLastSession() const { return didCrashInLastSession_; }
    bool didReceiveMemoryWarningInLastSession() const {
        return didReceiveMemoryWarningInLastSession_;
    }
    const std::shared_ptr<BITCrashDetails>& lastSessionCrashDetails() const {
        return lastSessionCrashDetails_;
    }
    double timeIntervalCrashInLastSessionOccurred() const {
        return timeIntervalCrashInLastSessionOccurred_;
    }
    double timeintervalCrashInLastSessionOccured() const {
        return timeIntervalCrashInLastSessionOccurred_;
    }
    const std::shared_ptr<BITZizavaAppClient>& zizavaAppClient() const { return zizavaAppClient_; }
    const std::string& crashesDir() const { return crashesDir_; }
    const std::vector<std::string>& crashFiles() const { return crashFiles_; }
    const std::map<std::string, bool>& approvedCrashReports() const {
        return approvedCrashReports_;
    }
    const std::optional<std::string>& lastCrashFilename() const { return lastCrashFilename_; }
    bool sendingInProgress() const { return sendingInProgress_; }
    bool isSetup() const { return isSetup_; }
    bool didLogLowMemoryWarning() const { return didLogLowMemoryWarning_; }
    const std::string& settingsFile() const { return settingsFile_; }
    const std::string& analyzerInProgressFile() const { return analyzerInProgressFile_; }
    // The uncaught-exception handler in force right after capture was armed.
    BITCrashCoreUncaughtExceptionHandler exceptionHandler() const { return exceptionHandler_; }
    const std::shared_ptr<BITCrashCoreReporter>& crashCoreReporter() const {
        return crashCoreReporter_;
    }
    // Made when capture is armed; set by hand only where nothing is armed.
    void setCrashCoreReporter(std::shared_ptr<BITCrashCoreReporter> reporter) {
        crashCoreReporter_ = std::move(reporter);
    }
    // The consent alert while it is shown.
    std::shared_ptr<UIAlertView> consentAlert() const { return consentAlert_.lock(); }

    void saveSettings();
    void loadSettings();
    void registerObservers();
    void unregisterObservers();
    // Removes one observer and clears the token; an empty token is ignored.
    void unregisterObserver(std::shared_ptr<NSNotificationObserver>& observer);
    void leavingAppSafely();
    void appEnteredForeground();
    std::string deviceArchitecture() const;
    std::optional<std::string> osBuild() const;
    std::string userIDForCrashReport();
    std::string userNameForCrashReport();
    std::string userEmailForCrashReport();
    void configDefaultCrashCallback();
    bool isDebuggerAttached() const;
    void generateTestCrash();

    // Pending reports and their files.
    bool hasPendingCrashReport();
    void triggerDelayedProcessing();
    void handleCrashReport();
    void createCrashReportForAppKill();
    void storeMetaDataForCrashReportFilename(const std::string& filename);
    void cleanCrashReportWithFilename(const std::optional<std::string>& path);
    void cleanCrashReports();
    bool persistAttachmentWithFilename(const BITZizavaAttachment& attachment,
                                       const std::string& path);
    void persistUserProvidedMetaData(const BITCrashMetaData& metaData);
    std::shared_ptr<BITZizavaAttachment> attachmentForCrashReport(const std::string& path) const;
    static std::string extractAppUUIDs(const BITCrashCoreReport& report);
    // The name under which a report's companions and keychain items live:
    // the file name without the app-kill extension ".fake".
    static std::string reportBaseName(const std::string& filename);

    // Consent and upload.
    void invokeDelayedProcessing();
    std::optional<std::string> firstNotApprovedCrashReport() const;
    void approveLatestCrashReport();
    // The answer to the question about the report last asked about; false
    // for an unknown input or when no question is open.
    bool handleUserInputWithUserProvidedMetaData(BITCrashManagerUserInput input,
                                                 const std::optional<BITCrashMetaData>& metaData);
    void alertViewDidDismissWithButtonIndex(UIAlertView& alertView, long buttonIndex) override;
    void sendNextCrashReport();
    static Value::Data postBodyWithXMLAttachmentBoundary(const std::string& xml,
                                                         const BITZizavaAttachment* attachment,
                                                         const std::string& boundary);
    NSMutableURLRequest requestWithBoundary(const std::string& boundary) const;
    void sendCrashReportWithFilenameXmlAttachment(
        const std::string& path, const std::string& xml,
        const std::shared_ptr<BITZizavaAttachment>& attachment);
    void processUploadResultWithFilenameResponseDataStatusCodeError(
        const std::string& path, const std::optional<Value::Data>& responseData, long statusCode,
        const std::optional<NSError>& error);

  private:
    void arm();
    void recordRunningBuild();
    std::string keychainKey(const std::string& baseName, const char* suffix) const;
    std::string userValue(const char* keychainKey,
                          std::optional<std::string> (BITZizavaManagerDelegate::*question)(
                              BITZizavaManager&, BITZizavaBaseManager&));
    void askUser();
    // Builds and posts the report; false when it cannot be read.
    bool sendCrashReportWithFilename(const std::string& path);

    std::map<std::string, bool> approvedCrashReports_;
    std::vector<std::string> crashFiles_;
    std::optional<std::string> lastCrashFilename_;
    // The report the open consent question is about.
    std::optional<std::string> consentReportFilename_;
    std::string settingsFile_;
    std::string analyzerInProgressFile_;
    bool sendingInProgress_ = false;
    bool isSetup_ = false;
    bool didLogLowMemoryWarning_ = false;
    std::vector<std::shared_ptr<NSNotificationObserver>> observers_;
    bool enableMachExceptionHandler_ = false;
    bool enableOnDeviceSymbolication_ = false;
    bool enableAppNotTerminatingCleanlyDetection_ = false;
    bool showAlwaysButton_ = true;
    bool didCrashInLastSession_ = false;
    bool didReceiveMemoryWarningInLastSession_ = false;
    BITCrashManagerStatus crashManagerStatus_ = BITCrashManagerStatusAsk;
    std::shared_ptr<BITCrashDetails> lastSessionCrashDetails_;
    std::weak_ptr<BITCrashManagerDelegate> crashDelegate_;
    std::shared_ptr<BITZizavaAppClient> zizavaAppClient_;
    BITCrashCoreUncaughtExceptionHandler exceptionHandler_ = nullptr;
    std::shared_ptr<BITCrashCoreReporter> crashCoreReporter_;
    std::function<void()> alertViewHandler_;
    std::weak_ptr<UIAlertView> consentAlert_;
    std::string crashesDir_;
    double timeIntervalCrashInLastSessionOccurred_ = -1;
    // Each trigger replaces the delayed run scheduled before it.
    unsigned processingGeneration_ = 0;
};
