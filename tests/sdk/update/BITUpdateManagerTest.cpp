#include "sdk/update/BITUpdateManager.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../../platform/Foundation/RecordedLaunches.h"
#include "../SdkServiceProcess.h"
#include "../SdkTestSupport.h"
#include "Dispatch/NSThread.h"
#include "Foundation/NSUserDefaults.h"
#include "Net/NSURLConnection.h"
#include "UIKit/UIWindow.h"

extern char** environ;

namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

// One build as the service lists it; the running build is "42".
std::string build(const std::string& version, int id, const std::string& extra = {}) {
    return R"({"title": "Kelvara", "version": ")" + version + R"(", "shortversion": "1.)" +
           version + R"(", "timestamp": )" + std::to_string(1700000000 + id) + R"(, "id": )" +
           std::to_string(id) + (extra.empty() ? "" : ", " + extra) + "}";
}

std::string builds(const std::vector<std::string>& versions) {
    std::string list;
    for (const auto& version : versions)
        list += (list.empty() ? "" : ",") + version;
    return R"({"company": "Kelvara Ltd", "versions": [)" + list + "]}";
}

// Records which thread the manager's changes arrive on.
struct ChangeRecorder : BITUpdateManagerObserver {
    void updateManagerDidChangeValueForKey(BITUpdateManager&, const std::string& key) override {
        keys.push_back(key);
        offMain = offMain || !NSThread::isMainThread();
    }
    std::vector<std::string> keys;
    bool offMain = false;
};

class BITUpdateManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestBundleWithInfo({});
        const auto defaults = NSUserDefaults::standardUserDefaults();
        for (const char* key :
             {"BITUpdateDateOfLastCheck", "BITUpdateArrayOfLastCheck", "BITUpdateInstalledUUID",
              "BITUpdateInstalledVersionID", "BITUpdateCurrentCompanyName",
              "BITUpdateUsageTimeForUUID", "BITUpdateDateOfVersionInstallation"})
            defaults->removeObjectForKey(key);
        ASSERT_TRUE(service_.running());
        window_->makeKeyAndVisible();
        manager_ = makeManager();
    }

    std::shared_ptr<BITUpdateManager> makeManager() {
        auto manager = std::make_shared<BITUpdateManager>(kApp, BITAppEnvironmentOther);
        manager->setServerURL(service_.baseURL());
        return manager;
    }

    // Runs one check to its end.
    void check(bool feedback = false) {
        manager_->checkForUpdateShowFeedback(feedback);
        ASSERT_TRUE(runMainLoopUntil([&] { return !manager_->checkInProgress(); }));
    }

    void dismissAlert() {
        if (const auto alert = manager_->updateAlert())
            alert->dismissWithClickedButtonIndexAnimated(alert->cancelButtonIndex(), false);
    }

    SdkServiceProcess service_;
    std::shared_ptr<UIWindow> window_ = std::make_shared<UIWindow>(CGRect{{0, 0}, {320, 568}});
    std::shared_ptr<BITUpdateManager> manager_;
};

}  // namespace

TEST_F(BITUpdateManagerTest, ANewerBuildIsAnnouncedAndTheRequestCarriesTheUsageFacts) {
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("43", 9), build("42", 8)})), 200);
    const auto recorder = std::make_shared<ChangeRecorder>();
    manager_->addObserver(recorder);
    check();
    EXPECT_TRUE(manager_->updateAvailable());
    EXPECT_EQ(manager_->companyName(), "Kelvara Ltd");
    ASSERT_EQ(manager_->appVersions().size(), 2u);
    EXPECT_EQ(manager_->newestAppVersion()->version, "43");
    const auto alert = manager_->updateAlert();
    ASSERT_TRUE(alert);
    // The test bundle leaves the SDK's texts as their keys.
    EXPECT_EQ(alert->title(), "UpdateAvailable");
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "UpdateIgnore");
    EXPECT_EQ(alert->numberOfButtons(), 2);
    // The changes reached the observer on the main thread only.
    EXPECT_FALSE(recorder->offMain);
    EXPECT_NE(std::find(recorder->keys.begin(), recorder->keys.end(), "appVersions"),
              recorder->keys.end());

    const Value received = service_.received();
    ASSERT_EQ(received.count(), 1u);
    const Value& request = *received.at(0);
    EXPECT_EQ(request.get("violations")->count(), 0u);
    EXPECT_EQ(*request.get("query")->get("app_version")->stringValue(), "42");
    EXPECT_EQ(*request.get("query")->get("uuid")->stringValue(), manager_->executableUUID());
    EXPECT_EQ(*request.get("headers")->get("User-Agent")->stringValue(), "Zizava/iOS");
}

TEST_F(BITUpdateManagerTest, OnlyASuccessfulJSONObjectFinishesACheck) {
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("43", 9)})), 200);
    check();
    dismissAlert();
    const NSDate lastCheck = NSDate::dateWithTimeIntervalSinceNow(-3600);
    manager_->setLastCheck(lastCheck);
    struct Answer {
        int status;
        const char* body;
        bool redirectsToTheCheck = false;  // a Location naming the check's own address
    };
    // Error pages (one that even looks like a reply), a proxy's HTML page,
    // JSON that is no object and a redirect, even to the builds, leave the
    // last check and the builds alone.
    const Answer answers[] = {{500, R"({"versions": []})"},
                              {502, "<html><body>Bad gateway</body></html>"},
                              {200, "<html><body>Sign in to the hotel network</body></html>"},
                              {200, R"([{"version": "44"}])"},
                              {404, "app not found"},
                              {200, ""},
                              {302, "moved", true}};
    const std::string checkURL = manager_->requestForUpdateCheck()->URL().absoluteString();
    for (const Answer& answer : answers) {
        SCOPED_TRACE(std::to_string(answer.status) + " " + answer.body);
        service_.answerNextWith(answer.status, answer.body,
                                answer.redirectsToTheCheck ? checkURL : std::string());
        check(true);
        EXPECT_EQ(manager_->lastCheck(), lastCheck);
        EXPECT_TRUE(manager_->updateAvailable());
        ASSERT_EQ(manager_->appVersions().size(), 1u);
        EXPECT_EQ(manager_->newestAppVersion()->version, "43");
        // A check asked for with feedback shows one error alert.
        ASSERT_TRUE(manager_->feedbackAlert());
        EXPECT_EQ(manager_->feedbackAlert()->title(), "UpdateError");
        manager_->feedbackAlert()->dismissWithClickedButtonIndexAnimated(0, false);
    }
}

TEST_F(BITUpdateManagerTest, InvalidRecordsAreSkippedWithOneAlertAndTheRestIsUsed) {
    ASSERT_EQ(service_.setBuilds(
                  kApp, builds({build("44", 10, R"("minimum_os_version": "999")"),
                                R"({"title": 7, "version": "43"})",
                                R"({"version": null, "title": "Kelvara"})", build("42", 8)})),
              200);
    check(true);
    // The build for a newer system and the broken ones are left out.
    ASSERT_EQ(manager_->appVersions().size(), 1u);
    EXPECT_EQ(manager_->newestAppVersion()->version, "42");
    EXPECT_FALSE(manager_->updateAvailable());
    ASSERT_TRUE(manager_->feedbackAlert());
    EXPECT_EQ(manager_->feedbackAlert()->title(), "UpdateError");
    EXPECT_FALSE(manager_->updateAlert());
}

TEST_F(BITUpdateManagerTest, AWithdrawnNewerBuildClearsTheUpdateAndInstallRefuses) {
    RecordedLaunches launches;
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("43", 9), build("41", 7)})), 200);
    check();
    dismissAlert();
    ASSERT_TRUE(manager_->updateAvailable());
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("41", 7)})), 200);
    check();
    EXPECT_FALSE(manager_->updateAvailable());
    EXPECT_FALSE(manager_->initiateAppDownload());
    runMainLoopFor(0.1);
    EXPECT_TRUE(launches.empty());
}

TEST_F(BITUpdateManagerTest, InstallOpensThePackageTheManifestNamesAndOnlyAWebOne) {
    RecordedLaunches launches;
    ASSERT_EQ(service_.setBuilds(
                  kApp, builds({build("43", 9, R"("package_url": "http://127.0.0.1:1/k.deb")"),
                                build("42", 8)})),
              200);
    check();
    dismissAlert();
    std::optional<bool> opened;
    ASSERT_TRUE(manager_->initiateAppDownload([&](bool result) { opened = result; }));
    ASSERT_TRUE(runMainLoopUntil([&] { return opened.has_value(); }));
    EXPECT_TRUE(*opened);
    EXPECT_TRUE(manager_->didStartUpdateProcess());
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].back(), "http://127.0.0.1:1/k.deb");
    EXPECT_EQ(service_.received().at(1)->get("path")->stringValue()->rfind("/app_versions/9"),
              std::string("/api/2/apps/").size() + 32);

    // A manifest that names a local file or program is not followed.
    ASSERT_EQ(service_.setBuilds(
                  kApp, builds({build("44", 10, R"("package_url": "file:///usr/bin/xterm")")})),
              200);
    check();
    dismissAlert();
    opened.reset();
    ASSERT_TRUE(manager_->initiateAppDownload([&](bool result) { opened = result; }));
    ASSERT_TRUE(runMainLoopUntil([&] { return opened.has_value(); }));
    EXPECT_FALSE(*opened);
    EXPECT_FALSE(manager_->didStartUpdateProcess());
    EXPECT_EQ(launches.size(), 1u);
}

// Where URL sessions are missing the check runs over a connection.
TEST_F(BITUpdateManagerTest, AConnectionWithTheManagerAsDelegateReachesTheSameResult) {
    LogCapture log;
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("43", 9), build("42", 8)})), 200);
    const auto request = manager_->requestForUpdateCheck();
    ASSERT_TRUE(request);
    auto connection = NSURLConnection::connectionWithRequestDelegate(*request, manager_);
    ASSERT_TRUE(runMainLoopUntil([&] { return manager_->updateAlert() != nullptr; }));
    EXPECT_TRUE(manager_->updateAvailable());
    EXPECT_EQ(manager_->companyName(), "Kelvara Ltd");
    ASSERT_EQ(manager_->appVersions().size(), 2u);
    EXPECT_EQ(manager_->newestAppVersion()->version, "43");
    dismissAlert();

    // A redirect is refused there too, and its reply is an error.
    const NSDate lastCheck = manager_->lastCheck();
    service_.answerNextWith(302, "moved", request->URL().absoluteString());
    connection = NSURLConnection::connectionWithRequestDelegate(*request, manager_);
    ASSERT_TRUE(log.waitFor("Zizava API received HTTP Status Code 302"));
    EXPECT_EQ(manager_->lastCheck(), lastCheck);
    EXPECT_EQ(service_.received().count(), 2u);
}

TEST_F(BITUpdateManagerTest, AReplyOfACheckThatIsNoLongerCurrentIsDropped) {
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("43", 9)})), 200);
    const NSDate lastCheck = manager_->lastCheck();
    manager_->checkForUpdateShowFeedback(false);
    ASSERT_TRUE(manager_->checkInProgress());
    manager_->setDisableUpdateManager(true);
    EXPECT_FALSE(manager_->checkInProgress());
    runMainLoopFor(0.5);
    EXPECT_EQ(manager_->lastCheck(), lastCheck);
    EXPECT_FALSE(manager_->updateAvailable());
}

TEST_F(BITUpdateManagerTest, TheSameVersionCountsAsAnUpdateByItsUploadOrItsBuildId) {
    // A fresh upload of the running version (a higher service id) after the
    // installed build was identified.
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("42", 8,
                                                     R"("uuids": {"x86_64": ")" +
                                                         manager_->executableUUID() + R"("})")})),
              200);
    check();
    EXPECT_FALSE(manager_->updateAvailable());
    EXPECT_EQ(manager_->versionID(), 8);
    EXPECT_EQ(manager_->versionUUID(), manager_->executableUUID());

    manager_ = makeManager();  // the next start of the same build
    EXPECT_FALSE(manager_->firstStartAfterInstall());
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("42", 9), build("42", 8)})), 200);
    check();
    EXPECT_TRUE(manager_->updateAvailable());
    dismissAlert();

    // First start of a build the service lists as an older upload.
    NSUserDefaults::standardUserDefaults()->removeObjectForKey("BITUpdateInstalledUUID");
    manager_ = makeManager();
    ASSERT_TRUE(manager_->firstStartAfterInstall());
    ASSERT_EQ(service_.setBuilds(
                  kApp, builds({build("42", 11), build("42", 10,
                                                       R"("uuids": {"x": ")" +
                                                           manager_->executableUUID() + R"("})")})),
              200);
    check();
    EXPECT_TRUE(manager_->updateAvailable());
    EXPECT_EQ(manager_->versionID(), 10);
}

TEST_F(BITUpdateManagerTest, AMandatoryBuildAlertsWithoutIgnoreAndTheCacheSurvivesARestart) {
    ASSERT_EQ(
        service_.setBuilds(kApp, builds({build("44", 10), build("43", 9, R"("mandatory": true)"),
                                         build("42", 8)})),
        200);
    check();
    EXPECT_TRUE(manager_->hasNewerMandatoryVersion());
    const auto alert = manager_->updateAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), BITUpdateManager::kMandatoryAlertTag);
    EXPECT_EQ(alert->cancelButtonIndex(), -1);
    EXPECT_EQ(alert->numberOfButtons(), 2);  // Show, Install

    const auto restarted = makeManager();
    ASSERT_EQ(restarted->appVersions().size(), 3u);
    EXPECT_EQ(restarted->appVersions()[1]->version, "43");
    EXPECT_EQ(restarted->appVersions()[1]->mandatory, true);
    EXPECT_TRUE(restarted->updateAvailable());
    EXPECT_EQ(restarted->companyName(), "Kelvara Ltd");
}

TEST_F(BITUpdateManagerTest, NoUpdateWithFeedbackSaysSoAndRepeatedAlertsFollowTheReminder) {
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("42", 8)})), 200);
    check(true);
    ASSERT_TRUE(manager_->feedbackAlert());
    EXPECT_EQ(manager_->feedbackAlert()->title(), "UpdateNoUpdateAvailableTitle");

    ASSERT_EQ(service_.setBuilds(kApp, builds({build("43", 9), build("42", 8)})), 200);
    manager_->setAlwaysShowUpdateReminder(false);
    check();
    ASSERT_TRUE(manager_->updateAlert());
    dismissAlert();
    check();
    EXPECT_FALSE(manager_->updateAlert());  // the same newest build, no reminder
    manager_->setAlwaysShowUpdateReminder(true);
    check();
    EXPECT_TRUE(manager_->updateAlert());
}

TEST_F(BITUpdateManagerTest, ChecksFollowTheSettingAndStoreBuildsAskNothing) {
    manager_->setUpdateSetting(BITUpdateCheckDaily);
    manager_->setLastCheck(NSDate::dateWithTimeIntervalSinceNow(-23 * 3600));
    EXPECT_FALSE(manager_->shouldCheckForUpdates());
    manager_->setLastCheck(NSDate::dateWithTimeIntervalSinceNow(-25 * 3600));
    EXPECT_TRUE(manager_->shouldCheckForUpdates());
    manager_->setLastCheck(NSDate::dateWithTimeIntervalSinceNow(25 * 3600));
    EXPECT_TRUE(manager_->shouldCheckForUpdates());
    manager_->setUpdateSetting(BITUpdateCheckManually);
    EXPECT_FALSE(manager_->shouldCheckForUpdates());

    for (const BITAppEnvironment environment :
         {BITAppEnvironmentAppStore, BITAppEnvironmentTestFlight}) {
        auto store = std::make_shared<BITUpdateManager>(kApp, environment);
        store->setServerURL(service_.baseURL());
        store->checkForUpdateShowFeedback(true);
        EXPECT_FALSE(store->checkInProgress());
        EXPECT_FALSE(store->initiateAppDownload());
    }
    runMainLoopFor(0.1);
    EXPECT_EQ(service_.received().count(), 0u);
}

TEST_F(BITUpdateManagerTest, UsageTimeIsReportedInWholeMinutes) {
    EXPECT_EQ(manager_->currentUsageString(), "0");
    manager_->storeUsageTimeForCurrentVersion(61);
    EXPECT_EQ(manager_->currentUsageString(), "120");
    // The file keeps it for the next start of the same build.
    EXPECT_EQ(makeManager()->currentAppVersionUsageTime(), 61);
    EXPECT_EQ(manager_->installationDateString().size(), 10u);  // MM/dd/yyyy

    // A stretch of use counts from its start; stopping begins the next one.
    manager_->setUsageStartTimestamp(NSDate::dateWithTimeIntervalSinceNow(-90));
    manager_->stopUsage();
    EXPECT_GE(manager_->currentAppVersionUsageTime(), 61 + 90);
    EXPECT_LT(manager_->currentAppVersionUsageTime(), 61 + 100);
    EXPECT_LT(NSDate::date().timeIntervalSinceDate(manager_->usageStartTimestamp()), 10);
}

namespace {

// Notes, in a file, that the application was told it will end.
struct ExitRecorder : BITUpdateManagerDelegate {
    void updateManagerWillExitApp(BITUpdateManager&) override {
        std::ofstream(std::getenv("KELVARA_EXIT_MARKER")) << "exit";
    }
};

}  // namespace

// Run by ReturningAfterTheInstallStartedEndsTheProcess in a process of its own.
TEST(BITUpdateManagerChild, ReturnAfterInstall) {
    RecordedLaunches launches;
    auto manager = std::make_shared<BITUpdateManager>(kApp, BITAppEnvironmentOther);
    manager->setServerURL(std::getenv("KELVARA_SDK_URL"));
    const auto delegate = std::make_shared<ExitRecorder>();
    manager->setUpdateDelegate(delegate);
    manager->checkForUpdateShowFeedback(false);
    ASSERT_TRUE(runMainLoopUntil([&] { return !manager->checkInProgress(); }));
    bool opened = false;
    ASSERT_TRUE(manager->initiateAppDownload([&](bool result) { opened = result; }));
    ASSERT_TRUE(runMainLoopUntil([&] { return opened; }));
    manager->didBecomeActiveActions();
    FAIL() << "the process went on";
}

TEST_F(BITUpdateManagerTest, ReturningAfterTheInstallStartedEndsTheProcess) {
    ASSERT_EQ(service_.setBuilds(kApp, builds({build("43", 9), build("42", 8)})), 200);
    const std::string marker =
        (std::filesystem::temp_directory_path() / ("kelvara-exit-" + std::to_string(getpid())))
            .string();
    std::filesystem::remove(marker);
    setenv("KELVARA_SDK_URL", service_.baseURL().c_str(), 1);
    setenv("KELVARA_EXIT_MARKER", marker.c_str(), 1);
    std::string self = "/proc/self/exe";
    std::string filter = "--gtest_filter=BITUpdateManagerChild.ReturnAfterInstall";
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);
}
