// Speed of the geo store's interactive questions on the sample city package
// (Neubrandenburg): type-ahead search per keystroke, the object nearest to a
// tap, objects in a zoom-14 box, and the map tiles of a zoom-15 screen.
//
// The package comes from <build>/packages (KELVARA_PACKAGES_DIR overrides),
// the resources from the source tree named in <build>/CMakeCache.txt
// (KELVARA_RESOURCES overrides).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string packagePath() {
    const char* configured = getenv("KELVARA_PACKAGES_DIR");
    std::filesystem::path directory =
        configured ? std::filesystem::path(configured) : bench::buildDirectory() / "packages";
    return (directory / "neubrandenburg" / "neubrandenburg.sqlite").string();
}

// One manager over the package for the whole run.
std::shared_ptr<CBGeoDataManager> openPackage(benchmark::State& state) {
    static std::shared_ptr<CBGeoDataManager> manager;
    if (!manager) {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath(bench::resourcesPath());
        auto opened = CBGeoDataManager::create();
        if (std::filesystem::is_regular_file(packagePath()) &&
            opened->addPersistentStoreCoordinatorWithPath(packagePath())) {
            manager = opened;
        }
    }
    if (!manager)
        state.SkipWithError("sample package missing: build the map_packages target");
    return manager;
}

// Slippy-map tile numbers of a coordinate.
std::pair<int64_t, int64_t> tileOf(CLLocationCoordinate2D place, int zoom) {
    double n = std::ldexp(1.0, zoom);
    double phi = place.latitude * M_PI / 180;
    return {static_cast<int64_t>((place.longitude + 180) / 360 * n),
            static_cast<int64_t>(n * (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / M_PI) / 2)};
}

constexpr CLLocationCoordinate2D kCentre{53.5575, 13.2610};

// Real street and place names of the city, typed one character at a time.
const std::vector<std::string> kTypedNames = {"Adlerstraße",
                                              "Neustrelitzer Straße",
                                              "Unkel-Bräsig-Straße",
                                              "Friedrich-Engels-Ring",
                                              "Woldegker Straße 40",
                                              "Stargarder Tor",
                                              "Treptower Tor",
                                              "Jahnsportforum",
                                              "Hochschule Neubrandenburg",
                                              "Datzeberg"};

void BM_TypeAheadKeystroke(benchmark::State& state) {
    auto manager = openPackage(state);
    if (!manager)
        return;
    std::vector<double> milliseconds;
    size_t hits = 0;
    for (auto _ : state) {
        for (const std::string& name : kTypedNames) {
            manager->cancelSearch();
            for (const std::string& typed : bench::prefixes(name)) {
                bool answered = false;
                auto start = Clock::now();
                bool accepted =
                    manager->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
                        typed, true, false, [&](const CBGeoDataManager::SearchResults& results) {
                            answered = true;
                            hits += results.size();
                        });
                if (!accepted)
                    continue;  // a trailing space: nothing new to search
                NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 10.0);
                milliseconds.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
        }
    }
    bench::reportKeystrokes(state, std::move(milliseconds), hits);
}
BENCHMARK(BM_TypeAheadKeystroke)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ClosestObjectToTap(benchmark::State& state) {
    auto manager = openPackage(state);
    if (!manager)
        return;
    // Taps a few metres off the named places of the city centre.
    auto [x, y] = tileOf(kCentre, 13);
    auto request =
        manager->requestForObjectsInBBox(CBGeoDataManager::boundingBoxForMapTileWithXYZ(x, y, 13));
    request->predicate = NSPredicate::andPredicateWithSubpredicates(
        {request->predicate, NSPredicate::predicateWithFormat("name != nil")});
    std::vector<CLLocationCoordinate2D> places;
    if (auto objects = manager->managedObjectContext()->executeFetchRequest(*request)) {
        for (const auto& object : *objects) {
            places.push_back({object->doubleForKey("latitude").value_or(0) + 0.00003,
                              object->doubleForKey("longitude").value_or(0) - 0.00003});
        }
    }
    if (places.empty()) {
        state.SkipWithError("no named places in the centre");
        return;
    }
    size_t next = 0, found = 0;
    for (auto _ : state) {
        bool answered = false;
        manager->searchForClosestObjectToWithCompletionBlock(
            places[next++ % places.size()], [&](const std::shared_ptr<CBGeoObject>& object) {
                answered = true;
                found += object != nullptr;
            });
        NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 10.0);
    }
    state.counters["places"] = static_cast<double>(places.size());
    state.counters["found_ratio"] =
        static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ClosestObjectToTap)->Unit(benchmark::kMillisecond);

void BM_ObjectsInZoom14Box(benchmark::State& state) {
    auto manager = openPackage(state);
    if (!manager)
        return;
    auto [x, y] = tileOf(kCentre, 14);
    auto box = CBGeoDataManager::boundingBoxForMapTileWithXYZ(x, y, 14);
    auto request = manager->requestForObjectsInBBox(box);
    size_t objects = 0;
    for (auto _ : state) {
        auto found = manager->managedObjectContext()->executeFetchRequest(*request);
        objects = found ? found->size() : 0;
        benchmark::DoNotOptimize(found);
    }
    state.counters["objects"] = static_cast<double>(objects);
}
BENCHMARK(BM_ObjectsInZoom14Box)->Unit(benchmark::kMillisecond);

void BM_MapTilesOfZoom15Screen(benchmark::State& state) {
    auto manager = openPackage(state);
    if (!manager)
        return;
    auto [x0, y0] = tileOf(kCentre, 15);
    std::vector<int64_t> keys;
    for (int64_t dy = -2; dy < 2; ++dy) {
        for (int64_t dx = -2; dx < 2; ++dx)
            keys.push_back(*CBGeoDataManager::quadKeyForTileXYZ(x0 + dx, y0 + dy, 15));
    }
    size_t tiles = 0, elements = 0;
    for (auto _ : state) {
        auto found = manager->mapTilesForQuadKeys(keys);
        tiles = found ? found->size() : 0;
        elements = 0;
        if (found) {
            for (const auto& tile : *found)
                elements += tile->elements().size();
        }
        manager->unlockContextForCurrentThread();
    }
    state.counters["tiles"] = static_cast<double>(tiles);
    state.counters["elements"] = static_cast<double>(elements);
}
BENCHMARK(BM_MapTilesOfZoom15Screen)->Unit(benchmark::kMillisecond);

}  // namespace
