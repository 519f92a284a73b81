#include "sdk/BITZizavaManager.h"

#include <gtest/gtest.h>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSDate.h"
#include "SdkServiceProcess.h"
#include "SdkTestSupport.h"
#include "sdk/BITKeychainUtils.h"

namespace {

constexpr const char* kBeta = "0123456789abcdef0123456789abcdef";
constexpr const char* kLive = "fedcba9876543210fedcba9876543210";

// A component manager that notes when it starts.
class RecordingManager : public BITZizavaBaseManager {
  public:
    RecordingManager(std::string name, std::string identifier, BITAppEnvironment environment,
                     std::shared_ptr<std::vector<std::string>> log)
        : BITZizavaBaseManager(std::move(identifier), environment),
          name_(std::move(name)),
          log_(std::move(log)) {}
    void startManager() override { log_->push_back(name_); }

  private:
    std::string name_;
    std::shared_ptr<std::vector<std::string>> log_;
};

class BITZizavaManagerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (int i = 0; i < 5; ++i)
            BITZizavaManager::registerComponentFactory(static_cast<BITZizavaComponent>(i), nullptr);
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelWarning);
        useTestBundleWithInfo({});
        runMainLoopFor(0.05);
    }

    void registerRecording(BITZizavaComponent component, const std::string& name) {
        BITZizavaManager::registerComponentFactory(
            component, [this, name](const std::string& identifier, BITAppEnvironment environment,
                                    BITZizavaManager&) {
                identifiers[name] = identifier;
                return std::make_shared<RecordingManager>(name, identifier, environment, started);
            });
    }

    std::shared_ptr<std::vector<std::string>> started =
        std::make_shared<std::vector<std::string>>();
    std::map<std::string, std::string> identifiers;
};

class LiveChooser : public BITZizavaManagerDelegate {
  public:
    std::optional<bool> shouldUseLiveIdentifierForZizavaManager(BITZizavaManager&) override {
        return true;
    }
};

std::string isoTime(double secondsAgo) {
    const std::time_t time =
        static_cast<std::time_t>(NSDate::date().timeIntervalSince1970() - secondsAgo);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S+0000", &utc);
    return buffer;
}

}  // namespace

TEST_F(BITZizavaManagerTest, IdentifiersAre32LowerCaseHexDigits) {
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    EXPECT_TRUE(front->checkValidityOfAppIdentifier(std::string(kBeta)));
    EXPECT_FALSE(
        front->checkValidityOfAppIdentifier(std::string("0123456789ABCDEF0123456789abcdef")));
    EXPECT_FALSE(front->checkValidityOfAppIdentifier(std::string(kBeta).substr(1)));
    EXPECT_FALSE(front->checkValidityOfAppIdentifier(std::string(kBeta) + "0"));
    EXPECT_FALSE(front->checkValidityOfAppIdentifier(std::nullopt));
}

TEST_F(BITZizavaManagerTest, TheAppStoreUsesTheLiveIdentifierAndABrokenOneStaysSilentAndInert) {
    LogCapture log;
    registerRecording(BITZizavaComponent::CrashManager, "crash");
    const auto store = BITZizavaManager::create(BITAppEnvironmentAppStore);
    store->configureWithBetaIdentifierLiveIdentifierDelegate(std::string(kBeta), std::string(kLive),
                                                             {});
    EXPECT_EQ(store->appIdentifier(), kLive);

    const auto broken = BITZizavaManager::create(BITAppEnvironmentAppStore);
    broken->configureWithBetaIdentifierLiveIdentifierDelegate(std::string(kBeta),
                                                              std::string("nope"), {});
    EXPECT_FALSE(broken->validAppIdentifier());
    EXPECT_FALSE(broken->crashManager());
    broken->startManager();
    EXPECT_FALSE(broken->startManagerIsInvoked());
    for (const auto& [level, message] : log.messages())
        EXPECT_GT(level, BITLogLevelWarning) << message;
}

TEST_F(BITZizavaManagerTest, OtherEnvironmentsUseTheBetaIdentifierAndWarnOfABrokenLiveOne) {
    LogCapture log;
    const auto front = BITZizavaManager::create(BITAppEnvironmentTestFlight);
    front->configureWithBetaIdentifierLiveIdentifierDelegate(std::string(kBeta), std::string("BAD"),
                                                             {});
    EXPECT_EQ(front->appIdentifier(), kBeta);
    EXPECT_EQ(front->liveIdentifier(), "BAD");
    EXPECT_TRUE(front->validAppIdentifier());
    EXPECT_TRUE(log.contains("[ZizavaSDK] WARNING: The liveIdentifier is invalid!"));

    const auto delegate = std::make_shared<LiveChooser>();
    const auto chosen = BITZizavaManager::create(BITAppEnvironmentOther);
    chosen->configureWithBetaIdentifierLiveIdentifierDelegate(std::string(kBeta),
                                                              std::string(kLive), delegate);
    EXPECT_EQ(chosen->appIdentifier(), kLive);
}

TEST_F(BITZizavaManagerTest, AnInvalidIdentifierOutsideTheStoreIsAnError) {
    LogCapture log;
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->configureWithIdentifier(std::string("short"));
    EXPECT_TRUE(log.contains("ERROR: The app identifier is invalid!"));
    EXPECT_FALSE(front->managersInitialized());
}

TEST_F(BITZizavaManagerTest, ConfigurationAndStartHappenOnce) {
    LogCapture log;
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->configureWithIdentifier(std::string(kBeta));
    front->configureWithBetaIdentifierLiveIdentifierDelegate(std::string(kLive), std::string(kLive),
                                                             {});
    front->configureWithIdentifier(std::string(kLive));
    const auto chooser = std::make_shared<LiveChooser>();
    front->configureWithIdentifierDelegate(std::string(kLive), chooser);
    EXPECT_TRUE(log.contains("The SDK should only be initialized once! This call is ignored."));
    EXPECT_EQ(front->appIdentifier(), kBeta);
    EXPECT_FALSE(front->delegate());
    front->startManager();
    front->startManager();
    EXPECT_TRUE(log.contains("startManager should only be invoked once! This call is ignored."));
}

TEST_F(BITZizavaManagerTest, ForgettingToStartIsReported) {
    LogCapture log;
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->configureWithIdentifier(std::string(kBeta));
    EXPECT_TRUE(
        log.waitFor("You did not call [[BITZizavaManager sharedZizavaManager] startManager]"));
}

TEST_F(BITZizavaManagerTest, ManagersStartInOrderWithTheirDelays) {
    LogCapture log;
    BITZizavaLogger::setCurrentLogLevel(BITLogLevelDebug);
    registerRecording(BITZizavaComponent::CrashManager, "crash");
    registerRecording(BITZizavaComponent::UpdateManager, "update");
    registerRecording(BITZizavaComponent::FeedbackManager, "feedback");
    registerRecording(BITZizavaComponent::MetricsManager, "metrics");
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->configureWithIdentifier(std::string(kBeta));
    EXPECT_EQ(identifiers["metrics"], "01234567-89ab-cdef-0123-456789abcdef");
    EXPECT_EQ(identifiers["crash"], kBeta);
    EXPECT_FALSE(front->storeUpdateManager());

    front->startManager();
    EXPECT_EQ(*started, (std::vector<std::string>{"crash", "metrics"}));
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return started->size() == 4; }, 5));
    EXPECT_EQ(*started, (std::vector<std::string>{"crash", "metrics", "update", "feedback"}));
    EXPECT_TRUE(log.contains("INFO: StoreUpdateManager is not part of this build"));
    EXPECT_FALSE(log.contains("INFO: Start StoreUpdateManager"));
}

TEST_F(BITZizavaManagerTest, TheStoreNeverStartsTheBetaUpdateAndFlagsHoldManagersBack) {
    registerRecording(BITZizavaComponent::CrashManager, "crash");
    registerRecording(BITZizavaComponent::UpdateManager, "update");
    registerRecording(BITZizavaComponent::FeedbackManager, "feedback");
    registerRecording(BITZizavaComponent::MetricsManager, "metrics");
    const auto front = BITZizavaManager::create(BITAppEnvironmentAppStore);
    front->configureWithIdentifier(std::string(kLive));
    front->setDisableCrashManager(true);
    front->setDisableMetricsManager(true);
    front->startManager();
    EXPECT_TRUE(started->empty());
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return !started->empty(); }, 5));
    runMainLoopFor(0.6);
    EXPECT_EQ(*started, (std::vector<std::string>{"feedback"}));
}

TEST_F(BITZizavaManagerTest, ServerURLGetsOneTrailingSlashAndNilRestoresTheDefault) {
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    const std::string defaultURL = front->serverURL();
    EXPECT_EQ(defaultURL, BITZizavaBaseManager::kDefaultServerURL);
    front->setServerURL(std::string("http://127.0.0.1:8080/sdk"));
    EXPECT_EQ(front->serverURL(), "http://127.0.0.1:8080/sdk/");
    EXPECT_EQ(front->zizavaAppClient()->baseURL().absoluteString(), "http://127.0.0.1:8080/sdk/");
    front->setServerURL(std::string("http://127.0.0.1:8080/other/"));
    EXPECT_EQ(front->serverURL(), "http://127.0.0.1:8080/other/");
    EXPECT_EQ(front->zizavaAppClient()->baseURL().absoluteString(), "http://127.0.0.1:8080/other/");

    front->setServerURL(std::nullopt);
    EXPECT_EQ(front->serverURL(), defaultURL);
    EXPECT_EQ(front->zizavaAppClient()->baseURL().absoluteString(), defaultURL);
    front->setServerURL(std::string(""));
    EXPECT_EQ(front->serverURL(), defaultURL);
}

TEST_F(BITZizavaManagerTest, UserFieldsLiveInTheKeychain) {
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    const auto stored = [](const char* key) {
        std::optional<NSError> error;
        return BITKeychainUtils::getPasswordForUsernameAndServiceNameError(
            std::string(key), bit_keychainServiceName(), &error);
    };
    front->setUserID(std::string("id-7"));
    front->setUserName(std::string("Ada"));
    front->setUserEmail(std::string("ada@example.org"));
    EXPECT_EQ(stored("BITZizavaMetaUserID"), "id-7");
    EXPECT_EQ(stored("BITZizavaMetaUserName"), "Ada");
    EXPECT_EQ(stored("BITZizavaMetaUserEmail"), "ada@example.org");
    EXPECT_EQ(front->userName(), "Ada");

    LogCapture log;
    front->setUserName(std::nullopt);
    front->setUserName(std::nullopt);
    EXPECT_EQ(stored("BITZizavaMetaUserName"), std::nullopt);
    EXPECT_FALSE(front->userName());
    EXPECT_TRUE(log.messages().empty());
}

TEST_F(BITZizavaManagerTest, DebugLoggingSwitchesTheLevel) {
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->setDebugLogEnabled(true);
    EXPECT_EQ(front->logLevel(), BITLogLevelDebug);
    front->setDebugLogEnabled(false);
    EXPECT_EQ(front->logLevel(), BITLogLevelWarning);
    EXPECT_EQ(BITZizavaManager::version(), "4.1.4");
    EXPECT_EQ(BITZizavaManager::build(), "99");
}

TEST_F(BITZizavaManagerTest, IntegrationTimeStringsCountForTenMinutes) {
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    EXPECT_TRUE(front->integrationFlowStartedWithTimeString(isoTime(9 * 60)));
    EXPECT_FALSE(front->integrationFlowStartedWithTimeString(isoTime(11 * 60)));
    EXPECT_TRUE(front->integrationFlowStartedWithTimeString(isoTime(-3600)));
    EXPECT_FALSE(front->integrationFlowStartedWithTimeString(std::string("yesterday")));
    EXPECT_FALSE(front->integrationFlowStartedWithTimeString(std::string("2024-13-01T00:00:00Z")));
    EXPECT_FALSE(front->integrationFlowStartedWithTimeString(std::nullopt));
    const auto store = BITZizavaManager::create(BITAppEnvironmentAppStore);
    EXPECT_FALSE(store->integrationFlowStartedWithTimeString(isoTime(60)));
}

TEST_F(BITZizavaManagerTest, TheIntegrationPingReachesTheServiceAndPassesItsChecks) {
    SdkServiceProcess service({kBeta});
    ASSERT_TRUE(service.running());
    LogCapture log;
    BITZizavaLogger::setCurrentLogLevel(BITLogLevelDebug);
    const std::string flowStart = isoTime(9 * 60);
    useTestBundleWithInfo({{"BITIntegrationFlowStartTimestamp", flowStart}});
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->setServerURL(service.baseURL());
    front->configureWithIdentifier(std::string(kBeta));
    ASSERT_TRUE(log.waitFor("INFO: Ping accepted."));
    EXPECT_TRUE(log.contains("INFO: Sending integration workflow ping to api/3/apps/" +
                             std::string(kBeta) + "/integration"));

    front->testIdentifier();
    ASSERT_TRUE(log.waitFor("INFO: Ping accepted. Server already knows."));

    const Value received = service.received();
    ASSERT_EQ(received.count(), 2u);
    for (size_t i = 0; i < received.count(); ++i) {
        const Value& exchange = *received.at(i);
        EXPECT_EQ(exchange.get("violations")->count(), 0u);
        EXPECT_EQ(*exchange.get("fields")->get("bundle_version")->get("text")->stringValue(), "42");
    }
    const auto timestamp = [&](size_t i) {
        return *received.at(i)->get("fields")->get("timestamp")->get("text")->stringValue();
    };
    EXPECT_EQ(timestamp(0), flowStart);
    EXPECT_EQ(timestamp(1).find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(BITZizavaManagerTest, AnOldIntegrationTimestampSendsNoPing) {
    SdkServiceProcess service({kBeta});
    useTestBundleWithInfo({{"BITIntegrationFlowStartTimestamp", isoTime(11 * 60)}});
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->setServerURL(service.baseURL());
    front->configureWithIdentifier(std::string(kBeta));
    runMainLoopFor(0.3);
    EXPECT_EQ(service.received().count(), 0u);
}

TEST_F(BITZizavaManagerTest, UnknownAppsAndDroppedConnectionsAreLoggedAsErrors) {
    SdkServiceProcess service;
    LogCapture log;
    const auto front = BITZizavaManager::create(BITAppEnvironmentOther);
    front->setServerURL(service.baseURL());
    front->configureWithIdentifier(std::string(kBeta));
    front->testIdentifier();
    ASSERT_TRUE(log.waitFor("ERROR: App ID not found"));
    EXPECT_EQ(*service.received().at(0)->get("status")->integerValue(), 400);

    service.dropNext();
    front->testIdentifier();
    ASSERT_TRUE(log.waitFor("ERROR: Unknown error"));
    EXPECT_TRUE(service.received().at(1)->get("dropped")->boolValue().value_or(false));

    const auto store = BITZizavaManager::create(BITAppEnvironmentAppStore);
    store->setServerURL(service.baseURL());
    store->configureWithIdentifier(std::string(kBeta));
    store->testIdentifier();
    runMainLoopFor(0.3);
    EXPECT_EQ(service.received().count(), 2u);
}
