#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIAlertView.h"
#include "app/CBInstalledMapPrefill.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/MFMailComposeViewController+KelvaraSupport.h"
#include "app/NSUserDefaults+CrashInformation.h"
#include "app/UIColor+KelvaraColors.h"

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

TEST_F(CBAppServicesTest, CrashBreadcrumbsNameTheScreenAndTheMapAndRotateAtLaunch) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    CrashInformation::setCurrentViewController("CBMapViewController");
    CrashInformation::didEnterMapWithIdentifier(std::nullopt, std::nullopt);
    auto crumbs = defaults->dictionaryForKey(CrashInformation::kDictionaryKey);
    ASSERT_TRUE(crumbs);
    EXPECT_EQ(crumbs->at("vc"), Value(std::string("CBMapViewController")));
    EXPECT_FALSE(crumbs->count("map"));
    CrashInformation::didEnterMapWithIdentifier("neubrandenburg", std::nullopt);
    crumbs = defaults->dictionaryForKey(CrashInformation::kDictionaryKey);
    EXPECT_EQ(crumbs->at("map"), Value(std::string("neubrandenburg")));

    CrashInformation::rotate();
    EXPECT_FALSE(defaults->dictionaryForKey(CrashInformation::kDictionaryKey));
    auto previous = defaults->dictionaryForKey(CrashInformation::kPreviousDictionaryKey);
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous->at("vc"), Value(std::string("CBMapViewController")));
}

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

TEST_F(CBAppServicesTest, SupportMailAndStoreReviewLink) {
    auto mail = KelvaraSupport::defaultSupportMailViewController();
    ASSERT_NE(mail, nullptr);
    EXPECT_NE(KelvaraSupport::deviceSummary().find("Kelvara "), std::string::npos);
    EXPECT_NE(KelvaraSupport::cannotSendEmailAlert(), nullptr);
    EXPECT_EQ(KelvaraSupport::appStoreReviewURLForAppID("12345"),
              "itms-apps:///app/id12345?action=write-review");
    EXPECT_FALSE(KelvaraSupport::appStoreReviewURLForAppID(""));
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
