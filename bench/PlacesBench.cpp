// The place screen of the sample city's restaurant "Berlin" in a phone-sized
// window at screen scale 2: time from making the screen to its first
// complete frame (the header map's tiles drawn, from a warm disk tile cache);
// and adding and deleting a bookmark, each with its save.
//
// The package comes from <build>/packages, the bundle from <build>/app/resources.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/NSRunLoop.h"
#include "FirstScreenSupport.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostRenderer.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBMapScrollView.h"
#include "places/CBBookmarksManager.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlacesHost.h"

namespace {

namespace fs = std::filesystem;

constexpr double kScale = 2.0;

// The map screen as the place screen sees it.
class BenchHost : public CBPlacesHost {
  public:
    std::shared_ptr<CBBookmarksManager> bookmarksManager() override { return bookmarks; }
    std::optional<std::string> currentMapStorePath() override { return storePath; }
    std::optional<std::string> currentStylePlistPath() override { return std::nullopt; }
    std::optional<std::string> currentMapTitle() override { return std::string("Neubrandenburg"); }
    std::optional<std::string> currentMapCountry() override { return std::nullopt; }
    void showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        const std::optional<NSManagedObjectID>&, const std::optional<NSManagedObjectID>&,
        bool) override {}
    void dismissPopoverAnimated(bool) override {}

    std::shared_ptr<CBBookmarksManager> bookmarks;
    std::string storePath;
};

// A home of its own with the sample city open and its bookmark store.
struct PlacesHome {
    PlacesHome() {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath((bench::buildDirectory() / "app" / "resources").string());
        UIScreen::mainScreen()->setScale(kScale);
        NSSetApplicationHome(bench::freshHome("places").string());
        host = std::make_shared<BenchHost>();
        host->storePath =
            (bench::buildDirectory() / "packages" / "neubrandenburg" / "neubrandenburg.sqlite")
                .string();
        map = CBGeoDataManager::create();
        map->addPersistentStoreCoordinatorWithPath(host->storePath);
        host->bookmarks = CBBookmarksManager::create();
        host->bookmarks->setupForMapWithIdentifier(std::string("neubrandenburg"));
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name == 'Berlin'");
        request.fetchLimit = 1;
        auto found = map->managedObjectContext()->executeFetchRequest(request);
        if (found && !found->empty())
            berlin = CBGeoSearchResult::geoSearchResultWithObject(
                std::dynamic_pointer_cast<CBGeoObject>(found->front()));
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        navigation = std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
    }
    ~PlacesHome() {
        navigation.reset();
        window.reset();
        map.reset();
        host.reset();
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
    }

    // The screen made, pushed and drawn whole, the header pin included.
    void showBerlin(HostRenderer& renderer) {
        auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host);
        screen->setDataManager(map);
        screen->setIsOnMap(true);
        screen->setObject(berlin);
        navigation->pushViewControllerAnimated(screen, false);
        NSRunLoop::mainRunLoop()->runUntil(
            [&] { return !screen->headerMapScrollView()->annotations().empty(); }, 1);
        benchmark::DoNotOptimize(renderer.snapshot());
    }

    std::shared_ptr<BenchHost> host;
    std::shared_ptr<CBGeoDataManager> map;
    std::shared_ptr<CBGeoSearchResult> berlin;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UINavigationController> navigation;
};

void BM_OpenPlaceScreenWarmCache(benchmark::State& state) {
    PlacesHome home;
    if (!home.berlin) {
        state.SkipWithError("the sample package has no Berlin");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    // A first opening fills the disk tile cache with the header's tiles.
    home.showBerlin(renderer);
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.5));
    for (auto _ : state) {
        state.PauseTiming();
        home.navigation->popToRootViewControllerAnimated(false);
        renderer.renderFrame(true);
        state.ResumeTiming();
        home.showBerlin(renderer);
    }
}
BENCHMARK(BM_OpenPlaceScreenWarmCache)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_AddBookmarkAndSave(benchmark::State& state) {
    PlacesHome home;
    auto& bookmarks = *home.host->bookmarks;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bookmarks.addBookmarkForSearchResult(home.berlin));
        state.PauseTiming();
        bookmarks.deleteBookmarkForSearchResult(home.berlin);
        bookmarks.saveChanges();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddBookmarkAndSave)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_DeleteBookmarkAndSave(benchmark::State& state) {
    PlacesHome home;
    auto& bookmarks = *home.host->bookmarks;
    for (auto _ : state) {
        state.PauseTiming();
        bookmarks.addBookmarkForSearchResult(home.berlin);
        state.ResumeTiming();
        bookmarks.deleteBookmarkForSearchResult(home.berlin);
        bookmarks.saveChanges();
    }
}
BENCHMARK(BM_DeleteBookmarkAndSave)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace
