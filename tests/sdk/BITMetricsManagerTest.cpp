#include "sdk/BITMetricsManager.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSNotificationCenter.h"
#include "SdkServiceProcess.h"
#include "SdkTestSupport.h"
#include "TelemetryTestSupport.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITChannel.h"
#include "sdk/BITPersistence.h"
#include "sdk/BITSender.h"
#include "sdk/BITTelemetryContext.h"
#include "sdk/BITZizavaManager.h"

namespace {

constexpr const char* kGuid = "01234567-89ab-cdef-0123-456789abcdef";

std::string tag(const Value& line, const std::string& key) {
    const Value* tags = line.get("tags");
    const Value* value = tags ? tags->get(key) : nullptr;
    return value && value->stringValue() ? *value->stringValue() : std::string();
}

std::string envelopeName(const Value& line) {
    const Value* name = line.get("name");
    return name && name->stringValue() ? *name->stringValue() : std::string();
}

class BITMetricsManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetTelemetryStorage();
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelVerbose);
    }
    void TearDown() override {
        for (const auto& manager : managers) {
            manager->setDisabled(true);
            manager->channel()->waitForEnqueuedItems();
            manager->persistence()->waitForPendingWrites();
        }
        runMainLoopFor(0.1);
        NSUserDefaults::standardUserDefaults()->synchronize();
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelWarning);
    }

    // A manager that uploads to `url` and hands off every `batch` lines.
    std::shared_ptr<BITMetricsManager> makeManager(const std::string& url, size_t batch) {
        auto manager = std::make_shared<BITMetricsManager>(kGuid, BITAppEnvironmentOther);
        manager->setMetricsServerURL(url);
        manager->channel()->setMaxBatchSize(batch);
        manager->channel()->setBatchInterval(1);
        managers.push_back(manager);
        return manager;
    }

    // The channel's pending line count once the queued items are in.
    size_t pendingLines(BITMetricsManager& manager) {
        manager.channel()->waitForEnqueuedItems();
        return manager.channel()->dataItemCount();
    }

    void postFromTheApplication(const char* name) {
        NSNotificationCenter::defaultCenter()->postNotificationName(name);
        ASSERT_TRUE(drainMainQueue());  // the observers hear it on the main queue
    }

    std::vector<std::shared_ptr<BITMetricsManager>> managers;
};

TEST_F(BITMetricsManagerTest, SessionAndEventsReachTheService) {
    SdkServiceProcess service;
    ASSERT_TRUE(service.running());
    const auto manager = makeManager(service.baseURL() + "v2/track", 3);
    manager->startManager();
    manager->trackEventWithName(std::string("map opened"));
    manager->trackEventWithNamePropertiesMeasurements(std::string("route"),
                                                      Value::Dictionary{{"mode", "walk"}},
                                                      Value::Dictionary{{"km", Value(2.5)}});
    Value::Array lines;
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return (lines = receivedTelemetryLines(service.baseURL())).size() == 3; }, 20));

    const Value& session = lines[0];
    EXPECT_EQ(envelopeName(session), "Zizava.Telemetry.SessionState");
    EXPECT_EQ(*session.get("iKey"), Value(kGuid));
    EXPECT_EQ(tag(session, "ai.session.isFirst"), "true");
    EXPECT_EQ(tag(session, "ai.session.isNew"), "true");
    EXPECT_EQ(tag(session, "ai.session.id"), manager->telemetryContext()->sessionId());
    for (const char* key : {"ai.user.id", "ai.device.id", "ai.device.os", "ai.device.osVersion",
                            "ai.device.model", "ai.internal.sdkVersion", "ai.application.ver"})
        EXPECT_FALSE(tag(session, key).empty()) << key;

    std::set<std::string> events;
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(envelopeName(lines[i]), "Zizava.Telemetry.Event");
        EXPECT_EQ(tag(lines[i], "ai.session.id"), tag(session, "ai.session.id"));
        const Value* baseData = lines[i].get("data")->get("baseData");
        events.insert(*baseData->get("name")->stringValue());
        if (*baseData->get("name")->stringValue() == "route") {
            EXPECT_EQ(*baseData->get("properties")->get("mode"), Value("walk"));
            EXPECT_EQ(*baseData->get("measurements")->get("km"), Value(2.5));
        }
    }
    EXPECT_EQ(events, (std::set<std::string>{"map opened", "route"}));

    // The service keeps a request's lines before it records the exchange, and
    // records it before it answers; a bundle goes once its answer came, so
    // with no bundle left every exchange is on record.
    ASSERT_TRUE(
        runMainLoopUntil([&] { return telemetryFiles(*manager->persistence()).empty(); }, 30));
    const Value::Array exchanges = trackExchanges(service.received());
    ASSERT_FALSE(exchanges.empty());
    for (const Value& exchange : exchanges) {
        EXPECT_EQ(*exchange.get("headers")->get("Content-Encoding"), Value("gzip"));
        EXPECT_EQ(exchange.get("violations")->count(), 0u);
    }
}

TEST_F(BITMetricsManagerTest, OnlyTheFirstSessionEverIsFirst) {
    const auto url = "http://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/v2/track";
    const auto first = makeManager(url, 50);
    first->startManager();
    EXPECT_EQ(first->telemetryContext()->isFirstSession(), "true");
    const auto relaunched = makeManager(url, 50);
    relaunched->startManager();
    EXPECT_EQ(relaunched->telemetryContext()->isFirstSession(), "false");
    EXPECT_EQ(relaunched->telemetryContext()->isNewSession(), "true");
    EXPECT_NE(relaunched->telemetryContext()->sessionId(), first->telemetryContext()->sessionId());
}

TEST_F(BITMetricsManagerTest, ForegroundStartsASessionOnlyAfterTwentySeconds) {
    const auto url = "http://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/v2/track";
    const auto manager = makeManager(url, 50);
    manager->startManager();
    const auto defaults = manager->userDefaults();
    const auto sessionId = manager->telemetryContext()->sessionId();
    ASSERT_EQ(pendingLines(*manager), 1u);

    postFromTheApplication(UIApplicationDidEnterBackgroundNotification);
    const double stored = defaults->doubleForKey(kBITApplicationDidEnterBackgroundTime);
    EXPECT_NEAR(stored, NSDate::date().timeIntervalSince1970(), 5);

    defaults->setDoubleForKey(NSDate::date().timeIntervalSince1970() - 15,
                              kBITApplicationDidEnterBackgroundTime);
    postFromTheApplication(UIApplicationWillEnterForegroundNotification);
    EXPECT_EQ(manager->telemetryContext()->sessionId(), sessionId);
    EXPECT_EQ(pendingLines(*manager), 1u);

    defaults->setDoubleForKey(NSDate::date().timeIntervalSince1970() - 21,
                              kBITApplicationDidEnterBackgroundTime);
    postFromTheApplication(UIApplicationWillEnterForegroundNotification);
    EXPECT_NE(manager->telemetryContext()->sessionId(), sessionId);
    EXPECT_EQ(manager->telemetryContext()->isFirstSession(), "false");
    EXPECT_EQ(pendingLines(*manager), 2u);

    defaults->setDoubleForKey(-5, kBITApplicationDidEnterBackgroundTime);
    postFromTheApplication(UIApplicationWillEnterForegroundNotification);
    EXPECT_EQ(defaults->doubleForKey(kBITApplicationDidEnterBackgroundTime), 0.0);
    EXPECT_EQ(pendingLines(*manager), 3u);
}

TEST_F(BITMetricsManagerTest, DisabledIgnoresTrackingAndObservers) {
    const auto url = "http://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/v2/track";
    const auto manager = makeManager(url, 50);
    manager->startManager();
    ASSERT_EQ(pendingLines(*manager), 1u);
    {
        LogCapture log;
        manager->trackEventWithName(std::nullopt);
        manager->metricsEventQueue()->sync([] {});
        EXPECT_TRUE(log.messages().empty());
    }
    LogCapture log;
    manager->setDisabled(true);
    manager->trackEventWithNamePropertiesMeasurements(std::string("ignored"), std::nullopt,
                                                      std::nullopt);
    EXPECT_TRUE(log.contains(
        "INFO: BITMetricsManager is disabled, therefore this tracking call was ignored."));
    manager->userDefaults()->setDoubleForKey(0, kBITApplicationDidEnterBackgroundTime);
    postFromTheApplication(UIApplicationWillEnterForegroundNotification);
    EXPECT_EQ(pendingLines(*manager), 1u);

    EXPECT_FALSE(manager->appWillEnterForegroundObserver());
    EXPECT_FALSE(manager->appDidEnterBackgroundObserver());

    // Enabling again twice leaves one observer: one foreground, one session.
    manager->setDisabled(false);
    const auto foreground = manager->appWillEnterForegroundObserver();
    ASSERT_TRUE(foreground);
    ASSERT_TRUE(manager->appDidEnterBackgroundObserver());
    manager->setDisabled(false);
    EXPECT_EQ(manager->appWillEnterForegroundObserver(), foreground);
    postFromTheApplication(UIApplicationWillEnterForegroundNotification);
    EXPECT_EQ(pendingLines(*manager), 2u);
}

TEST_F(BITMetricsManagerTest, BatchesWaitOnDiskWhileTheServiceIsDown) {
    const int port = unusedLocalPort();
    const auto manager = makeManager("http://127.0.0.1:" + std::to_string(port) + "/v2/track", 1);
    manager->persistence()->setMaxFileCount(5);
    int blocked = 0;
    const auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        BITChannelBlockedNotification, nullptr, {}, [&](const NSNotification&) { ++blocked; });
    const auto logged = [log = std::make_shared<LogCapture>()](const std::string& text) {
        const auto messages = log->messages();
        return std::count_if(messages.begin(), messages.end(), [&](const auto& message) {
            return message.second.find(text) != std::string::npos;
        });
    };
    const auto dropped = [&] { return logged("The channel is saturated."); };
    manager->startManager();
    for (int i = 0; i < 12; ++i)
        manager->trackEventWithName("offline " + std::to_string(i));
    // Events are tracked on a concurrent queue: the session start and the
    // twelve events have all passed the channel once eight were dropped. The
    // channel's timer opens it again a second after it blocked, so its notice
    // of the block is waited for rather than its state.
    ASSERT_TRUE(runMainLoopUntil([&] { return dropped() >= 8 && blocked > 0; }, 30))
        << dropped() << " dropped, " << blocked << " blocked notices";
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    const size_t kept = telemetryFiles(*manager->persistence()).size();
    EXPECT_EQ(kept, 5u);  // the channel stops at the file limit
    EXPECT_EQ(dropped(), 8);
    // The sender tried the folder when it started, after each bundle and when
    // the channel blocked; all these tries end before the service comes back,
    // or one could reach it and make room.
    const auto tried = [&] { return logged("Create new sender thread"); };
    const auto tries = static_cast<long>(kept) + 2;
    ASSERT_TRUE(runMainLoopUntil(
        [&] { return tried() >= tries && logged("Close sender thread") == tried(); }, 30))
        << tried() << " tries";

    SdkServiceOnPort service(port);
    ASSERT_TRUE(service.running());
    const std::string baseURL = "http://127.0.0.1:" + std::to_string(port) + "/";
    // The channel opens again on its timer; the folder is still full, so the
    // next item blocks it once more, which wakes the sender.
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return !manager->channel()->channelBlocked(); }, 30));
    manager->trackEventWithName(std::string("while full"));
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return telemetryFiles(*manager->persistence()).empty(); }, 30));
    EXPECT_EQ(receivedTelemetryLines(baseURL).size(), kept);

    // With room again, new items flow.
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return !manager->channel()->channelBlocked(); }, 30));
    manager->trackEventWithName(std::string("back online"));
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return receivedTelemetryLines(baseURL).size() == kept + 1; }, 30));
}

TEST_F(BITMetricsManagerTest, TheFrontStartsTheRegisteredManager) {
    BITMetricsManager::registerComponent();
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->setDisableInstallTracking(true);
    front->configureWithIdentifier(std::string("0123456789abcdef0123456789abcdef"));
    const auto manager = std::dynamic_pointer_cast<BITMetricsManager>(front->metricsManager());
    BITZizavaManager::registerComponentFactory(BITZizavaComponent::MetricsManager, nullptr);
    ASSERT_TRUE(manager);
    managers.push_back(manager);
    EXPECT_EQ(manager->appIdentifier(), kGuid);
    front->startManager();
    EXPECT_TRUE(manager->sender());
    EXPECT_TRUE(manager->telemetryContext()->sessionId());
    EXPECT_EQ(pendingLines(*manager), 1u);  // the session start
}

}  // namespace
