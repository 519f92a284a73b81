#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/Value.h"
#include "UIKit/UIAlertView.h"
#include "sdk/BITZizavaBaseManager.h"

class NSError;
class NSLocale;
class NSBundle;
class NSUserDefaults;
class NSNotificationObserver;
class BITStoreUpdateManager;

class BITStoreUpdateManagerDelegate {
  public:
    virtual ~BITStoreUpdateManagerDelegate() = default;
    virtual void detectedUpdateFromStoreUpdateManagerNewVersionStoreURL(
        BITStoreUpdateManager&, const std::string& /*newVersion*/,
        const std::string& /*storeURL*/) {}
};

// Tells users of a store build that the store offers a newer version. The
// store version seen first after installing a build is its baseline; a later
// store version newer than that is an update. Only in store builds and only
// when enabled. Every reply is handled on the main queue; a reply of a check
// that is no longer the current one is dropped.
class BITStoreUpdateManager : public BITZizavaBaseManager, public UIAlertViewDelegate {
  public:
    BITStoreUpdateManager(std::string appIdentifier, BITAppEnvironment appEnvironment);
    ~BITStoreUpdateManager() override;

    // Lets the front create this manager.
    static void registerComponent();

    void startManager() override;
    // A check the user asked for: ignores the interval.
    void checkForUpdate() { checkForUpdateManual(true); }
    void checkForUpdateDelayed() { checkForUpdateManual(false); }
    void checkForUpdateManual(bool manual);
    bool shouldAutoCheckForUpdates() const;
    bool shouldCancelProcessing() const;
    // The baseline store version of the running build; dropped (nullopt)
    // when it belongs to another build.
    std::optional<std::string> lastStoreVersion();
    bool hasNewVersion(const Value& reply);
    bool processStoreResponseWithString(const std::optional<std::string>& text);
    // status 0 with an error: the transport failed; a non-2xx status is a failure too.
    void handleResponeWithDataError(const std::optional<Value::Data>& data, long status,
                                    const std::optional<NSError>& error);
    void reportError(const std::string& description);
    void showUpdateAlert();
    void ignoreAction();
    void remindAction();
    void showAction();
    void registerObservers();
    void unregisterObservers();
    void didBecomeActiveActions();
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long buttonIndex) override;

    void setEnableStoreUpdateManager(bool enable) override { enableStoreUpdateManager_ = enable; }
    bool enableStoreUpdateManager() const { return enableStoreUpdateManager_; }
    bool checkForUpdateOnLaunch() const { return checkForUpdateOnLaunch_; }
    void setCheckForUpdateOnLaunch(bool check) { checkForUpdateOnLaunch_ = check; }
    bool updateUIEnabled() const { return updateUIEnabled_; }
    void setUpdateUIEnabled(bool enabled) { updateUIEnabled_ = enabled; }
    // 0 at most daily, 1 at most weekly (default), 2 only on request.
    long updateSetting() const { return updateSetting_; }
    void setUpdateSetting(long setting) { updateSetting_ = setting; }
    const std::optional<std::string>& countryCode() const { return countryCode_; }
    void setCountryCode(std::optional<std::string> code) { countryCode_ = std::move(code); }
    // Where the lookup goes; empty (default) means the SDK's own service.
    const std::string& storeLookupBaseURL() const { return storeLookupBaseURL_; }
    void setStoreLookupBaseURL(std::string url) { storeLookupBaseURL_ = std::move(url); }
    void setStoreDelegate(std::weak_ptr<BITStoreUpdateManagerDelegate> delegate) {
        storeDelegate_ = std::move(delegate);
    }
    const std::shared_ptr<NSLocale>& currentLocale() const { return currentLocale_; }
    void setCurrentLocale(std::shared_ptr<NSLocale> locale) { currentLocale_ = std::move(locale); }
    const std::shared_ptr<NSUserDefaults>& userDefaults() const { return userDefaults_; }
    void setUserDefaults(std::shared_ptr<NSUserDefaults> defaults) {
        userDefaults_ = std::move(defaults);
    }
    const std::shared_ptr<NSBundle>& mainBundle() const { return mainBundle_; }
    void setMainBundle(std::shared_ptr<NSBundle> bundle) { mainBundle_ = std::move(bundle); }

    bool updateAvailable() const { return updateAvailable_; }
    bool checkInProgress() const { return checkInProgress_; }
    bool lastCheckFailed() const { return lastCheckFailed_; }
    bool updateAlertShowing() const { return updateAlertShowing_; }
    // The update alert while it is shown.
    const std::shared_ptr<UIAlertView>& updateAlert() const { return updateAlert_; }
    const std::optional<std::string>& newStoreVersion() const { return newStoreVersion_; }
    const std::optional<std::string>& appStoreURLString() const { return appStoreURLString_; }
    const std::optional<NSDate>& lastCheck() const { return lastCheck_; }
    void setLastCheck(const NSDate& date);

  private:
    std::string lookupURL(const std::string& countryCode) const;
    // A store page the launcher may open: http(s) on the lookup service's own host.
    bool isStorePage(const std::string& url) const;

    std::optional<std::string> newStoreVersion_;
    std::optional<std::string> appStoreURLString_;
    std::string currentUUID_;
    bool updateAlertShowing_ = false;
    std::shared_ptr<UIAlertView> updateAlert_;
    bool lastCheckFailed_ = false;
    std::vector<std::shared_ptr<NSNotificationObserver>> observers_;
    bool checkForUpdateOnLaunch_ = true;
    bool updateUIEnabled_ = true;
    bool updateAvailable_ = false;
    bool checkInProgress_ = false;
    bool enableStoreUpdateManager_ = false;
    long updateSetting_ = 1;
    std::optional<std::string> countryCode_;
    std::string storeLookupBaseURL_;
    std::weak_ptr<BITStoreUpdateManagerDelegate> storeDelegate_;
    std::optional<NSDate> lastCheck_;
    std::shared_ptr<NSBundle> mainBundle_;
    std::shared_ptr<NSLocale> currentLocale_;
    std::shared_ptr<NSUserDefaults> userDefaults_;
    // Counts checks; a reply carrying an older count is stale.
    uint64_t checkGeneration_ = 0;
};
