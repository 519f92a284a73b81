#include "sdk/update/BITStoreUpdateManager.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "../../platform/Foundation/RecordedLaunches.h"
#include "../SdkServiceProcess.h"
#include "../SdkTestSupport.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

class BITStoreUpdateManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestBundleWithInfo({});
        for (const char* key : {"BITStoreUpdateDateOfLastCheck", "BITStoreUpdateLastStoreVersion",
                                "BITStoreUpdateLastUUID", "BITStoreUpdateIgnoredVersion"})
            NSUserDefaults::standardUserDefaults()->removeObjectForKey(key);
        ASSERT_TRUE(service_.running());
        // The alert shows over the key window.
        window_->makeKeyAndVisible();
        manager_ = makeManager(BITAppEnvironmentAppStore);
    }

    std::shared_ptr<BITStoreUpdateManager> makeManager(BITAppEnvironment environment) {
        auto manager = std::make_shared<BITStoreUpdateManager>(kApp, environment);
        manager->setServerURL(service_.baseURL());
        manager->setEnableStoreUpdateManager(true);
        manager->setCountryCode("de");
        return manager;
    }

    // Runs one check the user asked for to its end.
    void check() {
        manager_->checkForUpdate();
        ASSERT_TRUE(runMainLoopUntil([&] { return !manager_->checkInProgress(); }));
        runMainLoopFor(0.05);  // the alert is shown from the main queue
    }

    size_t lookups() const {
        size_t count = 0;
        const Value received = service_.received();
        for (size_t i = 0; i < received.count(); ++i)
            if (received.at(i)->get("path")->stringValue()->rfind("/lookup", 0) == 0)
                ++count;
        return count;
    }

    SdkServiceProcess service_;
    std::shared_ptr<UIWindow> window_ = std::make_shared<UIWindow>(CGRect{{0, 0}, {320, 568}});
    std::shared_ptr<BITStoreUpdateManager> manager_;
};

}  // namespace

TEST_F(BITStoreUpdateManagerTest, FirstLookupSetsTheBaselineAndANewerStoreVersionAlerts) {
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.0");
    check();
    EXPECT_FALSE(manager_->updateAvailable());
    EXPECT_FALSE(manager_->updateAlert());

    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.1");
    check();
    EXPECT_TRUE(manager_->updateAvailable());
    const auto alert = manager_->updateAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->numberOfButtons(), 3);  // Ignore, Remind me, Show

    // Remind me: the next check alerts again; Ignore: never for this version.
    alert->dismissWithClickedButtonIndexAnimated(alert->firstOtherButtonIndex(), false);
    EXPECT_FALSE(manager_->updateAlertShowing());
    check();
    ASSERT_TRUE(manager_->updateAlert());
    manager_->updateAlert()->dismissWithClickedButtonIndexAnimated(
        manager_->updateAlert()->cancelButtonIndex(), false);
    check();
    EXPECT_FALSE(manager_->updateAvailable());
    EXPECT_FALSE(manager_->updateAlertShowing());
}

TEST_F(BITStoreUpdateManagerTest, ShowOpensTheStorePageThroughTheLauncher) {
    RecordedLaunches launches;
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.0");
    check();
    service_.setStoreVersion(kTestBundleIdentifier, "de", "2.0");
    check();
    const auto alert = manager_->updateAlert();
    ASSERT_TRUE(alert);
    alert->dismissWithClickedButtonIndexAnimated(alert->firstOtherButtonIndex() + 1, false);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].back(), *manager_->appStoreURLString());
    EXPECT_EQ(manager_->appStoreURLString()->rfind(service_.baseURL(), 0), 0u);
}

// The page address comes from the network; the launcher would open anything.
TEST_F(BITStoreUpdateManagerTest, ShowOpensOnlyWebPagesOfTheStoresOwnHost) {
    RecordedLaunches launches;
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.0");
    check();
    const std::string host = service_.baseURL();
    const std::vector<std::string> refused = {
        "file:///etc/passwd",
        "mailto:someone@example.org?attach=/etc/passwd",
        "/usr/share/applications/kelvara.desktop",
        "ftp://127.0.0.1/store",
        "http://example.org/store/app",
        "http://127.0.0.1@example.org/store/app",
        "javascript:alert(1)",
    };
    // A lookup answer naming this version and page (neither needs escaping).
    const auto answer = [](const std::string& version, const std::string& page) {
        return R"({"results": [{"version": ")" + version + R"(", "trackViewUrl": ")" + page +
               R"("}]})";
    };
    int minor = 1;
    for (const std::string& page : refused) {
        SCOPED_TRACE(page);
        const std::string version = "1." + std::to_string(minor++);
        service_.answerNextWith(200, answer(version, page));
        check();
        const auto alert = manager_->updateAlert();
        ASSERT_TRUE(alert);
        alert->dismissWithClickedButtonIndexAnimated(alert->firstOtherButtonIndex() + 1, false);
        EXPECT_EQ(launches.size(), 0u);
    }
    // The store's own page still opens.
    service_.answerNextWith(200, answer("2.0", host + "store/x"));
    check();
    ASSERT_TRUE(manager_->updateAlert());
    manager_->updateAlert()->dismissWithClickedButtonIndexAnimated(
        manager_->updateAlert()->firstOtherButtonIndex() + 1, false);
    EXPECT_EQ(launches.size(), 1u);
}

TEST_F(BITStoreUpdateManagerTest, ANonSuccessStatusIsATransportErrorThatKeepsTheUpdateState) {
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.0");
    check();
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.1");
    check();
    ASSERT_TRUE(manager_->updateAvailable());
    manager_->updateAlert()->dismissWithClickedButtonIndexAnimated(
        manager_->updateAlert()->firstOtherButtonIndex(), false);
    const NSDate before = *manager_->lastCheck();
    // An error page whose body looks like a reply without results.
    service_.answerNextWith(500, R"({"resultCount":0,"results":[]})");
    check();
    EXPECT_TRUE(manager_->lastCheckFailed());
    EXPECT_TRUE(manager_->updateAvailable());
    EXPECT_EQ(*manager_->lastCheck(), before);
}

TEST_F(BITStoreUpdateManagerTest, TestBuildsAndDisabledManagersAskNothing) {
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.0");
    for (const BITAppEnvironment environment :
         {BITAppEnvironmentTestFlight, BITAppEnvironmentOther}) {
        manager_ = makeManager(environment);
        manager_->checkForUpdate();
        EXPECT_FALSE(manager_->checkInProgress());
    }
    manager_ = makeManager(BITAppEnvironmentAppStore);
    manager_->setEnableStoreUpdateManager(false);
    manager_->checkForUpdate();
    EXPECT_FALSE(manager_->checkInProgress());
    runMainLoopFor(0.1);
    EXPECT_EQ(lookups(), 0u);
}

TEST_F(BITStoreUpdateManagerTest, AutomaticChecksKeepTheirInterval) {
    manager_->setLastCheck(NSDate::dateWithTimeIntervalSinceNow(-6 * 86400));
    EXPECT_FALSE(manager_->shouldAutoCheckForUpdates());
    manager_->setLastCheck(NSDate::dateWithTimeIntervalSinceNow(-8 * 86400));
    EXPECT_TRUE(manager_->shouldAutoCheckForUpdates());
    manager_->setUpdateSetting(0);
    manager_->setLastCheck(NSDate::dateWithTimeIntervalSinceNow(2 * 86400));
    EXPECT_TRUE(manager_->shouldAutoCheckForUpdates());
    manager_->setUpdateSetting(2);
    EXPECT_FALSE(manager_->shouldAutoCheckForUpdates());
}

TEST_F(BITStoreUpdateManagerTest, ANewBuildDropsTheBaseline) {
    auto& defaults = *NSUserDefaults::standardUserDefaults();
    defaults.setObjectForKey(Value("0.9"), "BITStoreUpdateLastStoreVersion");
    defaults.setObjectForKey(Value("another build"), "BITStoreUpdateLastUUID");
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.0");
    check();
    EXPECT_FALSE(manager_->updateAvailable());
    EXPECT_EQ(defaults.stringForKey("BITStoreUpdateLastStoreVersion"), "1.0");
}

namespace {

struct StoreUpdateRecorder : BITStoreUpdateManagerDelegate {
    void detectedUpdateFromStoreUpdateManagerNewVersionStoreURL(
        BITStoreUpdateManager&, const std::string& newVersion,
        const std::string& storeURL) override {
        heard.emplace_back(newVersion, storeURL);
    }
    std::vector<std::pair<std::string, std::string>> heard;
};

std::string storeReply(const std::string& version) {
    return R"({"results":[{"version":")" + version +
           R"(","trackViewUrl":"https://store.example/app"}]})";
}

}  // namespace

TEST_F(BITStoreUpdateManagerTest, TheDelegateHearsOfANewerVersionThatThenCountsAsShown) {
    const auto recorder = std::make_shared<StoreUpdateRecorder>();
    manager_->setStoreDelegate(recorder);
    manager_->setUpdateUIEnabled(false);
    EXPECT_TRUE(manager_->processStoreResponseWithString(storeReply("1.0")));
    EXPECT_TRUE(recorder->heard.empty());
    EXPECT_TRUE(manager_->processStoreResponseWithString(storeReply("1.1")));
    ASSERT_EQ(recorder->heard.size(), 1u);
    EXPECT_EQ(recorder->heard[0].first, "1.1");
    EXPECT_EQ(recorder->heard[0].second, "https://store.example/app");
    EXPECT_EQ(manager_->userDefaults(), NSUserDefaults::standardUserDefaults());
    EXPECT_EQ(manager_->userDefaults()->stringForKey("BITStoreUpdateIgnoredVersion"), "1.1");
}

// The version comes from the network and is shown in the alert: a huge one
// is cut to a version's length at a whole character, not laid out whole.
TEST_F(BITStoreUpdateManagerTest, AHugeAnswerIsLoggedInShortAndItsVersionCutAtAWholeCharacter) {
    service_.setStoreVersion(kTestBundleIdentifier, "de", "1.0");
    check();
    std::string huge = "9.1";
    while (huge.size() < 200 * 1024)
        huge += "\xC3\xA9";  // two bytes each: the cut falls inside one
    const std::string answer = R"({"results": [{"version": ")" + huge + R"(", "trackViewUrl": ")" +
                               service_.baseURL() + R"(store/x"}]})";
    service_.answerNextWith(200, answer);
    // The answer is logged (as a warning) by its start and length only.
    std::vector<std::string> logged;
    BITZizavaLogger::setLogHandler([&](const BITZizavaLogger::MessageProvider& provider,
                                       BITLogLevel level, const char*, const char*, unsigned) {
        if (level <= BITZizavaLogger::currentLogLevel())
            logged.push_back(provider());
    });
    check();
    BITZizavaLogger::setLogHandler(BITZizavaLogger::defaultLogHandler);
    const auto response = std::find_if(logged.begin(), logged.end(), [](const std::string& text) {
        return text.rfind("INFO: Received API response: ", 0) == 0;
    });
    ASSERT_NE(response, logged.end());
    EXPECT_LT(response->size(), kLoggedBodyBytes + 100);
    EXPECT_NE(response->find("... (" + std::to_string(answer.size()) + " bytes)"),
              std::string::npos);
    const auto alert = manager_->updateAlert();
    ASSERT_TRUE(alert);
    const std::string version = manager_->newStoreVersion().value_or("");
    EXPECT_EQ(version, huge.substr(0, 63));
    EXPECT_LT(alert->message().size(), 1024u);
}
