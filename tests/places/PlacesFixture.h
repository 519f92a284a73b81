#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UINavigationController.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBOpenMap.h"
#include "model/CBCurrentMap.h"
#include "model/PlaceStoreFixture.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlacesHost.h"

// The map screen as the place screens see it, recording what they ask of it.
class RecordingPlacesHost : public CBPlacesHost {
  public:
    struct Shown {
        std::optional<NSManagedObjectID> object;
        std::optional<NSManagedObjectID> address;
        bool isBookmark = false;
    };
    void showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        const std::optional<NSManagedObjectID>& object,
        const std::optional<NSManagedObjectID>& address, bool isBookmark) override {
        shown.push_back({object, address, isBookmark});
    }
    void dismissPopoverAnimated(bool) override { ++popoverDismissals; }

    std::vector<Shown> shown;
    int popoverDismissals = 0;
};

// The place store of the sample city shown as the current map (with the
// fixture's bookmarks), and the map screen's stand-in that records what the
// place screens ask of it.
class PlacesTest : public PlaceStoreTest {
  protected:
    void SetUp() override {
        PlaceStoreTest::SetUp();
        host_ = std::make_shared<RecordingPlacesHost>();
        currentMap_ = CBCurrentMap::create(nullptr, bookmarks_, nullptr);
        showMap(storePath_);
    }
    void TearDown() override {
        window_.reset();
        navigation_.reset();
        host_.reset();
        currentMap_.reset();
        PlaceStoreTest::TearDown();
    }
    // Shows the store as the current map, as the map screen does.
    void showMap(const std::string& path) {
        auto map = CBOpenMap::openStorePath(path);
        ASSERT_NE(map, nullptr) << path;
        currentMap_->showOpenMap(std::move(map));
    }

    // The screen pushed over a first screen, as the map screen pushes it,
    // in a phone-sized window.
    std::shared_ptr<CBGeoObjectDetailVC> show(
        const std::function<void(CBGeoObjectDetailVC&)>& configure) {
        auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host_, currentMap_);
        screen->setDataManager(map_);
        screen->setIsOnMap(true);
        configure(*screen);
        navigation_ =
            std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
        window_ = makeWindow({320, 568});
        window_->setRootViewController(navigation_);
        window_->layoutIfNeeded();
        navigation_->pushViewControllerAnimated(screen, false);
        window_->layoutIfNeeded();
        return screen;
    }
    std::shared_ptr<CBGeoObjectDetailVC> showResult(std::shared_ptr<CBGeoSearchResult> result) {
        return show([&](CBGeoObjectDetailVC& screen) { screen.setObject(result); });
    }

    std::shared_ptr<RecordingPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::shared_ptr<UINavigationController> navigation_;
    std::shared_ptr<UIWindow> window_;
};
