#include <gtest/gtest.h>

#include "CoreLocation/CLFixedLocationSource.h"
#include "Foundation/NSUserDefaults.h"
#include "PackagesTestSupport.h"
#include "ShelfTestSupport.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfCell.h"
#include "shelf/CBMapShelfViewController.h"
#include "store/CBMapStoreController.h"
#include "widgets/ZELCircularProgressView.h"
#include "widgets/ZELPatternedCollectionView.h"
#include "widgets/ZELToolTip.h"

namespace {

std::vector<std::string> names(const CBMapShelfViewController& shelf) {
    std::vector<std::string> result;
    for (const auto& map : *shelf.maps())
        result.push_back(map->localName());
    return result;
}

class CBMapShelfViewControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZELToolTip::resetShownThisRun();
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    }
    void TearDown() override { ZELToolTip::hideCurrentToolTip(); }
    void installThree() {
        ASSERT_TRUE(fixture_.install("three-rivers"));
        ASSERT_TRUE(fixture_.install("liechtenstein"));
        ASSERT_TRUE(fixture_.install("neubrandenburg"));
    }
    std::shared_ptr<CBMapShelfCell> cellAt(long item) {
        return std::dynamic_pointer_cast<CBMapShelfCell>(
            fixture_.shelf->collectionView()->cellForItemAtIndexPath(
                NSIndexPath::indexPathForItemInSection(item, 0)));
    }
    void tapItem(long item) {
        auto view = fixture_.shelf->collectionView();
        view->delegate()->collectionViewDidSelectItemAtIndexPath(
            *view, NSIndexPath::indexPathForItemInSection(item, 0));
    }
    ShelfFixture fixture_;
};

TEST_F(CBMapShelfViewControllerTest, AnEmptyShelfOffersOnlyTheStore) {
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    EXPECT_TRUE(shelf.maps()->empty());
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 1);
    auto add = cellAt(0);
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->label()->text(), "Add map");
    EXPECT_FALSE(add->canShowAccessoryButtons());
    auto sort = shelf.sortSegmentedControl();
    ASSERT_NE(sort, nullptr);
    EXPECT_FALSE(sort->isEnabled());
    EXPECT_EQ(sort->alpha(), 0);
    // Without location use there is no distance order.
    EXPECT_EQ(sort->numberOfSegments(), 2);
    EXPECT_NE(ZELToolTip::currentToolTip(), nullptr);
    // Showing the shelf forgets the current map, so the next start shows it.
    EXPECT_FALSE(fixture_.registry->currentMapIdentifier());

    tapItem(0);
    fixture_.settle();
    EXPECT_NE(std::dynamic_pointer_cast<CBMapStoreController>(shelf.presentedViewController()),
              nullptr);
}

TEST_F(CBMapShelfViewControllerTest, SortsByNameAndRecentUseAndFiltersBySearch) {
    installThree();
    auto& defaults = *NSUserDefaults::standardUserDefaults();
    defaults.setIntegerForKey(0, CBMapShelfViewController::kSortingDefaultsKey);
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    EXPECT_EQ(names(shelf),
              (std::vector<std::string>{"Liechtenstein", "Neubrandenburg", "Three Rivers"}));
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 4);
    EXPECT_TRUE(shelf.sortSegmentedControl()->isEnabled());
    EXPECT_EQ(shelf.sortSegmentedControl()->selectedSegmentIndex(), 1);
    EXPECT_EQ(cellAt(0)->label()->text(), "Liechtenstein");
    EXPECT_EQ(cellAt(3)->label()->text(), "Add map");

    // The most recently used first.
    fixture_.registry->setCurrentMap(fixture_.registry->mapForIdentifier("three-rivers"));
    fixture_.registry->setCurrentMap(fixture_.registry->mapForIdentifier("neubrandenburg"));
    shelf.sortSegmentedControl()->setSelectedSegmentIndex(0);
    shelf.sortSegmentedControl()->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(shelf.shelfSortType(), CBMapShelfViewController::SortByRecent);
    EXPECT_EQ(defaults.integerForKey(CBMapShelfViewController::kSortingDefaultsKey), 1);
    EXPECT_EQ(names(shelf)[0], "Neubrandenburg");
    EXPECT_EQ(names(shelf)[1], "Three Rivers");

    // A later word may start with the text; case and accents do not count;
    // the text inside a word does not match.
    shelf.searchBar()->setText("RÍV");
    shelf.searchBarTextDidChange(*shelf.searchBar(), "RÍV");
    EXPECT_EQ(names(shelf), (std::vector<std::string>{"Three Rivers"}));
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 2);
    shelf.searchBar()->setText("stein");
    shelf.searchBarTextDidChange(*shelf.searchBar(), "stein");
    EXPECT_TRUE(names(shelf).empty());
    // A hidden map has no cover to return to.
    EXPECT_EQ(shelf.rectForMapWithIdentifierScrollToViewIfNeeded("liechtenstein", true),
              CGRectZero);
    shelf.searchBarCancelButtonClicked(*shelf.searchBar());
    EXPECT_EQ(names(shelf).size(), 3u);
    EXPECT_EQ(shelf.searchBar()->text(), "");
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 4);
    EXPECT_EQ(shelf.rectForMapWithIdentifierScrollToViewIfNeeded("liechtenstein", false),
              shelf.collectionView()
                  ->layoutAttributesForItemAtIndexPath(
                      *shelf.indexPathForMap(shelf.mapForIdentifier("liechtenstein")))
                  ->frame);
    EXPECT_EQ(shelf.rectForMapWithIdentifierScrollToViewIfNeeded(std::nullopt, false), CGRectZero);
}

}  // namespace
