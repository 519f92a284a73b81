#include <gtest/gtest.h>

#include "Foundation/NSUserDefaults.h"
#include "PackagesTestSupport.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadStatus.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "store/CBMapStoreDownloadCell.h"
#include "store/CBMapStoreDownloadViewController.h"
#include "widgets/CBButtonGridView.h"
#include "widgets/ZELRoundedGradientButton.h"

namespace {

// The download list on screen over the engine of a home with its own server.
class CBMapStoreDownloadViewControllerTest : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        for (auto identifier : {"neubrandenburg", "liechtenstein", "three-rivers"})
            publish(samplePackage(identifier), identifier);
        screen_ = CBMapStoreDownloadViewController::createWithDownloadManager(engine_, nullptr);
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
        window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
        window_->makeKeyAndVisible();
        layout();
    }
    void TearDown() override {
        window_.reset();
        screen_.reset();
        DownloadTestBase::TearDown();
    }
    void layout() { window_->layoutIfNeeded(); }
    std::shared_ptr<CBMapStoreDownloadCell> cell(long row) {
        layout();
        return std::dynamic_pointer_cast<CBMapStoreDownloadCell>(
            screen_->tableView()->cellForRowAtIndexPath(
                NSIndexPath::indexPathForRowInSection(row, 0)));
    }
    std::string detail(long row) {
        auto c = cell(row);
        return c ? c->detailTextLabel()->text() : "";
    }
    std::shared_ptr<UIBarButtonItem> toggle() {
        return screen_->navigationItem()->leftBarButtonItem();
    }

    std::shared_ptr<CBMapStoreDownloadViewController> screen_;
    std::shared_ptr<UIWindow> window_;
};

TEST_F(CBMapStoreDownloadViewControllerTest, AnEmptyQueueSaysSoAndCannotBeResumed) {
    EXPECT_EQ(screen_->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_EQ(screen_->tableViewTitleForFooterInSection(*screen_->tableView(), 0),
              "\n\n\nNo current downloads\n\n\n");
    EXPECT_EQ(toggle()->title(), "Resume");
    EXPECT_FALSE(toggle()->isEnabled());
    EXPECT_FALSE(screen_->tabBarItem()->badgeValue());
    EXPECT_EQ(screen_->tabBarItem()->tag(), 3);
}

TEST_F(CBMapStoreDownloadViewControllerTest, TheFooterButtonChecksTheServerForANewCatalogue) {
    auto crumbs =
        NSUserDefaults::standardUserDefaults()->dictionaryForKey(CrashInformation::kDictionaryKey);
    ASSERT_TRUE(crumbs);
    EXPECT_EQ(crumbs->at("vc"), Value(std::string("CBMapStoreDownloadViewController")));

    auto footer =
        std::dynamic_pointer_cast<CBButtonGridView>(screen_->tableView()->tableFooterView());
    ASSERT_NE(footer, nullptr);
    ASSERT_EQ(footer->subviews().size(), 1u);
    auto button = std::dynamic_pointer_cast<ZELRoundedGradientButton>(footer->subviews()[0]);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->gradientButtonStyle(), 2);
    EXPECT_EQ(button->titleForState(UIControlStateNormal), "Update map store");
    // The grid gives it the width with its margins.
    EXPECT_EQ(button->frame().origin.x, CBButtonGridView::kMargin);
    EXPECT_EQ(button->frame().size.width,
              footer->bounds().size.width - 2 * CBButtonGridView::kMargin);

    EXPECT_EQ(screen_->lastUpdater(), nullptr);
    const CGRect frame = button->convertRectToView(button->bounds(), nullptr);
    TouchDriver(window_).tap(CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame)));
    EXPECT_NE(screen_->lastUpdater(), nullptr);
}

TEST_F(CBMapStoreDownloadViewControllerTest, AThrottledDownloadShowsMegabytesPausesAndResumes) {
    server_->fault(packagePath("neubrandenburg"), "throttle=200000");
    auto first = add("neubrandenburg");
    add("liechtenstein");
    EXPECT_EQ(screen_->tabBarItem()->badgeValue(), "2");
    EXPECT_EQ(detail(0), "Waiting");
    EXPECT_NE(cell(0)->cancelButton(), nullptr);

    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return first->bytesLoaded().value_or(0) > 100000; }));
    ASSERT_TRUE(runUntil([&] { return detail(0).find(" MB") != std::string::npos; }));
    EXPECT_NE(detail(0).find(" of "), std::string::npos) << detail(0);
    EXPECT_GT(cell(0)->progressView()->progress(), 0.0f);
    EXPECT_EQ(toggle()->title(), "Pause");

    toggle()->performAction();
    ASSERT_TRUE(runUntil([&] { return !engine_->isDownloading(); }));
    EXPECT_EQ(toggle()->title(), "Resume");
    EXPECT_TRUE(toggle()->isEnabled());
    // Both rows of the held queue wait again, the stopped one with the
    // bytes it has.
    EXPECT_EQ(detail(0), "Waiting");
    EXPECT_EQ(detail(1), "Waiting");
    EXPECT_GT(cell(0)->progressView()->progress(), 0.0f);

    server_->clearFaults();
    toggle()->performAction();
    ASSERT_TRUE(waitForRemoval("neubrandenburg", 120));
    bool resumedWithRange = false;
    for (const Value& entry : server_->log()) {
        const Value* path = entry.get("path");
        const Value* range = entry.get("range");
        if (path && path->stringValue() && *path->stringValue() == packagePath("neubrandenburg") &&
            range && range->stringValue() && !range->stringValue()->empty())
            resumedWithRange = true;
    }
    EXPECT_TRUE(resumedWithRange);
    ASSERT_TRUE(waitForRemoval("liechtenstein", 120));
    EXPECT_FALSE(screen_->tabBarItem()->badgeValue());
    EXPECT_EQ(screen_->tableView()->numberOfRowsInSection(0), 0);
}

// A row's cancel button cancels the download it shows even after a row
// above it went away and the rows moved up.
TEST_F(CBMapStoreDownloadViewControllerTest, CancelNamesItsDownloadAfterARowAboveIsRemoved) {
    auto first = add("neubrandenburg");
    add("liechtenstein");
    add("three-rivers");
    EXPECT_EQ(screen_->tabBarItem()->badgeValue(), "3");
    auto lastButton = cell(2)->cancelButton();
    ASSERT_NE(lastButton, nullptr);
    ASSERT_EQ(cell(2)->textLabel()->text(), "three-rivers");

    // The engine removes the first row without a table reload.
    screen_->downloadManagerWillRemove(*engine_, first);
    engine_->cancelDownloads({first});
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
    EXPECT_EQ(screen_->tabBarItem()->badgeValue(), "2");

    lastButton->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    EXPECT_NE(engine_->downloadForIdentifierOfType("liechtenstein", "map"), nullptr);
    EXPECT_EQ(engine_->downloadForIdentifierOfType("three-rivers", "map"), nullptr);
}

TEST_F(CBMapStoreDownloadViewControllerTest, AFailedDownloadSaysWhyAndIsRetriedFromTheBar) {
    server_->fault(packagePath("neubrandenburg"), "status=500");
    auto download = add("neubrandenburg");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(download, 6));
    ASSERT_TRUE(runUntil([&] { return detail(0) == "Failed: the map store refused the file"; }));
    EXPECT_EQ(cell(0)->detailTextLabel()->textColor(),
              UIColor::colorWithRedGreenBlueAlpha(1.0, 0.25, 0.25, 1.0));
    EXPECT_NE(cell(0)->cancelButton(), nullptr);
    // Nothing else is left to go on with: the bar retries.
    EXPECT_EQ(toggle()->title(), "Retry");
    server_->clearFaults();
    toggle()->performAction();
    EXPECT_EQ(toggle()->title(), "Pause");
    ASSERT_TRUE(waitForRemoval("neubrandenburg", 120));
}

// A record whose address is not on the map store is refused with a reason
// on its row, and nothing is asked of any server.
TEST_F(CBMapStoreDownloadViewControllerTest, ARecordNamingAnotherHostIsRefusedOnItsRow) {
    auto download = engine_->addDownload({.url = "http://elsewhere.example/map/DE/x.zip",
                                          .destinationPath = mapsFolder(),
                                          .identifier = "elsewhere",
                                          .type = "map",
                                          .title = "Elsewhere"});
    engine_->resumeDownloads();
    ASSERT_TRUE(
        runUntil([&] { return detail(0) == "Failed: its address is not on the map store"; }));
    EXPECT_EQ(cell(0)->textLabel()->text(), "Elsewhere");
    EXPECT_TRUE(server_->log().empty());
}

TEST(CBMapStoreDownloadCellTest, WithoutCoverTheBadgeAndTextsMoveIn) {
    CBMapStoreDownloadCell cell("Cell");
    cell.setFrame(CGRectMake(0, 0, 320, 66));
    cell.textLabel()->setText("Liechtenstein");
    cell.detailTextLabel()->setText("Waiting");
    cell.layoutSubviews();
    EXPECT_EQ(cell.secondaryImageView()->frame(), CGRectMake(5, 18, 30, 30));
    EXPECT_GE(cell.textLabel()->frame().origin.x, 40);
    EXPECT_EQ(cell.detailTextLabel()->frame().origin.x, cell.textLabel()->frame().origin.x);
    EXPECT_EQ(cell.progressView()->frame().origin.y, 50);

    cell.setShowsCancelButton(true);
    auto first = cell.cancelButton();
    cell.setShowsCancelButton(true);
    EXPECT_NE(cell.cancelButton(), first);
    cell.setShowsCancelButton(false);
    EXPECT_EQ(cell.cancelButton(), nullptr);
}

}  // namespace

namespace {

// Several screens follow one download: its failure is one alert, and the
// next failure after that alert was read is told again.
TEST_F(CBMapStoreDownloadViewControllerTest, OneFailureIsOneAlertWhoeverReportsIt) {
    ZELDownloadStatus lost;
    lost.phase = ZELDownloadPhase::Failed;
    lost.failure = ZELDownloadFailure::ConnectionLost;
    const auto alerts = [&] {
        std::vector<std::shared_ptr<UIAlertView>> up;
        for (const auto& view : window_->subviews())
            if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view);
                alert && alert->isVisible())
                up.push_back(alert);
        return up;
    };
    CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload(lost);
    CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload(lost);
    auto up = alerts();
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up.front()->title(), "Connection error");

    up.front()->dismissWithClickedButtonIndexAnimated(0, false);
    CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload(lost);
    EXPECT_EQ(alerts().size(), 1u);
}

}  // namespace
