#include "sdk/BITMetricsManager.h"

#include "Foundation/NSDate.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITChannel.h"
#include "sdk/BITEventData.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITSender.h"
#include "sdk/BITSession.h"
#include "sdk/BITTelemetryContext.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"

namespace {

void logIgnored() {
    BITZizavaLogDebug(
        "INFO: BITMetricsManager is disabled, therefore this tracking call was "
        "ignored.");
}

double secondsSince1970() {
    return NSDate::date().timeIntervalSince1970();
}

}  // namespace

BITMetricsManager::BITMetricsManager(std::string appIdentifier, BITAppEnvironment appEnvironment)
    : BITZizavaBaseManager(std::move(appIdentifier), appEnvironment),
      // Events are built off the caller's thread, side by side.
      metricsEventQueue_(DispatchQueue::global()) {}

BITMetricsManager::BITMetricsManager(std::string appIdentifier, BITAppEnvironment appEnvironment,
                                     std::shared_ptr<BITChannel> channel,
                                     std::shared_ptr<BITTelemetryContext> telemetryContext,
                                     std::shared_ptr<BITPersistence> persistence,
                                     std::shared_ptr<NSUserDefaults> userDefaults)
    : BITMetricsManager(std::move(appIdentifier), appEnvironment) {
    channel_ = std::move(channel);
    telemetryContext_ = std::move(telemetryContext);
    persistence_ = std::move(persistence);
    userDefaults_ = std::move(userDefaults);
}

BITMetricsManager::~BITMetricsManager() {
    unregisterObservers();
}

void BITMetricsManager::registerComponent() {
    BITZizavaManager::registerComponentFactory(
        BITZizavaComponent::MetricsManager,
        [](const std::string& appIdentifier, BITAppEnvironment appEnvironment, BITZizavaManager&) {
            return std::make_shared<BITMetricsManager>(appIdentifier, appEnvironment);
        });
}

void BITMetricsManager::startManager() {
    const auto url = NSURL::URLWithString(metricsServerURL_);
    if (!url) {
        BITZizavaLogError("ERROR: The telemetry address %s is not a URL",
                          metricsServerURL_.c_str());
        return;
    }
    sender_ = BITSender::create(persistence(), *url);
    sender_->sendSavedDataAsync();
    startNewSessionWithId(bit_UUID());
    registerObservers();
}

void BITMetricsManager::setDisabled(bool disabled) {
    if (disabled_ == disabled)
        return;
    if (disabled)
        unregisterObservers();
    else
        registerObservers();
    disabled_ = disabled;
}

void BITMetricsManager::registerObservers() {
    const auto center = NSNotificationCenter::defaultCenter();
    const auto mainQueue = DispatchQueue::main()->scheduler();
    std::weak_ptr<BITMetricsManager> weakSelf =
        std::static_pointer_cast<BITMetricsManager>(shared_from_this());
    if (!appDidEnterBackgroundObserver_) {
        appDidEnterBackgroundObserver_ =
            center->addObserverForName(UIApplicationDidEnterBackgroundNotification, nullptr,
                                       mainQueue, [weakSelf](const NSNotification&) {
                                           if (const auto self = weakSelf.lock())
                                               self->updateDidEnterBackgroundTime();
                                       });
    }
    if (!appWillEnterForegroundObserver_) {
        appWillEnterForegroundObserver_ =
            center->addObserverForName(UIApplicationWillEnterForegroundNotification, nullptr,
                                       mainQueue, [weakSelf](const NSNotification&) {
                                           if (const auto self = weakSelf.lock())
                                               self->startNewSessionIfNeeded();
                                       });
    }
}

void BITMetricsManager::unregisterObservers() {
    const auto center = NSNotificationCenter::defaultCenter();
    if (appDidEnterBackgroundObserver_)
        center->removeObserver(appDidEnterBackgroundObserver_);
    if (appWillEnterForegroundObserver_)
        center->removeObserver(appWillEnterForegroundObserver_);
    appDidEnterBackgroundObserver_.reset();
    appWillEnterForegroundObserver_.reset();
}

void BITMetricsManager::updateDidEnterBackgroundTime() {
    userDefaults()->setDoubleForKey(secondsSince1970(), kBITApplicationDidEnterBackgroundTime);
    if (bit_isPreiOS8Environment())
        userDefaults()->synchronize();
}

void BITMetricsManager::startNewSessionIfNeeded() {
    double backgroundTime = userDefaults()->doubleForKey(kBITApplicationDidEnterBackgroundTime);
    if (backgroundTime < 0) {
        userDefaults()->setDoubleForKey(0, kBITApplicationDidEnterBackgroundTime);
        if (bit_isPreiOS8Environment())
            userDefaults()->synchronize();
        backgroundTime = 0;
    }
    if (secondsSince1970() - backgroundTime > appBackgroundTimeBeforeSessionExpires_)
        startNewSessionWithId(bit_UUID());
}

void BITMetricsManager::startNewSessionWithId(const std::string& sessionId) {
    const auto session = createNewSessionWithId(sessionId);
    const auto context = telemetryContext();
    context->setSessionId(session->sessionId);
    context->setIsFirstSession(session->isFirst);
    context->setIsNewSession(session->isNew);
    trackSessionWithState(BITSessionState_start);
}

std::shared_ptr<BITSession> BITMetricsManager::createNewSessionWithId(
    const std::string& sessionId) {
    auto session = std::make_shared<BITSession>();
    session->sessionId = sessionId;
    session->isNew = "true";
    if (!userDefaults()->boolForKey(kBITApplicationWasLaunched)) {
        session->isFirst = "true";
        userDefaults()->setBoolForKey(true, kBITApplicationWasLaunched);
        if (bit_isPreiOS8Environment())
            userDefaults()->synchronize();
    } else {
        session->isFirst = "false";
    }
    return session;
}

void BITMetricsManager::trackSessionWithState(BITSessionState state) {
    if (disabled_) {
        logIgnored();
        return;
    }
    auto item = std::make_shared<BITSessionStateData>();
    item->state = state;
    channel()->enqueueTelemetryItem(item);
}

void BITMetricsManager::trackEventWithName(const std::optional<std::string>& eventName) {
    if (!eventName)
        return;
    if (disabled_) {
        logIgnored();
        return;
    }
    std::weak_ptr<BITMetricsManager> weakSelf =
        std::static_pointer_cast<BITMetricsManager>(shared_from_this());
    metricsEventQueue_->async([weakSelf, name = *eventName] {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        auto event = std::make_shared<BITEventData>();
        event->name = name;
        self->trackDataItem(event);
    });
}

void BITMetricsManager::trackEventWithNamePropertiesMeasurements(
    const std::optional<std::string>& eventName, const std::optional<Value::Dictionary>& properties,
    const std::optional<Value::Dictionary>& measurements) {
    if (!eventName)
        return;
    if (disabled_) {
        logIgnored();
        return;
    }
    std::weak_ptr<BITMetricsManager> weakSelf =
        std::static_pointer_cast<BITMetricsManager>(shared_from_this());
    metricsEventQueue_->async([weakSelf, name = *eventName, properties, measurements] {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        auto event = std::make_shared<BITEventData>();
        event->name = name;
        event->properties = properties;
        event->measurements = measurements;
        self->trackDataItem(event);
    });
}

void BITMetricsManager::trackDataItem(const std::shared_ptr<BITTelemetryData>& dataItem) {
    if (disabled_) {
        logIgnored();
        return;
    }
    channel()->enqueueTelemetryItem(dataItem);
}

std::shared_ptr<BITPersistence> BITMetricsManager::persistence() {
    std::lock_guard lock(lazyMutex_);
    if (!persistence_)
        persistence_ = std::make_shared<BITPersistence>();
    return persistence_;
}

std::shared_ptr<BITTelemetryContext> BITMetricsManager::telemetryContext() {
    std::lock_guard lock(lazyMutex_);
    if (!telemetryContext_)
        telemetryContext_ = std::make_shared<BITTelemetryContext>(appIdentifier(), persistence());
    return telemetryContext_;
}

std::shared_ptr<BITChannel> BITMetricsManager::channel() {
    std::lock_guard lock(lazyMutex_);
    if (!channel_)
        channel_ = std::make_shared<BITChannel>(telemetryContext(), persistence());
    return channel_;
}

std::shared_ptr<NSUserDefaults> BITMetricsManager::userDefaults() {
    std::lock_guard lock(lazyMutex_);
    if (!userDefaults_)
        userDefaults_ = NSUserDefaults::standardUserDefaults();
    return userDefaults_;
}
