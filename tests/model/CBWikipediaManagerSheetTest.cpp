#include <gtest/gtest.h>

#include "Foundation/NSUserDefaults.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "model/WikipediaTestSupport.h"

namespace {

class CBWikipediaManagerSheetTest : public WikipediaTestBase {
  protected:
    void SetUp() override {
        WikipediaTestBase::SetUp();
        UIScreen::mainScreen()->setScale(2);
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        CAFrameClock::shared().setManual(true);
        window_ = std::make_shared<UIWindow>(CGRect{CGPointZero, {320, 568}});
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        CAFrameClock::shared().advance(10);
        CAFrameClock::shared().setManual(false);
        window_.reset();
        WikipediaTestBase::TearDown();
    }
    std::shared_ptr<UIWindow> window_;
};

}  // namespace

TEST_F(CBWikipediaManagerSheetTest, TheLanguageSheetQueuesThePackageOfTheChosenLanguage) {
    const auto neubrandenburg = map("neubrandenburg");
    // Without statistics yet there is no sheet; they arrive from the server.
    manager_->startDownloadForMapInView(neubrandenburg, window_);
    EXPECT_FALSE(findView<UIActionSheet>(window_));
    ASSERT_TRUE(runUntil(
        [&] { return manager_->wikipediaAvailableForDownloadForMapIdentifier("neubrandenburg"); },
        10.0));
    manager_->startDownloadForMapInView(nullptr, window_);
    manager_->startDownloadForMapInView(neubrandenburg, nullptr);
    EXPECT_FALSE(findView<UIActionSheet>(window_));

    manager_->changeCurrentMapTo(neubrandenburg);
    manager_->startDownloadForMapInView(neubrandenburg, window_);
    auto sheet = findView<UIActionSheet>(window_);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(manager_->mapToDownload(), neubrandenburg);
    ASSERT_EQ(sheet->numberOfButtons(), 2);
    EXPECT_EQ(sheet->cancelButtonIndex(), 1);
    EXPECT_FALSE(sheet->buttonTitleAtIndex(0).empty());
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "Cancel");

    sheet->dismissWithClickedButtonIndexAnimated(0, false);
    EXPECT_FALSE(manager_->mapToDownload());
    const auto download = engine_->downloadForIdentifierOfType("neubrandenburg", "wikipedia");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->destinationPath(), CBWikipediaManager::basePathForWikipedia());
    EXPECT_EQ(download->subTitle(), "Wikipedia");
    EXPECT_DOUBLE_EQ(download->progressReservedForPostProcessing(), 0.05);
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
    EXPECT_TRUE(manager_->wikipediaAvailable());
}

TEST_F(CBWikipediaManagerSheetTest, CancellingTheSheetQueuesNothing) {
    const auto neubrandenburg = map("neubrandenburg");
    manager_->wikipediaAvailableForDownloadForMapIdentifier("neubrandenburg");
    ASSERT_TRUE(runUntil(
        [&] { return manager_->wikipediaAvailableForDownloadForMapIdentifier("neubrandenburg"); },
        10.0));
    manager_->startDownloadForMapInView(neubrandenburg, window_);
    auto sheet = findView<UIActionSheet>(window_);
    ASSERT_TRUE(sheet);
    sheet->dismissWithClickedButtonIndexAnimated(sheet->cancelButtonIndex(), false);
    EXPECT_FALSE(manager_->mapToDownload());
    EXPECT_EQ(engine_->currentQueueLength(), 0u);
}

TEST_F(CBWikipediaManagerSheetTest, TheWalkWarningShowsOnce) {
    CBWikipediaManager::displayWalkWarningIfNeeded();
    auto alert = findView<UIAlertView>(window_);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Mind the traffic");
    ASSERT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "OK");
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults()->boolForKey(
        "CBWikipediaManagerDidDisplazWalkWarning"));
    alert->dismissWithClickedButtonIndexAnimated(0, false);
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(findView<UIAlertView>(window_));
    CBWikipediaManager::displayWalkWarningIfNeeded();
    EXPECT_FALSE(findView<UIAlertView>(window_));
}
