#include <gtest/gtest.h>

#include "PackagesTestSupport.h"
#include "QuartzCore/CAFrameClock.h"
#include "StoreTestSupport.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "UIKit/UIWindow.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "store/CBMapStoreBrowserViewController.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"
#include "widgets/ZELToolTip.h"

namespace {

// The store's screens drawn as a person sees them, against the images under
// tests/data/store.
class StoreScreensReferenceTest : public ::testing::Test {
  protected:
    ::testing::AssertionResult looksLike(const std::string& name,
                                         const std::function<void()>& settle = nullptr) {
        // Let fades and pushes begin, then end, before drawing: a busy
        // machine stretches them.
        runUntil([] { return false; }, 0.8);
        runUntil([] { return !CAFrameClock::shared().isSettling(); }, 30);
        if (settle)
            settle();
        store_.layout();
        return matchesReference(store_.window->renderImage(1), "../store/" + name);
    }
    StoreFixture store_;
};

TEST_F(StoreScreensReferenceTest, TheBrowserFromTheWorldToGermany) {
    auto store = CBMapStoreController::create(store_.downloads, store_.registry);
    store_.window->setRootViewController(store);
    EXPECT_TRUE(looksLike("browse-root"));

    auto root = store->browser();
    auto table = root->tableView();
    table->delegate()->tableViewDidSelectRowAtIndexPath(
        *table, NSIndexPath::indexPathForRowInSection(1, 0));
    EXPECT_TRUE(looksLike("browse-europe"));
    auto europe = std::dynamic_pointer_cast<CBMapStoreBrowserViewController>(
        root->navigationController()->topViewController());
    ASSERT_NE(europe, nullptr);
    europe->tableView()->delegate()->tableViewDidSelectRowAtIndexPath(
        *europe->tableView(), NSIndexPath::indexPathForRowInSection(0, 0));
    auto germany = std::dynamic_pointer_cast<CBMapStoreBrowserViewController>(
        root->navigationController()->topViewController());
    ASSERT_NE(germany, nullptr);
    ASSERT_TRUE(runUntil([&] {
        auto cell = germany->tableView()->dataSource()->tableViewCellForRowAtIndexPath(
            *germany->tableView(), NSIndexPath::indexPathForRowInSection(0, 0));
        return cell->accessoryView() != nullptr;
    }));
    germany->tableView()->reloadData();
    EXPECT_TRUE(looksLike("browse-germany"));
}

TEST_F(StoreScreensReferenceTest, TheDetailOfLiechtensteinAndItsQueuedDownload) {
    auto map = store_.catalogue->mapForIdentifier("liechtenstein");
    auto detail =
        CBMapStoreDetailVC::create(map, store_.downloads, store_.catalogue, store_.registry);
    store_.show(detail);
    ASSERT_TRUE(runUntil(
        [&] { return detail->mapInfoIsValid() && detail->mapCoverView()->image() != nullptr; }));
    // The version is the day the store content was built: keep the pictures
    // independent of it.
    auto fixVersion = [&] { detail->generalMapStats()->setText("Version of <build day>, 3.6 MB"); };
    EXPECT_TRUE(looksLike("detail-liechtenstein", fixVersion));

    store_.downloads->setResumeDisabled(true);
    detail->downloadMap();
    EXPECT_TRUE(looksLike("detail-liechtenstein-pending", fixVersion));

    auto store = CBMapStoreController::create(store_.downloads, store_.registry);
    store_.window->setRootViewController(store);
    EXPECT_TRUE(looksLike("downloads-waiting"));
}

TEST_F(StoreScreensReferenceTest, TheInstalledSampleOffersItsWikipediaArticles) {
    auto wikipedia = CBWikipediaManager::create(store_.downloads, store_.catalogue);
    store_.install("neubrandenburg");
    // The cover's hint shows once per run: here always.
    ZELToolTip::resetShownThisRun();
    auto detail =
        CBMapStoreDetailVC::create(store_.catalogue->mapForIdentifier("neubrandenburg"),
                                   store_.downloads, store_.catalogue, store_.registry, wikipedia);
    store_.show(detail);
    ASSERT_TRUE(runUntil(
        [&] { return detail->mapInfoIsValid() && detail->mapCoverView()->image() != nullptr; }));
    auto fixVersion = [&] {
        detail->generalMapStats()->setText("Version of <build day>, 10.1 MB");
    };
    EXPECT_TRUE(looksLike("detail-neubrandenburg-installed", fixVersion));
}

}  // namespace
