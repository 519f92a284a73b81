#include <gtest/gtest.h>

#include "Foundation/NSUserDefaults.h"
#include "PackagesTestSupport.h"
#include "ShelfTestSupport.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBServerNotificationController.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "shelf/CBMapShelfCell.h"
#include "shelf/CBMapShelfViewController.h"
#include "widgets/ZELCircularProgressView.h"
#include "widgets/ZELPatternedCollectionView.h"
#include "widgets/ZELPatternedCollectionViewBackground.h"
#include "widgets/ZELToolTip.h"

namespace {

// The shelf drawn as a person sees it, against the images under
// tests/data/shelf.
class ShelfScreensReferenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZELToolTip::resetShownThisRun();
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->setIntegerForKey(0, CBMapShelfViewController::kSortingDefaultsKey);
        // The server's sample notice has been seen.
        defaults->setIntegerForKey(1L << 40, CBServerNotificationController::kLastNotificationKey);
    }
    void TearDown() override {
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
        UIScreen::mainScreen()->setBoundsSize({320, 568});
    }
    ::testing::AssertionResult looksLike(const std::string& name) {
        fixture_.settle(0.8);
        return matchesReference(fixture_.window->renderImage(1), "../shelf/" + name);
    }
    std::shared_ptr<CBMapShelfCell> cellAt(long item) {
        return std::dynamic_pointer_cast<CBMapShelfCell>(
            fixture_.shelf->collectionView()->cellForItemAtIndexPath(
                NSIndexPath::indexPathForItemInSection(item, 0)));
    }
    ShelfFixture fixture_;
};

TEST_F(ShelfScreensReferenceTest, ThreeCoversOnThePhoneInEditModeAndWhileOneLoads) {
    ASSERT_TRUE(fixture_.install("liechtenstein"));
    ASSERT_TRUE(fixture_.install("neubrandenburg"));
    fixture_.downloads->setResumeDisabled(true);
    fixture_.queue("three-rivers");
    ASSERT_TRUE(
        runUntil([&] { return fixture_.registry->mapForIdentifier("three-rivers") != nullptr; }));
    fixture_.showShelf();
    cellAt(2)->progressView()->setProgress(0.35f);
    EXPECT_TRUE(looksLike("shelf-phone"));
    fixture_.shelf->setEditingAnimated(true, false);
    EXPECT_TRUE(looksLike("shelf-phone-editing"));
}

TEST_F(ShelfScreensReferenceTest, ACoverFetchedAfterTheInstallShowsOnTheOpenShelf) {
    fixture_.showShelf();
    ZELToolTip::hideCurrentToolTip();
    // Nothing cached the cover: the install fetches it, slowly, after the
    // shelf has shown the new map with a stand-in.
    fixture_.server->fault("/mapCovers/US-MI/three-rivers.jpg", "throttle=10000");
    fixture_.queue("three-rivers");
    ASSERT_TRUE(runUntil(
        [&] {
            auto map = fixture_.registry->mapForIdentifier("three-rivers");
            return map && !map->isDownloading();
        },
        30));
    fixture_.settle(0.2);
    ASSERT_NE(cellAt(0), nullptr);
    ASSERT_FALSE(showsServedCover(*cellAt(0), "US-MI/three-rivers"));
    ASSERT_TRUE(fixture_.waitForInstall("three-rivers"));
    EXPECT_TRUE(fixture_.waitForServedCover("US-MI/three-rivers"));
    fixture_.settle();
    EXPECT_TRUE(showsServedCover(*cellAt(0), "US-MI/three-rivers"));
    EXPECT_TRUE(looksLike("shelf-fresh-cover"));
}

TEST_F(ShelfScreensReferenceTest, LargerCoversOnThePad) {
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    UIScreen::mainScreen()->setBoundsSize({768, 1024});
    fixture_.window->setFrame(CGRectMake(0, 0, 768, 1024));
    ASSERT_TRUE(fixture_.install("liechtenstein"));
    ASSERT_TRUE(fixture_.install("three-rivers"));
    fixture_.showShelf();
    EXPECT_EQ(cellAt(0)->bounds().size, CGSizeMake(120, 160));
    EXPECT_EQ(fixture_.shelf->collectionView()->pattern()->rowHeight(), 204);
    EXPECT_TRUE(looksLike("shelf-pad"));
}

}  // namespace
