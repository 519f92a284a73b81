#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "app/CBInstalledMapPrefill.h"
#include "app/CBKelvaraLink.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/MFMailComposeViewController+KelvaraSupport.h"
#include "app/NSURL+AppStore.h"
#include "location/CBLocationManager.h"
#include "mapkit/MapkitTestSupport.h"
#include "widgets/UIColor+KelvaraColors.h"

namespace {

// The user defaults of a home of the test's own.
class CBAppServicesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ =
            std::filesystem::temp_directory_path() / ("kelvara-app-" + std::to_string(::getpid()));
        std::filesystem::create_directories(home_);
        NSSetApplicationHome(home_.string());
        NSUserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        std::filesystem::remove_all(home_);
    }
    std::filesystem::path home_;
};

TEST_F(CBAppServicesTest, TheReviewPromptWaitsForTwentyLaunchesAndAsksOnce) {
    CBKelvaraSharedAppDelegate delegate({});
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setIntegerForKey(20, "numShelfViews-v202");
    EXPECT_FALSE(delegate.canAskForAutoreview());
    defaults->setIntegerForKey(21, "numShelfViews-v202");
    EXPECT_TRUE(delegate.canAskForAutoreview());
    delegate.setAskedForAutoreview(true);
    EXPECT_FALSE(delegate.canAskForAutoreview());
}

TEST_F(CBAppServicesTest, TheShellPausesTheLocationServiceWhileInactiveOrInTheBackground) {
    auto application = UIApplication::sharedApplication();
    auto previous = application->delegate();
    application->setDelegate(std::make_shared<CBKelvaraSharedAppDelegate>(CBLaunchOptions{}));
    application->becomeActive();
    auto service = CBLocationManager::sharedInstance();
    service->startUpdatingLocation();

    application->resignActive();
    EXPECT_FALSE(service->isUpdating());
    application->becomeActive();  // resumes, silently at first
    EXPECT_TRUE(service->isUpdating());
    EXPECT_FALSE(service->notifyDelegatesOfErrors());

    application->enterBackground();
    EXPECT_FALSE(service->isUpdating());
    application->enterForeground();
    EXPECT_TRUE(service->isUpdating());
    // Errors are reported again a second after the program is active.
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return service->notifyDelegatesOfErrors(); }, 5.0));

    service->stopUpdatingLocation();
    application->setDelegate(previous);
}

TEST_F(CBAppServicesTest, OnlyTheApplicationsOwnLinksAreItsToOpen) {
    EXPECT_TRUE(CBKelvaraLink::isKelvaraLink("kelvara2://?ll=53.55,13.26"));
    EXPECT_TRUE(CBKelvaraLink::isKelvaraLink("KELVARA2://?ll=53.55,13.26"));
    EXPECT_FALSE(CBKelvaraLink::isKelvaraLink("https://berlin-nb.de/"));
    EXPECT_FALSE(CBKelvaraLink::isKelvaraLink("kelvara"));
    // A web page a screen opens goes to the desktop: the delegate does not
    // take it for a broken link of its own and says nothing.
    CBKelvaraSharedAppDelegate delegate({});
    auto application = UIApplication::sharedApplication();
    ASSERT_NE(application, nullptr);
    LogCapture log;
    EXPECT_FALSE(delegate.applicationOpenURL(*application, "https://berlin-nb.de/"));
    EXPECT_FALSE(log.contains("broken link"));
    EXPECT_FALSE(delegate.applicationOpenURL(*application, "kelvara2://?ll=north"));
    EXPECT_TRUE(log.contains("broken link"));
}

TEST_F(CBAppServicesTest, SupportMailAndStoreReviewLink) {
    auto mail = KelvaraSupport::cb_defaultSupportMailViewController();
    ASSERT_NE(mail, nullptr);
    EXPECT_NE(KelvaraSupport::deviceSummary().find("Kelvara "), std::string::npos);
    EXPECT_NE(KelvaraSupport::cb_cannotSendEmailAlert(), nullptr);
    EXPECT_EQ(zel_appStoreReviewURLForAppID("12345"),
              "https://apps.kelvara.invalid/app/12345?action=write-review");
    EXPECT_FALSE(zel_appStoreReviewURLForAppID(""));
}

TEST_F(CBAppServicesTest, AMapWhoseStoreCannotBeOpenedIsDoneAtOnceAfterItsInstall) {
    bool done = false;
    CBInstalledMapPrefillStep()(
        nullptr, false, [](double) {}, [&] { done = true; });
    EXPECT_TRUE(done);
}

TEST(KelvaraColors, WalkAndPinColours) {
    EXPECT_EQ(KelvaraColors::walkStopLast(), KelvaraColors::walkAccentColor());
    EXPECT_FALSE(KelvaraColors::pinColorBookmark());
    EXPECT_EQ(KelvaraColors::pinColorGuide(),
              UIColor::colorWithRedGreenBlueAlpha(0.9804, 0.2235, 0.1843, 1));
}

}  // namespace
