// The place screens of the sample city in a phone-sized window at screen
// scale 2, each timed from its making to its first complete frame (a header
// map's tiles drawn, from a warm disk tile cache): the restaurant "Berlin",
// the same restaurant with the tests' sample restaurant guide, the stop "Am
// Treptower Tor" with its bus lines, the line "Diakonie - Busbahnhof" with its
// highlighted route and 58 stops, the 128 house numbers of "Verdiring" (the
// sample's longest list) and the places along "Friedrich-Engels-Ring"; a
// bookmark with a megabyte note, alone and with its note's editor open; and
// adding and deleting a bookmark, each with its save.
//
// The package comes from <build>/packages, the bundle from <build>/app/resources.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/NSRunLoop.h"
#include "FirstScreenSupport.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostRenderer.h"
#include "TopTableFixture.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBOpenMap.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "model/CBTopTableFiles.h"
#include "places/CBBookmarkEditorVC.h"
#include "places/CBGeoObjectAdressesTable.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBGeoObjectNearbyPOITable.h"
#include "places/CBGeoRelationDetailVC.h"
#include "places/CBPlacesHost.h"

namespace {

namespace fs = std::filesystem;

constexpr double kScale = 2.0;

// The map screen as the place screen sees it.
class BenchHost : public CBPlacesHost {
  public:
    void showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        const std::optional<NSManagedObjectID>&, const std::optional<NSManagedObjectID>&,
        bool) override {}
    void dismissPopoverAnimated(bool) override {}
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
        storePath =
            (bench::buildDirectory() / "packages" / "neubrandenburg" / "neubrandenburg.sqlite")
                .string();
        map = CBGeoDataManager::create();
        map->addPersistentStoreCoordinatorWithPath(storePath);
        current = CBCurrentMap::create(nullptr, CBBookmarksManager::create(), nullptr);
        current->showOpenMap(CBOpenMap::openStorePath(storePath));
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
        current.reset();
        host.reset();
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
    }

    // The map's object of that name (the first, or the one with the most
    // addresses: a street may be several objects).
    std::shared_ptr<CBGeoObject> object(const std::string& name) {
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value(name)});
        map->restrictFetchRequestToMapStores(request);
        auto found = map->managedObjectContext()->executeFetchRequest(request);
        std::shared_ptr<CBGeoObject> chosen;
        for (const auto& row : found.value_or(std::vector<std::shared_ptr<NSManagedObject>>{}))
            if (auto candidate = std::dynamic_pointer_cast<CBGeoObject>(row);
                !chosen || candidate->addresses().size() > chosen->addresses().size())
                chosen = candidate;
        return chosen;
    }
    std::shared_ptr<CBGeoRelation> relation(const std::string& name) {
        NSFetchRequest request("relation");
        request.predicate = NSPredicate::predicateWithFormat("name == %@", {Value(name)});
        request.fetchLimit = 1;
        auto found = map->managedObjectContext()->executeFetchRequest(request);
        return found && !found->empty() ? std::dynamic_pointer_cast<CBGeoRelation>(found->front())
                                        : nullptr;
    }
    // Opens the sample's copy with the tests' sample restaurant guide instead.
    bool openWithGuide() {
        const fs::path folder =
            fs::path(NSSearchPathForDirectory(NSSearchPathDirectory::Documents)) / "maps" /
            "neubrandenburg";
        fs::create_directories(folder);
        const std::string copy = (folder / "neubrandenburg.sqlite").string();
        std::error_code ignored;
        fs::copy_file(storePath, copy, fs::copy_options::overwrite_existing, ignored);
        if (!TopTableFixture::writeGuideForMapStore(copy, nullptr))
            return false;
        storePath = copy;
        current->showOpenMap(CBOpenMap::openStorePath(copy));
        map = CBGeoDataManager::create();
        map->addPersistentStoreCoordinatorWithPath(copy);
        berlin = CBGeoSearchResult::geoSearchResultWithObject(object("Berlin"));
        return CBTopTableOpenGuideForMapStorePath(*map, copy);
    }

    // The screen made, pushed and drawn whole, the header pin included.
    void showPlace(HostRenderer& renderer, const std::shared_ptr<CBGeoSearchResult>& place) {
        auto screen = CBGeoObjectDetailVC::initWithDefaultNib(host, current);
        screen->setDataManager(map);
        screen->setIsOnMap(true);
        screen->setObject(place);
        navigation->pushViewControllerAnimated(screen, false);
        NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                return !screen->headerMapScrollView()->annotationsHost()->annotations().empty();
            },
            1);
        benchmark::DoNotOptimize(renderer.snapshot());
    }
    void showBerlin(HostRenderer& renderer) { showPlace(renderer, berlin); }
    // Any other screen made, pushed and drawn whole.
    void show(HostRenderer& renderer, const std::shared_ptr<UIViewController>& screen) {
        navigation->pushViewControllerAnimated(screen, false);
        benchmark::DoNotOptimize(renderer.snapshot());
    }

    std::shared_ptr<BenchHost> host;
    std::shared_ptr<CBCurrentMap> current;
    std::string storePath;
    std::shared_ptr<CBGeoDataManager> map;
    std::shared_ptr<CBGeoSearchResult> berlin;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UINavigationController> navigation;
};

// Times `open` from the second opening on: the first fills the disk tile
// cache with the header map's tiles.
void timeOpenings(benchmark::State& state, PlacesHome& home, HostRenderer& renderer,
                  const std::function<void()>& open) {
    open();
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.5));
    for (auto _ : state) {
        state.PauseTiming();
        home.navigation->popToRootViewControllerAnimated(false);
        renderer.renderFrame(true);
        state.ResumeTiming();
        open();
    }
}

void BM_OpenPlaceScreenWarmCache(benchmark::State& state) {
    PlacesHome home;
    if (!home.berlin) {
        state.SkipWithError("the sample package has no Berlin");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    timeOpenings(state, home, renderer, [&] { home.showBerlin(renderer); });
}
BENCHMARK(BM_OpenPlaceScreenWarmCache)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenRestaurantGuideScreenWarmCache(benchmark::State& state) {
    PlacesHome home;
    if (!home.openWithGuide()) {
        state.SkipWithError("the sample guide could not be written");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    timeOpenings(state, home, renderer, [&] { home.showBerlin(renderer); });
}
BENCHMARK(BM_OpenRestaurantGuideScreenWarmCache)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenStopScreenWarmCache(benchmark::State& state) {
    PlacesHome home;
    auto stop = home.object("Am Treptower Tor");
    if (!stop) {
        state.SkipWithError("the sample package has no Am Treptower Tor");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    auto place = CBGeoSearchResult::geoSearchResultWithObject(stop);
    timeOpenings(state, home, renderer, [&] { home.showPlace(renderer, place); });
}
BENCHMARK(BM_OpenStopScreenWarmCache)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenLineScreenWarmCache(benchmark::State& state) {
    PlacesHome home;
    auto line = home.relation("Diakonie - Busbahnhof");
    if (!line) {
        state.SkipWithError("the sample package has no line Diakonie - Busbahnhof");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    timeOpenings(state, home, renderer, [&] {
        auto screen = CBGeoRelationDetailVC::initWithDefaultNib(home.host, home.current);
        screen->setRelation(line);
        screen->setIsOnMap(true);
        screen->setDataManager(home.map);
        home.show(renderer, screen);
    });
    state.counters["stops"] =
        double(line->stops().value_or(std::vector<std::shared_ptr<CBGeoObject>>{}).size());
}
BENCHMARK(BM_OpenLineScreenWarmCache)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenStreetAddressList(benchmark::State& state) {
    PlacesHome home;
    auto street = home.object("Verdiring");
    if (!street) {
        state.SkipWithError("the sample package has no Verdiring");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    timeOpenings(state, home, renderer, [&] {
        auto list = std::make_shared<CBGeoObjectAdressesTable>(home.host);
        list->setObject(street);
        home.show(renderer, list);
    });
    state.counters["addresses"] = double(
        street->sortedAddresses().value_or(std::vector<std::shared_ptr<CBGeoAddress>>{}).size());
}
BENCHMARK(BM_OpenStreetAddressList)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_OpenPlacesAlongStreet(benchmark::State& state) {
    PlacesHome home;
    auto street = home.object("Friedrich-Engels-Ring");
    if (!street) {
        state.SkipWithError("the sample package has no Friedrich-Engels-Ring");
        return;
    }
    HostRenderer renderer(home.window, kScale);
    timeOpenings(state, home, renderer, [&] {
        auto list = std::make_shared<CBGeoObjectNearbyPOITable>(home.host, home.current);
        list->setObject(street);
        list->setDataManager(home.map);
        home.show(renderer, list);
    });
}
BENCHMARK(BM_OpenPlacesAlongStreet)->Unit(benchmark::kMillisecond)->Iterations(50);

// Times opening the place screen of a bookmark of Berlin whose note is a
// megabyte of text in one paragraph, and with the editor the note's editor
// on it, its caret at the note's end.
void timeLongNoteOpenings(benchmark::State& state, bool withEditor) {
    PlacesHome home;
    auto bookmark =
        home.berlin ? home.current->bookmarks()->addBookmarkForSearchResult(home.berlin) : nullptr;
    if (!bookmark) {
        state.SkipWithError("no bookmark of Berlin");
        return;
    }
    std::string note;
    while (note.size() < (size_t{1} << 20))
        note += "Booked the corner table for eight, ask for Mirko. ";
    setBookmarkDescription(*bookmark, note);
    const auto result = home.current->bookmarks()->searchResultObjectForGeoObject(bookmark);
    HostRenderer renderer(home.window, kScale);
    timeOpenings(state, home, renderer, [&] {
        home.showPlace(renderer, result);
        if (withEditor) {
            auto editor = CBBookmarkEditorVC::initEditDescription(true);
            editor->setBookmark(bookmark);
            home.show(renderer, editor);
        }
    });
}

// The place screen shows the note's first lines.
void BM_OpenBookmarkWithLongNote(benchmark::State& state) {
    timeLongNoteOpenings(state, false);
}
BENCHMARK(BM_OpenBookmarkWithLongNote)->Unit(benchmark::kMillisecond)->Iterations(5);

// The editor lays out only the lines at the caret.
void BM_OpenNoteEditorWithLongNote(benchmark::State& state) {
    timeLongNoteOpenings(state, true);
}
BENCHMARK(BM_OpenNoteEditorWithLongNote)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AddBookmarkAndSave(benchmark::State& state) {
    PlacesHome home;
    auto& bookmarks = *home.current->bookmarks();
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
    auto& bookmarks = *home.current->bookmarks();
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
