#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSUserDefaults.h"
#include "Foundation/Value.h"
#include "sdk/BITSessionStateData.h"
#include "sdk/BITZizavaBaseManager.h"

class BITChannel;
class BITPersistence;
class BITSender;
class BITSession;
class BITTelemetryContext;
class BITTelemetryData;

inline constexpr const char* kBITApplicationDidEnterBackgroundTime =
    "BITApplicationDidEnterBackgroundTime";
inline constexpr const char* kBITApplicationWasLaunched = "BITApplicationWasLaunched";

// The usage-telemetry component: starts a session at launch and after more
// than appBackgroundTimeBeforeSessionExpires seconds in the background, sends
// a session-start item for each session and offers custom events. It owns
// the pipeline: context, channel, persistence and sender.
class BITMetricsManager : public BITZizavaBaseManager {
  public:
    // The telemetry service's base address; the upload path follows it.
    static constexpr const char* kTelemetryServerURL = "https://telemetry.zizava.app/";

    BITMetricsManager(std::string appIdentifier, BITAppEnvironment appEnvironment);
    BITMetricsManager(std::string appIdentifier, BITAppEnvironment appEnvironment,
                      std::shared_ptr<BITChannel> channel,
                      std::shared_ptr<BITTelemetryContext> telemetryContext,
                      std::shared_ptr<BITPersistence> persistence,
                      std::shared_ptr<NSUserDefaults> userDefaults);
    ~BITMetricsManager() override;

    // Makes the front start this manager.
    static void registerComponent();

    void startManager() override;
    void setDisabled(bool disabled) override;
    bool disabled() const { return disabled_; }

    void registerObservers();
    void unregisterObservers();
    void updateDidEnterBackgroundTime();
    void startNewSessionIfNeeded();
    void startNewSessionWithId(const std::string& sessionId);
    std::shared_ptr<BITSession> createNewSessionWithId(const std::string& sessionId);
    void trackSessionWithState(BITSessionState state);

    void trackEventWithName(const std::optional<std::string>& eventName);
    void trackEventWithNamePropertiesMeasurements(
        const std::optional<std::string>& eventName,
        const std::optional<Value::Dictionary>& properties,
        const std::optional<Value::Dictionary>& measurements);
    void trackDataItem(const std::shared_ptr<BITTelemetryData>& dataItem);

    std::shared_ptr<BITPersistence> persistence();
    std::shared_ptr<BITTelemetryContext> telemetryContext();
    std::shared_ptr<BITChannel> channel();
    std::shared_ptr<NSUserDefaults> userDefaults();
    std::shared_ptr<BITSender> sender() const { return sender_; }
    // The upload address: the telemetry base address followed by "v2/track".
    const std::string& metricsServerURL() const { return metricsServerURL_; }
    void setMetricsServerURL(std::string url) { metricsServerURL_ = std::move(url); }
    unsigned appBackgroundTimeBeforeSessionExpires() const {
        return appBackgroundTimeBeforeSessionExpires_;
    }
    void setAppBackgroundTimeBeforeSessionExpires(unsigned seconds) {
        appBackgroundTimeBeforeSessionExpires_ = seconds;
    }
    const std::shared_ptr<DispatchQueue>& metricsEventQueue() const { return metricsEventQueue_; }
    // The observer tokens while registered, else nullptr.
    const std::shared_ptr<NSNotificationObserver>& appWillEnterForegroundObserver() const {
        return appWillEnterForegroundObserver_;
    }
    const std::shared_ptr<NSNotificationObserver>& appDidEnterBackgroundObserver() const {
        return appDidEnterBackgroundObserver_;
    }

  private:
    std::atomic<bool> disabled_ = false;
    // The pipeline objects are made on first use, from any thread.
    std::recursive_mutex lazyMutex_;
    std::shared_ptr<BITChannel> channel_;
    std::shared_ptr<BITTelemetryContext> telemetryContext_;
    std::shared_ptr<BITPersistence> persistence_;
    std::string metricsServerURL_ = std::string(kTelemetryServerURL) + "v2/track";
    std::shared_ptr<NSUserDefaults> userDefaults_;
    std::shared_ptr<NSNotificationObserver> appWillEnterForegroundObserver_;
    std::shared_ptr<NSNotificationObserver> appDidEnterBackgroundObserver_;
    std::shared_ptr<DispatchQueue> metricsEventQueue_;
    std::shared_ptr<BITSender> sender_;
    unsigned appBackgroundTimeBeforeSessionExpires_ = 20;
};
