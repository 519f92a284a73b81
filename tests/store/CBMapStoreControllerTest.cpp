#include <gtest/gtest.h>

#include "Dispatch/NSTimer.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBAnnotationView.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreUpdater.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreBrowserViewController.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"
#include "store/CBMapStoreDownloadViewController.h"
#include "store/CBMapStoreMapAnnotation.h"
#include "store/CBMapStoreWorldMapViewcontroller.h"

namespace {

class Presenter : public CBMapStoreControllerProtocol {
  public:
    int hides = 0;
    void hideMapStoreController(CBMapStoreController&) override { ++hides; }
};

class CBMapStoreControllerTest : public ::testing::Test {
  protected:
    std::shared_ptr<CBMapStoreController> open() {
        auto store = CBMapStoreController::create(store_.downloads, store_.registry);
        store->setMapStoreDelegate(presenter_);
        store_.window->setRootViewController(store);
        store_.layout();
        return store;
    }
    StoreFixture store_;
    std::shared_ptr<Presenter> presenter_ = std::make_shared<Presenter>();
};

TEST_F(CBMapStoreControllerTest, AnEmptyQueueOpensOnBrowseAndEveryTabCanCloseTheStore) {
    auto store = open();
    EXPECT_EQ(store->selectedIndex(), 0);
    ASSERT_EQ(store->viewControllers().size(), 3u);
    EXPECT_EQ(store->viewControllers()[0]->tabBarItem()->title(), "Browse");
    EXPECT_EQ(store->viewControllers()[1]->tabBarItem()->title(), "World map");
    EXPECT_EQ(store->viewControllers()[1]->tabBarItem()->tag(), 2);
    EXPECT_EQ(store->viewControllers()[2]->tabBarItem()->tag(), 3);
    store->browser()->navigationItem()->rightBarButtonItem()->performAction();
    store->worldMap()->navigationItem()->rightBarButtonItem()->performAction();
    // The world map's own item, put back after a search, is another alike.
    EXPECT_NE(store->worldMap()->defaultRightButton(),
              store->worldMap()->navigationItem()->rightBarButtonItem());
    store->worldMap()->defaultRightButton()->performAction();
    store->downloads()->navigationItem()->rightBarButtonItem()->performAction();
    EXPECT_EQ(presenter_->hides, 4);
    EXPECT_EQ(store->mapStoreDelegate(), presenter_);
    EXPECT_EQ(store->downloads()->mapStoreEngine(), store->engine());
}

TEST_F(CBMapStoreControllerTest, AQueuedMapOpensTheDownloadsWithTheirBadge) {
    auto map = store_.catalogue->mapForIdentifier("liechtenstein");
    store_.faultPackage("liechtenstein", "throttle=100000");
    auto detail =
        CBMapStoreDetailVC::create(map, store_.downloads, store_.catalogue, store_.registry);
    detail->downloadMap();
    auto store = open();
    EXPECT_EQ(store->selectedIndex(), 2);
    EXPECT_EQ(store->viewControllers()[2]->tabBarItem()->badgeValue(), "1");
}

TEST_F(CBMapStoreControllerTest, TheFirstAppearanceChecksTheCatalogueAfterTwoSeconds) {
    const NSDate shown = NSDate::date();
    auto store = open();
    ASSERT_NE(store->updater(), nullptr);
    auto first = store->updater();
    auto check = store->updateCheckTimer();
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(check->isValid());
    EXPECT_DOUBLE_EQ(check->timeInterval(), 2.0);
    // Read off the schedule rather than the clock, so a slow machine cannot
    // make the check look early.
    EXPECT_GE(check->fireDate().timeIntervalSinceDate(shown), 2.0 - 1e-3);
    // A later appearance neither makes another updater nor another check.
    store->viewDidAppear(false);
    EXPECT_EQ(store->updater(), first);
    EXPECT_EQ(store->updateCheckTimer(), check);
    EXPECT_TRUE(runUntil([&] { return store_.catalogueRequests() == 1; }));
    EXPECT_FALSE(check->isValid());
}

TEST_F(CBMapStoreControllerTest, AStoreClosedBeforeItsCheckChecksNothing) {
    std::shared_ptr<NSTimer> check;
    std::weak_ptr<CBMapStoreUpdater> updater;
    {
        auto store = open();
        check = store->updateCheckTimer();
        updater = store->updater();
        store_.window->setRootViewController(nullptr);
    }
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(check->isValid());
    EXPECT_TRUE(updater.expired());
    const NSDate due = check->fireDate().dateByAddingTimeInterval(0.5);
    runUntil([&] { return NSDate::date().timeIntervalSinceDate(due) > 0; });
    EXPECT_EQ(store_.catalogueRequests(), 0u);
}

TEST_F(CBMapStoreControllerTest, OpeningAMapFromOutsideShowsItsDetailOnBrowse) {
    auto store = open();
    store->setSelectedIndex(1);
    store->openDetailForMap(store_.catalogue->mapForIdentifier("neubrandenburg"));
    EXPECT_EQ(store->selectedIndex(), 0);
    auto navigation =
        std::dynamic_pointer_cast<UINavigationController>(store->viewControllers()[0]);
    auto detail = std::dynamic_pointer_cast<CBMapStoreDetailVC>(navigation->topViewController());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->map()->identifier(), "neubrandenburg");
}

// The browser's and the world map's detail screens both load and delete the
// map's articles through the manager the store was given.
TEST_F(CBMapStoreControllerTest, EveryDetailScreenHasTheStoresWikipediaManager) {
    auto manager = CBWikipediaManager::create(store_.downloads, store_.catalogue);
    auto store = open();
    store->setWikipediaManager(manager);
    const auto map = store_.catalogue->mapForIdentifier("neubrandenburg");
    store->openDetailForMap(map);
    auto browse = std::dynamic_pointer_cast<UINavigationController>(store->viewControllers()[0]);
    auto detail = std::dynamic_pointer_cast<CBMapStoreDetailVC>(browse->topViewController());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->wikipediaManager(), manager);

    store->setSelectedIndex(1);
    store_.layout();
    auto worldMap = store->worldMap();
    ASSERT_NE(worldMap->mapView(), nullptr);
    worldMap->mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
        *worldMap->mapView(),
        std::make_shared<CBAnnotationView>(std::make_shared<CBMapStoreMapAnnotation>(map),
                                           std::nullopt),
        nullptr, nullptr);
    auto pinned = std::dynamic_pointer_cast<CBMapStoreDetailVC>(
        worldMap->navigationController()->topViewController());
    ASSERT_NE(pinned, nullptr);
    EXPECT_EQ(pinned->wikipediaManager(), manager);
}

// Standard Base64 put "/" and line breaks into the names, so most tiles were
// never cached; every name is now one path component.
TEST_F(CBMapStoreControllerTest, ATileURLNamesOneFileInTheTileCache) {
    const std::string prefix = "https://tile.example/cycle/12/2200/1343.png?apikey=";
    const std::string a = CBMapStoreController::pathForCachedTileWithUrl(prefix + "a~~~~~~~~~~");
    const std::string b = CBMapStoreController::pathForCachedTileWithUrl(prefix + "b~~~~~~~~~~");
    EXPECT_EQ(a, CBMapStoreController::pathForCachedTileWithUrl(prefix + "a~~~~~~~~~~"));
    EXPECT_NE(a, b);
    const auto slash = a.rfind('/');
    EXPECT_EQ(a.substr(0, slash).substr(a.substr(0, slash).rfind('/') + 1), "thunderforest");
    const std::string name = a.substr(slash + 1);
    EXPECT_GT(name.size(), 64u);
    EXPECT_EQ(name.find_first_of("/+=\r\n"), std::string::npos) << name;
}

}  // namespace
