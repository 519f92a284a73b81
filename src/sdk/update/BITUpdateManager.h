#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "Net/NSURLConnection.h"
#include "Net/NSURLRequest.h"
#include "Net/NSURLSession.h"
#include "UIKit/UIAlertView.h"
#include "sdk/BITZizavaBaseManager.h"
#include "sdk/update/BITAppVersionMetaInfo.h"

class BITUpdateManager;
class BITUpdateViewController;
class NSNotificationObserver;

// Hooks for the host; every method is optional.
class BITUpdateManagerDelegate {
  public:
    virtual ~BITUpdateManagerDelegate() = default;
    virtual std::optional<bool> updateManagerShouldSendUsageData(BITUpdateManager&) {
        return std::nullopt;
    }
    virtual std::optional<bool> shouldDisplayUpdateAlertForUpdateManagerForShortVersionForVersion(
        BITUpdateManager&, const std::string& /*shortVersion*/, const std::string& /*version*/) {
        return std::nullopt;
    }
    virtual void willStartDownloadAndUpdate(BITUpdateManager&) {}
    virtual void updateManagerWillExitApp(BITUpdateManager&) {}
};

// Told when an observable value of the manager changed: "checkInProgress",
// "updateAvailable" or "appVersions".
class BITUpdateManagerObserver {
  public:
    virtual ~BITUpdateManagerObserver() = default;
    virtual void updateManagerDidChangeValueForKey(BITUpdateManager&, const std::string& key) = 0;
};

enum BITUpdateSetting : long {
    BITUpdateCheckStartup = 0,
    BITUpdateCheckDaily = 1,
    BITUpdateCheckManually = 2,
};

inline constexpr const char* BITUpdaterErrorDomain = "BITUpdaterErrorDomain";
enum BITUpdaterError : long {
    BITUpdateAPIServerReturnedInvalidStatus = 1,
    BITUpdateAPIServerReturnedInvalidData = 2,
    BITUpdateAPIServerReturnedEmptyResponse = 3,
    BITUpdateAPIClientCannotCreateConnection = 5,
};

// Tells testers of a build installed outside the store that the service
// holds a newer one, lists the builds on the update screen and opens the
// newest build's package. Each check reports how long the running build has
// been used. In store and beta-channel builds it sends and shows nothing.
//
// A check runs over a URL session with this manager as the session's
// delegate (over a URL connection with it as the connection's delegate where
// sessions are not supported). Only a 2xx reply holding a JSON object
// finishes a check, redirects are refused, replies are handled on the main
// queue, and the reply of a check that is no longer the current one is
// dropped.
class BITUpdateManager : public BITZizavaBaseManager,
                         public UIAlertViewDelegate,
                         public NSURLSessionDataDelegate,
                         public NSURLConnectionDataDelegate {
  public:
    // The alert tags.
    static constexpr long kUpdateAlertTag = 0;
    static constexpr long kMandatoryAlertTag = 2;

    BITUpdateManager(std::string appIdentifier, BITAppEnvironment appEnvironment);
    ~BITUpdateManager() override;

    // Lets the front create this manager.
    static void registerComponent();

    void startManager() override;
    void setDisableUpdateManager(bool disable) override;

    void checkForUpdate();
    // A check whose outcome (an error, or that there is no update) shows in an alert.
    void checkForUpdateShowFeedback(bool feedback);
    bool shouldCheckForUpdates() const;
    void checkUpdateAvailable();
    bool hasNewerMandatoryVersion() const;
    std::shared_ptr<BITAppVersionMetaInfo> newestAppVersion() const;
    // nullopt when the server URL makes no URL.
    std::optional<NSMutableURLRequest> requestForUpdateCheck() const;
    // The manifest of the newest build: "<server>api/2/apps/<id>/app_versions/<build
    // id>?format=plist".
    std::string manifestURLString() const;

    // Reads the newest build's manifest and opens its package's http(s) URL
    // with the desktop. Answers whether the install started; `done` hears
    // later whether the package was opened.
    bool initiateAppDownload(std::function<void(bool opened)> done = {});
    void showUpdateView();
    std::shared_ptr<UIViewController> zizavaViewController(bool modal);
    void showCheckForUpdateAlert();
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long buttonIndex) override;

    // On the main thread: the check's reply has come whole, or its transfer failed.
    void finishLoading();
    void handleError(const NSError& error);
    void reportError(const NSError& error);

    // The session transport. The response and the data come on the
    // session's own queue; the end goes on on the main queue.
    void URLSessionTaskWillPerformHTTPRedirectionNewRequestCompletionHandler(
        const std::shared_ptr<NSURLSession>& session, const std::shared_ptr<NSURLSessionTask>& task,
        const NSHTTPURLResponse& response, const NSURLRequest& request,
        std::function<void(std::optional<NSURLRequest>)> completionHandler) override;
    void URLSessionDataTaskDidReceiveResponseCompletionHandler(
        const std::shared_ptr<NSURLSession>& session,
        const std::shared_ptr<NSURLSessionDataTask>& dataTask, const NSHTTPURLResponse& response,
        std::function<void(NSURLSessionResponseDisposition)> completionHandler) override;
    void URLSessionDataTaskDidReceiveData(const std::shared_ptr<NSURLSession>& session,
                                          const std::shared_ptr<NSURLSessionDataTask>& dataTask,
                                          const Value::Data& data) override;
    void URLSessionTaskDidCompleteWithError(const std::shared_ptr<NSURLSession>& session,
                                            const std::shared_ptr<NSURLSessionTask>& task,
                                            const std::optional<NSError>& error) override;

    // The connection transport, on the main thread.
    std::optional<NSURLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<NSURLConnection>& connection, const NSURLRequest& request,
        const NSHTTPURLResponse& redirectResponse) override;
    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>& connection,
                                      const NSHTTPURLResponse& response) override;
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection,
                                  const Value::Data& data) override;
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>& connection,
                                    const NSError& error) override;
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>& connection) override;

    // Usage accounting.
    void loadAppVersionUsageData();
    void startUsage();
    void stopUsage();
    void storeUsageTimeForCurrentVersion(double seconds);
    std::string currentUsageString() const;
    std::string installationDateString() const;

    void loadAppCache();
    void saveAppCache();

    void registerObservers();
    void unregisterObservers();
    void didBecomeActiveActions();
    void didEnterBackgroundActions();

    // Observers are held weakly.
    void addObserver(const std::shared_ptr<BITUpdateManagerObserver>& observer);
    void removeObserver(const BITUpdateManagerObserver* observer);

    const std::string& currentAppVersion() const { return currentAppVersion_; }
    std::shared_ptr<BITUpdateViewController> currentZizavaViewController() const {
        return currentZizavaViewController_.lock();
    }
    void setCurrentZizavaViewController(std::weak_ptr<BITUpdateViewController> controller) {
        currentZizavaViewController_ = std::move(controller);
    }
    const std::vector<std::shared_ptr<BITAppVersionMetaInfo>>& appVersions() const {
        return appVersions_;
    }
    // An empty list becomes one placeholder record of the running build.
    void setAppVersions(std::vector<std::shared_ptr<BITAppVersionMetaInfo>> versions);
    const NSDate& lastCheck() const { return lastCheck_; }
    void setLastCheck(const NSDate& date);

    bool updateAvailable() const { return updateAvailable_; }
    bool checkInProgress() const { return checkInProgress_; }
    bool isUpdateManagerDisabled() const { return disableUpdateManager_; }
    bool updateAlertShowing() const { return updateAlertShowing_; }
    // The update alert while it is shown.
    const std::shared_ptr<UIAlertView>& updateAlert() const { return updateAlert_; }
    // The last error or no-update alert of a check with feedback.
    const std::shared_ptr<UIAlertView>& feedbackAlert() const { return feedbackAlert_; }
    bool didStartUpdateProcess() const { return didStartUpdateProcess_; }
    bool firstStartAfterInstall() const { return firstStartAfterInstall_; }
    const std::optional<int64_t>& versionID() const { return versionID_; }
    const std::optional<std::string>& versionUUID() const { return versionUUID_; }
    const std::optional<std::string>& companyName() const { return companyName_; }
    double currentAppVersionUsageTime() const { return usageTime_; }
    // Where the current stretch of use began.
    const NSDate& usageStartTimestamp() const { return usageStartTimestamp_; }
    void setUsageStartTimestamp(const NSDate& date) { usageStartTimestamp_ = date; }

    bool checkForUpdateOnLaunch() const { return checkForUpdateOnLaunch_; }
    void setCheckForUpdateOnLaunch(bool check) { checkForUpdateOnLaunch_ = check; }
    bool alwaysShowUpdateReminder() const { return alwaysShowUpdateReminder_; }
    void setAlwaysShowUpdateReminder(bool show) { alwaysShowUpdateReminder_ = show; }
    bool showDirectInstallOption() const { return showDirectInstallOption_; }
    void setShowDirectInstallOption(bool show) { showDirectInstallOption_ = show; }
    bool sendUsageData() const { return sendUsageData_; }
    void setSendUsageData(bool send) { sendUsageData_ = send; }
    BITUpdateSetting updateSetting() const { return updateSetting_; }
    void setUpdateSetting(BITUpdateSetting setting) { updateSetting_ = setting; }
    void setUpdateDelegate(std::weak_ptr<BITUpdateManagerDelegate> delegate) {
        updateDelegate_ = std::move(delegate);
    }

  private:
    std::shared_ptr<BITUpdateManagerDelegate> updateDelegate() const;
    std::shared_ptr<BITUpdateManager> self();
    void setCheckInProgress(bool inProgress);
    void setUpdateAvailable(bool available);
    void notify(const std::string& key);
    void endCheck();
    // The reply of a check whose status is no answer of the service.
    void rejectResponse(long status);
    bool isCheckTask(const NSURLSessionTask& task);
    void showFeedbackAlert(const std::string& title, const std::string& message);
    void adoptInstalledBuild(const BITAppVersionMetaInfo& record);
    void openPackageFromManifest(const std::optional<Value::Data>& data, long status,
                                 const std::function<void(bool)>& done);

    std::string currentAppVersion_;
    std::weak_ptr<BITUpdateViewController> currentZizavaViewController_;
    bool showFeedback_ = false;
    bool updateAlertShowing_ = false;
    std::shared_ptr<UIAlertView> updateAlert_;
    std::shared_ptr<UIAlertView> feedbackAlert_;
    std::string usageDataFile_;
    std::vector<std::shared_ptr<NSNotificationObserver>> observers_;
    std::vector<std::shared_ptr<NSNotificationObserver>> usageObservers_;
    bool didStartUpdateProcess_ = false;
    bool didEnterBackgroundState_ = false;
    bool firstStartAfterInstall_ = false;
    std::optional<int64_t> versionID_;
    std::optional<std::string> versionUUID_;
    std::string uuid_;
    bool checkForUpdateOnLaunch_ = true;
    bool alwaysShowUpdateReminder_ = true;
    bool showDirectInstallOption_ = false;
    bool updateAvailable_ = false;
    bool checkInProgress_ = false;
    bool disableUpdateManager_ = false;
    bool sendUsageData_ = true;
    BITUpdateSetting updateSetting_ = BITUpdateCheckStartup;
    std::weak_ptr<BITUpdateManagerDelegate> updateDelegate_;
    NSDate lastCheck_ = NSDate::distantPast();
    std::vector<std::shared_ptr<BITAppVersionMetaInfo>> appVersions_;
    double usageTime_ = 0;
    NSDate usageStartTimestamp_ = NSDate::date();
    std::optional<std::string> companyName_;
    std::vector<std::weak_ptr<BITUpdateManagerObserver>> changeObservers_;
    // The body of the running check and its session task (the callbacks of
    // any other task are stale). The session's queue reads the task and
    // writes the body, so both are kept under transferMutex_.
    std::mutex transferMutex_;
    Value::Data receivedData_;
    std::weak_ptr<NSURLSessionTask> checkTask_;
    // The running check's connection where sessions are not supported.
    std::shared_ptr<NSURLConnection> urlConnection_;
};
