#include <gtest/gtest.h>

#include "MapScreenFixture.h"
#include "UIKit/UINavigationController.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreDetailVC.h"

namespace {

// The switchers at the map's edges with the store's catalogue: its maps near
// the shown one are offered beside the installed ones.
class CBMapViewControllerSwitcherTest : public MapScreenTest {
  protected:
    // The catalogue of the application's bundle, in the test's home.
    void SetUp() override {
        MapScreenTest::SetUp();
        catalogue_ = std::make_shared<CBMapStoreEngine>();
        downloads_ = ZELDownloadManagerEngine::createWithStorePath(
            NSSearchPathForDirectory(NSSearchPathDirectory::Documents) + "/Queue.sqlite");
    }
    void TearDown() override {
        catalogue_.reset();
        downloads_.reset();
        MapScreenTest::TearDown();
    }
    void showWithCatalogue() {
        screen_ = std::make_shared<CBMapViewController>(registry_, "");
        screen_->setCatalogue(catalogue_);
        screen_->setWikipediaServices({{}, nullptr, downloads_, registry_, nullptr});
        window_ = makeWindow({320, 480});
        window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
        window_->layoutIfNeeded();
    }
    bool offers(const std::string& identifier) {
        for (const auto& info : screen_->nearbyMapInfos())
            if (info.map()->identifier() == identifier)
                return true;
        return false;
    }
    // The store page on show over the map screen.
    std::shared_ptr<CBMapStoreDetailVC> storePage() {
        auto navigation =
            std::dynamic_pointer_cast<UINavigationController>(screen_->presentedViewController());
        return navigation
                   ? std::dynamic_pointer_cast<CBMapStoreDetailVC>(navigation->topViewController())
                   : nullptr;
    }

    std::shared_ptr<CBMapStoreEngine> catalogue_;
    std::shared_ptr<ZELDownloadManagerEngine> downloads_;
};

// Liechtenstein, 755 km south of Neubrandenburg, is in the store but not
// installed: its switcher opens its store page, not the map. Three Rivers
// lies too far away to be offered. Once installed, the switcher opens it.
TEST_F(CBMapViewControllerSwitcherTest, ACatalogueMapNotInstalledOpensItsStorePage) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithCatalogue();
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return offers("liechtenstein"); }, 10));
    EXPECT_FALSE(offers("three-rivers"));
    EXPECT_FALSE(offers("neubrandenburg"));

    scrollPastBottomLeftCorner();
    play(R"(
idle
expect "755* km"
)");
    // Drawn as the switcher of an installed map is.
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../app/map-edge-switchers", 40));
    play(R"(
tap "Liechtenstein"
idle
)");
    auto page = storePage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->map()->identifier(), "liechtenstein");
    EXPECT_EQ(registry_->currentMapIdentifier(), "neubrandenburg");
    play(R"(
tap "Done"
idle
)");
    EXPECT_EQ(screen_->presentedViewController(), nullptr);

    // Installed, the map is the registry's and opens from its switcher.
    installLiechtenstein();
    screen_->userMapStoreAddedMap(*registry_, registry_->mapForIdentifier("liechtenstein"));
    ASSERT_TRUE(offers("liechtenstein"));
    const auto& offered = screen_->nearbyMapInfos().front();
    EXPECT_EQ(offered.map(), registry_->mapForIdentifier("liechtenstein"));
    screen_->switchToNearbyMap(offered);
    EXPECT_EQ(registry_->currentMapIdentifier(), "liechtenstein");
    EXPECT_EQ(screen_->presentedViewController(), nullptr);
}

// A map the registry knows but is still loading is offered by no switcher,
// though the catalogue has it near.
TEST_F(CBMapViewControllerSwitcherTest, AMapStillLoadingIsNotOffered) {
    registry_->setCurrentMap(installNeubrandenburg());
    auto loading = record("liechtenstein", "Liechtenstein", {47.271, 9.636}, {47.048, 9.471});
    loading->setIsDownloading(true);
    ASSERT_TRUE(registry_->saveChanges());
    showWithCatalogue();
    // The catalogue answers in order: once a later query is answered, the
    // screen's has been too.
    bool answered = false;
    catalogue_->mapsInBoundingBoxWithCompletionBlock(
        *screen_->mapView()->layout()->mapBoundingBox(),
        [&](const std::vector<std::shared_ptr<CBMapStoreMap>>&) { answered = true; });
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 10));
    EXPECT_TRUE(screen_->nearbyMapInfos().empty());
}

}  // namespace
