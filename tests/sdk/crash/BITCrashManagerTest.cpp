// The crash manager against the local SDK service: which answers delete a
// report and which keep it, that a report leaves nothing behind once sent or
// refused, that a consent answer applies to the report asked about, and that
// a pending report survives a failed copy.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "../SdkServiceProcess.h"
#include "../SdkTestSupport.h"
#include "CrashManagerTestSupport.h"
#include "CrashTestSupport.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITChannel.h"
#include "sdk/BITZizavaAppClient.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/crash/BITCrashCoreReporter.h"

using namespace CrashManagerTestSupport;
namespace fs = std::filesystem;

namespace {

class BITCrashManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(service.running());
        clearReportFolder();
        NSUserDefaults::standardUserDefaults()->setObjectForKey(Value("42"), "BITAppVersion");
        BITZizavaManager::sharedZizavaManager()->setUserName(std::string("O'Brien & Co <x>"));
        manager = std::make_shared<BITCrashManager>(
            kAppIdentifier, BITAppEnvironmentOther,
            std::make_shared<BITZizavaAppClient>(*NSURL::URLWithString(service.baseURL())));
        manager->setServerURL(service.baseURL());
        manager->setCrashManagerDelegate(delegate);
        manager->setCrashManagerStatus(BITCrashManagerStatusAsk);
        UIApplication::sharedApplication()->becomeActive();
    }

    // One app-kill report on disk, listed as pending; answers its path.
    std::string addAppKillReport() {
        manager->createCrashReportForAppKill();
        EXPECT_TRUE(manager->hasPendingCrashReport());
        return manager->crashFiles().back();
    }

    void sendAndWait() {
        delegate->reset();
        manager->setCrashManagerStatus(BITCrashManagerStatusAutoSend);
        manager->invokeDelayedProcessing();
        ASSERT_TRUE(runMainLoopUntil([&] { return delegate->uploadEnded(); }));
    }

    size_t crashRequests() const {
        size_t count = 0;
        const Value received = service.received();
        for (const Value& exchange : *received.arrayValue())
            count += exchange.dictionaryValue()->at("path").stringValue()->ends_with("/crashes");
        return count;
    }

    SdkServiceProcess service;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<BITCrashManager> manager;
};

TEST_F(BITCrashManagerTest, OnlyTwoHundredsDeleteAndFourHundredRefuses) {
    struct Case {
        int status;
        std::string body;
        bool kept;
        long errorCode;  // 0: no error
    };
    const std::string plist = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>";
    const std::vector<Case> cases = {
        {201, plist, false, 0}, {204, "", false, 0}, {200, "", false, 2},
        {302, "", true, 3},     {400, "", false, 1}, {500, plist, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("status " + std::to_string(c.status));
        clearReportFolder();
        const std::string path = addAppKillReport();
        const size_t before = crashRequests();
        service.answerNextWith(c.status, c.body,
                               c.status == 302 ? service.baseURL() + "moved" : std::string());
        sendAndWait();
        EXPECT_EQ(fs::exists(path), c.kept);
        EXPECT_EQ(!crashKeychainItems().empty(), c.kept);
        EXPECT_EQ(delegate->finished, c.status / 100 == 2 ? 1 : 0);
        EXPECT_EQ(delegate->error ? delegate->error->code : 0, c.errorCode);
        // A redirect is never followed: the one POST is all the service sees.
        EXPECT_EQ(crashRequests(), before + 1);
        EXPECT_EQ(service.received().arrayValue()->size(), before + 1);
    }
}

TEST_F(BITCrashManagerTest, AnAnswerThatIsNotAPropertyListStillDeletesAndReportsTheParseError) {
    const std::string path = addAppKillReport();
    service.answerNextWith(201, "<html>accepted</html>");
    sendAndWait();
    EXPECT_FALSE(fs::exists(path));
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->domain, NSError::NSCocoaErrorDomain);
}

TEST_F(BITCrashManagerTest, SentAppKillReportLeavesNoFileAndNoKeychainItem) {
    addAppKillReport();
    ASSERT_EQ(crashKeychainItems().size(), 3u);   // user name, e-mail and id
    ASSERT_EQ(reportFolderEntries().size(), 2u);  // <n>.fake and <n>.meta
    sendAndWait();
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_TRUE(reportFolderEntries().empty());
    EXPECT_TRUE(crashKeychainItems().empty());
    const Value crashes = service.crashes();
    ASSERT_EQ(crashes.arrayValue()->size(), 1u);
    const auto& values =
        *crashes.arrayValue()->front().dictionaryValue()->at("values").dictionaryValue();
    EXPECT_EQ(*values.at("username").stringValue(), "O'Brien & Co <x>");
    EXPECT_NE(values.at("log").stringValue()->find("SIGKILL"), std::string::npos);
}

TEST_F(BITCrashManagerTest, DeclinedReportWithDescriptionLeavesNothing) {
    bool asked = false;
    manager->setAlertViewHandler([&] { asked = true; });
    addAppKillReport();
    manager->invokeDelayedProcessing();
    ASSERT_TRUE(asked);
    BITCrashMetaData meta;
    meta.setUserProvidedDescription(std::string("it froze"));
    EXPECT_TRUE(
        manager->handleUserInputWithUserProvidedMetaData(BITCrashManagerUserInputDontSend, meta));
    EXPECT_EQ(delegate->cancels, 1);
    EXPECT_TRUE(reportFolderEntries().empty());
    EXPECT_TRUE(crashKeychainItems().empty());
    EXPECT_EQ(crashRequests(), 0u);
    EXPECT_FALSE(manager->sendingInProgress());
}

TEST_F(BITCrashManagerTest, AVanishedReportIsDroppedAndTheNextOneStillSent) {
    const std::string vanished = addAppKillReport();
    const fs::path other = fs::path(vanished).parent_path() / "1.fake";
    fs::copy_file(vanished, other);
    fs::remove(vanished);
    sendAndWait();
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_EQ(crashRequests(), 1u);
    EXPECT_FALSE(fs::exists(other));
    EXPECT_FALSE(manager->sendingInProgress());

    // With only a vanished report left, nothing is sent and the next run may send again.
    fs::remove(addAppKillReport());
    manager->invokeDelayedProcessing();
    EXPECT_FALSE(manager->sendingInProgress());
    EXPECT_TRUE(manager->crashFiles().empty());
    addAppKillReport();
    sendAndWait();
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_EQ(crashRequests(), 2u);
}

TEST_F(BITCrashManagerTest, ConsentAnswerAppliesToTheReportAskedAboutAndOnlyOnce) {
    manager->createCrashReportForAppKill();
    std::string newer;
    for (const std::string& name : reportFolderEntries())
        newer = name.ends_with(".fake") ? name : newer;
    // An older report nobody answered for; the folder lists it first.
    const std::string older = bit_settingsDir() + "/1.fake";
    fs::copy_file(bit_settingsDir() + "/" + newer, older);
    ASSERT_TRUE(manager->hasPendingCrashReport());
    ASSERT_EQ(manager->crashFiles().front(), older);
    manager->setAlertViewHandler([] {});
    manager->invokeDelayedProcessing();
    ASSERT_EQ(manager->lastCrashFilename(), "1.fake");
    EXPECT_TRUE(manager->handleUserInputWithUserProvidedMetaData(BITCrashManagerUserInputDontSend,
                                                                 std::nullopt));
    EXPECT_FALSE(fs::exists(older));
    EXPECT_TRUE(fs::exists(bit_settingsDir() + "/" + newer));
    // The question is closed: a late second answer changes nothing.
    EXPECT_FALSE(manager->handleUserInputWithUserProvidedMetaData(BITCrashManagerUserInputDontSend,
                                                                  std::nullopt));
    EXPECT_TRUE(fs::exists(bit_settingsDir() + "/" + newer));
}

TEST_F(BITCrashManagerTest, PendingReportStaysWithTheReporterWhenItCannotBeCopied) {
    auto reporter = CrashTestSupport::makeTestReporter(0);
    ASSERT_TRUE(reporter->populateCrashReportDirectoryAndReturnError(nullptr));
    const auto live = reporter->generateLiveReportAndReturnError(nullptr);
    ASSERT_TRUE(live);
    std::ofstream(reporter->crashReportPath(), std::ios::binary)
        .write(reinterpret_cast<const char*>(live->data()), std::streamsize(live->size()));
    ASSERT_TRUE(reporter->hasPendingCrashReport());
    manager->setCrashCoreReporter(reporter);

    // The settings folder is a plain file: nothing can be written into it.
    fs::remove_all(bit_settingsDir());
    std::ofstream(bit_settingsDir()) << "in the way";
    manager->handleCrashReport();
    EXPECT_TRUE(reporter->hasPendingCrashReport());

    fs::remove(bit_settingsDir());
    fs::create_directories(bit_settingsDir());
    manager->handleCrashReport();
    EXPECT_FALSE(reporter->hasPendingCrashReport());
    EXPECT_TRUE(manager->hasPendingCrashReport());
    ASSERT_TRUE(manager->lastSessionCrashDetails());
}

TEST_F(BITCrashManagerTest, CrashTimeTelemetryWriteNeedsSomethingToWrite) {
    const std::string path = CrashTestSupport::temporaryPath("telemetry");
    bit_setTelemetryCrashFilePath(path);
    char* const saved = bit_telemetryEventBuffer.load();
    char empty[] = "";
    bit_telemetryEventBuffer = empty;
    bit_saveEventsCrashCallback(nullptr, nullptr, nullptr);
    EXPECT_FALSE(fs::exists(path));
    std::string lines(100000, 'x');
    lines += "\n";
    bit_telemetryEventBuffer = lines.data();
    bit_saveEventsCrashCallback(nullptr, nullptr, nullptr);
    bit_telemetryEventBuffer = saved;
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), lines.size());
}

TEST_F(BITCrashManagerTest, UnregisteredObserversHearNothingAndFilesLiveInTheSettingsFolder) {
    EXPECT_FALSE(manager->isSetup());
    EXPECT_EQ(manager->settingsFile(), manager->crashesDir() + "/BITCrashManager.plist");
    EXPECT_EQ(manager->analyzerInProgressFile(),
              manager->crashesDir() + "/BITCrashManager.analyzer");
    std::shared_ptr<NSNotificationObserver> none;
    manager->unregisterObserver(none);

    const auto post = [] {
        NSNotificationCenter::defaultCenter()->postNotificationName(
            UIApplicationDidReceiveMemoryWarningNotification);
    };
    manager->registerObservers();
    manager->unregisterObservers();
    post();
    runMainLoopFor(0.2);
    EXPECT_FALSE(manager->didLogLowMemoryWarning());
    manager->registerObservers();
    post();
    EXPECT_TRUE(runMainLoopUntil([&] { return manager->didLogLowMemoryWarning(); }));
    manager->unregisterObservers();
    NSUserDefaults::standardUserDefaults()->removeObjectForKey(
        "BITAppDidReceiveLowMemoryNotification");
}

TEST_F(BITCrashManagerTest, DisabledManagerFindsNothing) {
    addAppKillReport();
    auto disabled =
        std::make_shared<BITCrashManager>(kAppIdentifier, BITAppEnvironmentOther, nullptr);
    disabled->setCrashManagerStatus(BITCrashManagerStatusDisabled);
    EXPECT_FALSE(disabled->hasPendingCrashReport());
    disabled->startManager();
    EXPECT_EQ(disabled->crashCoreReporter(), nullptr);
    disabled->setCrashManagerStatus(BITCrashManagerStatusAsk);
}

}  // namespace
