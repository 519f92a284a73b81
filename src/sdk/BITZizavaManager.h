#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sdk/BITZizavaAppClient.h"
#include "sdk/BITZizavaBaseManager.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManagerDelegate.h"

// The component managers, in the order the front creates them.
enum class BITZizavaComponent {
    CrashManager,
    UpdateManager,
    StoreUpdateManager,
    FeedbackManager,
    MetricsManager
};

// The single entry of the service SDK: configured once with the application
// identifiers, then started; it creates the component managers, starts them
// in a fixed order with fixed delays, and holds the SDK-wide settings.
//
// The managers live in libraries above this one, so each registers a factory
// (registerComponentFactory) before configuration; a component without a
// factory is simply absent: never created, never started, never reported as
// started.
class BITZizavaManager : public std::enable_shared_from_this<BITZizavaManager> {
  public:
    // Makes a manager for (identifier, environment); the metrics manager gets
    // the identifier in its 8-4-4-4-12 form.
    using ComponentFactory = std::function<std::shared_ptr<BITZizavaBaseManager>(
        const std::string& appIdentifier, BITAppEnvironment appEnvironment,
        BITZizavaManager& front)>;

    static void registerComponentFactory(BITZizavaComponent component, ComponentFactory factory);

    static std::shared_ptr<BITZizavaManager> sharedZizavaManager();
    // The shared instance uses bit_currentAppEnvironment(); tests make their own.
    static std::shared_ptr<BITZizavaManager> create(BITAppEnvironment appEnvironment);

    static std::string version();  // "4.1.4", from the version record
    static std::string build();    // "99"

    void configureWithIdentifier(const std::optional<std::string>& appIdentifier);
    void configureWithIdentifierDelegate(const std::optional<std::string>& appIdentifier,
                                         std::weak_ptr<BITZizavaManagerDelegate> delegate);
    void configureWithBetaIdentifierLiveIdentifierDelegate(
        const std::optional<std::string>& betaIdentifier,
        const std::optional<std::string>& liveIdentifier,
        std::weak_ptr<BITZizavaManagerDelegate> delegate);
    void startManager();

    bool checkValidityOfAppIdentifier(const std::optional<std::string>& identifier) const;
    bool shouldUseLiveIdentifier();

    // Settings, each safe before or after configuration.
    // nullopt (or "") restores the default server URL.
    void setServerURL(const std::optional<std::string>& serverURL);
    const std::string& serverURL() const { return serverURL_; }
    void setDelegate(std::weak_ptr<BITZizavaManagerDelegate> delegate);
    std::shared_ptr<BITZizavaManagerDelegate> delegate() const { return delegate_.lock(); }
    void setDisableCrashManager(bool disable) { disableCrashManager_ = disable; }
    void setDisableUpdateManager(bool disable);
    void setEnableStoreUpdateManager(bool enable);
    void setDisableFeedbackManager(bool disable);
    void setDisableMetricsManager(bool disable);
    void setDisableInstallTracking(bool disable) { disableInstallTracking_ = disable; }
    void setDebugLogEnabled(bool enabled);
    BITLogLevel logLevel() const { return BITZizavaLogger::currentLogLevel(); }
    void setLogLevel(BITLogLevel level) { BITZizavaLogger::setCurrentLogLevel(level); }
    void setLogHandler(BITZizavaLogger::LogHandler handler);
    void setUserID(const std::optional<std::string>& userID);
    void setUserName(const std::optional<std::string>& userName);
    void setUserEmail(const std::optional<std::string>& userEmail);

    std::shared_ptr<BITZizavaAppClient> zizavaAppClient();
    void testIdentifier();

    // The integration ping.
    std::optional<std::string> integrationFlowTimeString() const;
    bool integrationFlowStartedWithTimeString(const std::optional<std::string>& timeString) const;
    void pingServerForIntegrationStartWorkflowWithTimeStringAppIdentifier(
        const std::optional<std::string>& timeString,
        const std::optional<std::string>& appIdentifier);
    static void logPingMessageForStatusCode(long statusCode);

    const std::optional<std::string>& appIdentifier() const { return appIdentifier_; }
    const std::optional<std::string>& liveIdentifier() const { return liveIdentifier_; }
    bool validAppIdentifier() const { return validAppIdentifier_; }
    bool managersInitialized() const { return managersInitialized_; }
    bool startManagerIsInvoked() const { return startManagerIsInvoked_; }
    std::shared_ptr<BITZizavaBaseManager> crashManager() const;
    std::shared_ptr<BITZizavaBaseManager> updateManager() const;
    std::shared_ptr<BITZizavaBaseManager> storeUpdateManager() const;
    std::shared_ptr<BITZizavaBaseManager> feedbackManager() const;
    std::shared_ptr<BITZizavaBaseManager> metricsManager() const;
    BITAppEnvironment appEnvironment() const { return appEnvironment_; }
    const std::string& installString() const { return installString_; }
    const std::optional<std::string>& userID() const { return userID_; }
    const std::optional<std::string>& userName() const { return userName_; }
    const std::optional<std::string>& userEmail() const { return userEmail_; }
    bool isCrashManagerDisabled() const { return disableCrashManager_; }
    bool isUpdateManagerDisabled() const { return disableUpdateManager_; }
    bool isStoreUpdateManagerEnabled() const { return enableStoreUpdateManager_; }
    bool isFeedbackManagerDisabled() const { return disableFeedbackManager_; }
    bool isMetricsManagerDisabled() const { return disableMetricsManager_; }
    bool isInstallTrackingDisabled() const { return disableInstallTracking_; }
    bool isDebugLogEnabled() const { return debugLogEnabled_; }

    explicit BITZizavaManager(BITAppEnvironment appEnvironment);

  private:
    static constexpr size_t kComponentCount = 5;

    void initializeModules();
    bool isSetUpOnMainThread() const;
    void logInvalidIdentifier(const std::string& label) const;
    void invokeStartUpdateManager();
    void validateStartManagerIsInvoked() const;
    void modifyKeychainUserValueForKey(const std::optional<std::string>& value,
                                       const std::string& key);
    std::shared_ptr<BITZizavaBaseManager> component(BITZizavaComponent component) const;
    // Runs the manager's startManager after `seconds` on the main run loop.
    void startLater(const std::shared_ptr<BITZizavaBaseManager>& manager, double seconds);

    std::optional<std::string> appIdentifier_;
    std::optional<std::string> liveIdentifier_;
    bool validAppIdentifier_ = false;
    bool startManagerIsInvoked_ = false;
    bool startUpdateManagerIsInvoked_ = false;
    bool managersInitialized_ = false;
    std::shared_ptr<BITZizavaAppClient> zizavaAppClient_;
    bool disableCrashManager_ = false;
    bool disableUpdateManager_ = false;
    bool enableStoreUpdateManager_ = false;
    bool disableFeedbackManager_ = false;
    bool disableMetricsManager_ = false;
    bool disableInstallTracking_ = false;
    bool debugLogEnabled_ = false;
    std::weak_ptr<BITZizavaManagerDelegate> delegate_;
    std::string serverURL_ = BITZizavaBaseManager::kDefaultServerURL;
    std::array<std::shared_ptr<BITZizavaBaseManager>, kComponentCount> managers_;
    BITAppEnvironment appEnvironment_;
    std::string installString_;
    std::optional<std::string> userID_;
    std::optional<std::string> userName_;
    std::optional<std::string> userEmail_;
};
