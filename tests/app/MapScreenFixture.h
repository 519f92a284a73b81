#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "Host/HostScenario.h"
#include "QuartzCore/CATiledLayer.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIWindow.h"
#include "app/CBMapEdgeOrnamentView.h"
#include "app/CBMapViewController.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/MapkitTestSupport.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "platform/UIKit/UIKitTestSupport.h"

// The map screen as the application has it: a home of its own, the bundle
// with the rendered icons, and an installed-maps registry whose maps are the
// packages the build made, recorded with their boxes.
class MapScreenTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        NSSetApplicationHome(home_.path());
        NSUserDefaults::resetStandardUserDefaults();
        NSUserDefaults::standardUserDefaults()->setBoolForKey(true, "km");
        installApplicationBundle(home_.file("bundle"), KELVARA_GENERATED_RESOURCES);
        CBCoordinatePathValueTransformer::registerTransformer();
        namespace fs = std::filesystem;
        const std::string documents = NSSearchPathForDirectory(NSSearchPathDirectory::Documents);
        fs::create_directories(documents);
        registry_ = std::make_shared<CBUserMapStoreEngine>(documents + "/" +
                                                           CBUserMapStoreEngine::kStoreFileName);
    }
    void TearDown() override {
        // The map is kept until what it still draws is drawn and written to
        // the tile cache, while the home is the test's: late tiles would land
        // in the user's cache.
        auto map = screen_ ? screen_->mapView() : nullptr;
        window_.reset();
        screen_.reset();
        registry_.reset();
        // What the screen left running ends while the home is still the test's.
        UIKitTest::TearDown();
        settleTiles(map);
        map.reset();
        NSBundle::setMainBundlePath("");
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
    }

    static void settleTiles(const std::shared_ptr<CBMapScrollView>& map) {
        if (!map)
            return;
        auto tiles = map->mapView()
                         ? std::dynamic_pointer_cast<CATiledLayer>(map->mapView()->layer())
                         : nullptr;
        NSRunLoop::mainRunLoop()->runUntil([&] { return !tiles || tiles->pendingTileCount() == 0; },
                                           10);
        if (auto cache = map->displayManager() ? map->displayManager()->diskCache() : nullptr)
            cache->waitUntilIdle();
    }

    // The registry's record of a map, with its box.
    std::shared_ptr<CBMapStoreMap> record(const std::string& identifier, const std::string& name,
                                          CLLocationCoordinate2D ne, CLLocationCoordinate2D sw) {
        auto map = std::dynamic_pointer_cast<CBMapStoreMap>(
            registry_->managedObjectContext()->insertNewObjectForEntityForName("map"));
        map->setValueForKey("identifier", Value(identifier));
        map->setValueForKey("name", Value(name));
        map->setDateAdded(NSDate::date());
        map->setValueForKey("NELatitude", Value(ne.latitude));
        map->setValueForKey("NELongitude", Value(ne.longitude));
        map->setValueForKey("SWLatitude", Value(sw.latitude));
        map->setValueForKey("SWLongitude", Value(sw.longitude));
        EXPECT_TRUE(registry_->saveChanges());
        return map;
    }
    // Copies the built package into the maps folder and records it.
    std::shared_ptr<CBMapStoreMap> install(const std::string& identifier, const std::string& name,
                                           CLLocationCoordinate2D ne, CLLocationCoordinate2D sw) {
        namespace fs = std::filesystem;
        const fs::path built = fs::path(samplePackageStore()).parent_path().parent_path() /
                               identifier / (identifier + ".sqlite");
        auto map = record(identifier, name, ne, sw);
        const fs::path installed = *map->filePath();
        fs::create_directories(installed.parent_path());
        fs::copy_file(built, installed);
        return map;
    }
    std::shared_ptr<CBMapStoreMap> installNeubrandenburg() {
        return install("neubrandenburg", "Neubrandenburg", {53.6153, 13.4074}, {53.4382, 13.1094});
    }
    std::shared_ptr<CBMapStoreMap> installLiechtenstein() {
        return install("liechtenstein", "Liechtenstein", {47.271, 9.636}, {47.048, 9.471});
    }
    std::shared_ptr<CBMapStoreMap> installThreeRivers() {
        return install("three-rivers", "Three Rivers", {41.9984, -85.5812}, {41.9254, -85.6516});
    }

    // The map screen in a navigation controller in a phone-sized window.
    void show() {
        screen_ = std::make_shared<CBMapViewController>(registry_, "");
        window_ = makeWindow({320, 480});
        window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
        window_->layoutIfNeeded();
    }
    // The first object of the shown map's data with that name.
    std::shared_ptr<CBGeoObject> objectNamed(const std::string& name) {
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {name});
        request.fetchLimit = 1;
        auto found =
            screen_->mapView()->dataManager()->managedObjectContext()->executeFetchRequest(request);
        return found && !found->empty() ? std::dynamic_pointer_cast<CBGeoObject>(found->front())
                                        : nullptr;
    }
    void play(const std::string& script) {
        auto result = HostRunScenario(window_, script);
        EXPECT_TRUE(result.passed) << result.message;
    }
    // Plays frames, the test's clock moving with them, until `done`; false
    // after `seconds` of them.
    bool playUntil(const std::function<bool()>& done, double seconds = 30) {
        for (double played = 0; !done(); played += 0.1) {
            if (played >= seconds)
                return false;
            play("wait 0.1");
        }
        return true;
    }
    // The whole map, scrolled past its bottom-left corner so that the frame
    // beyond the bottom and left edges shows.
    void scrollPastBottomLeftCorner() {
        auto map = screen_->mapView();
        map->setZoomScale(map->minimumZoomScale());
        const CGFloat reach = CBMapEdgeOrnamentView::kThickness;
        map->setContentOffset(
            {-reach, map->contentSize().height + reach - map->bounds().size.height});
    }

    TemporaryFolder home_;
    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::shared_ptr<CBMapViewController> screen_;
    std::shared_ptr<UIWindow> window_;
};

// The map screen with the application's one bookmarks manager.
class MapScreenWithBookmarksTest : public MapScreenTest {
  protected:
    void SetUp() override {
        MapScreenTest::SetUp();
        bookmarks_ = CBBookmarksManager::create();
    }
    void TearDown() override {
        bookmarks_.reset();
        MapScreenTest::TearDown();
    }
    // `fallback`: the map shown while nothing installed opens (the sample).
    void showWithBookmarks(CGSize size = {320, 568}, const std::string& fallback = "") {
        screen_ = std::make_shared<CBMapViewController>(
            registry_, fallback, CBCurrentMap::create(registry_, bookmarks_, nullptr));
        window_ = makeWindow(size);
        window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
        window_->layoutIfNeeded();
    }

    std::shared_ptr<CBBookmarksManager> bookmarks_;
};
