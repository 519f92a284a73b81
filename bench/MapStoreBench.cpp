// The map catalogue's search as the user types, and the tile cache pre-fill
// after installing the Neubrandenburg package.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CatalogueWriter.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapTileCachePrefill.h"
#include "mapkit/CBMapVisibleArea.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"

#include "BenchSupport.h"
#include "FirstScreenSupport.h"

namespace {

namespace fs = std::filesystem;

using bench::buildDirectory;
using bench::freshHome;

void useApplicationBundle() {
    static const bool done = [] {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath((buildDirectory() / "app" / "resources").string());
        UIScreen::mainScreen()->setScale(2);
        return true;
    }();
    (void)done;
}

// A catalogue of 2,040 maps: the bundled catalogue's maps, each repeated 680
// times under numbered names with its own places, so that a prefix matches
// hundreds of maps.
std::shared_ptr<CBMapStoreEngine> largeCatalogue() {
    static std::shared_ptr<CBMapStoreEngine> engine = []() -> std::shared_ptr<CBMapStoreEngine> {
        auto bundled = std::make_shared<CBMapStoreEngine>();
        if (!bundled->mapForIdentifier("neubrandenburg"))
            return nullptr;
        CatalogueWriter::Catalogue catalogue;
        catalogue.groups = {{"europe", "Europe"}, {"US", "USA"}};
        catalogue.countries = {{"DE", "Germany", {55, 15, 47, 6}, std::string("europe")},
                               {"LI", "Liechtenstein", {47.3, 9.7, 47, 9.4}, std::string("europe")},
                               {"US", "United States", {49, -67, 25, -125}, std::nullopt}};
        for (const char* identifier : {"neubrandenburg", "liechtenstein", "three-rivers"}) {
            auto map = bundled->mapForIdentifier(identifier);
            auto box = map->bbox();
            for (int copy = 0; copy < 680; ++copy) {
                CatalogueWriter::Map entry;
                entry.identifier = std::string(identifier) + "-" + std::to_string(copy);
                entry.name = map->localName() + " " + std::to_string(copy);
                entry.titles = {{"en", entry.name}};
                entry.places = {map->places().value_or("")};
                entry.priority = copy % 7;
                entry.box = {box->NE().latitude, box->NE().longitude, box->SW().latitude,
                             box->SW().longitude};
                entry.countryCode = map->country()->countryCode().value_or("DE");
                catalogue.maps.push_back(entry);
            }
        }
        const std::string path = (freshHome("catalogue") / "mapStore.sqlite").string();
        std::string error;
        if (!CatalogueWriter::writeCatalogue(catalogue, path, CBMapStoreEngine::mapStoreModel(),
                                             &error))
            return nullptr;
        auto large = std::make_shared<CBMapStoreEngine>(path, true);
        large->searchDelayShort = large->searchDelayLong = 0;
        return large;
    }();
    return engine;
}

// One keystroke: the search for the text typed so far, until its answer.
size_t keystroke(CBMapStoreEngine& engine, const std::string& text) {
    size_t found = 0;
    bool done = false;
    if (!engine.mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock(text, {}, {},
                                                                            [&](const auto& maps) {
                                                                                found = maps.size();
                                                                                done = true;
                                                                            }))
        return 0;
    NSRunLoop::mainRunLoop()->runUntil([&] { return done; }, 10);
    return found;
}

// The large catalogue in a fresh home; nullptr (the benchmark skipped)
// without the bundled catalogue.
std::shared_ptr<CBMapStoreEngine> openLargeCatalogue(benchmark::State& state) {
    useApplicationBundle();
    NSSetApplicationHome(freshHome("search-home").string());
    auto engine = largeCatalogue();
    if (!engine)
        state.SkipWithError("the bundled catalogue is not built (target kelvara_bundle)");
    return engine;
}

// Typing "Neubrandenburg 12" letter by letter from the third: the first
// keystrokes fetch, later ones narrow the earlier answer in memory.
void BM_CatalogueSearchPerKeystroke(benchmark::State& state) {
    auto engine = openLargeCatalogue(state);
    if (!engine)
        return;
    const std::string typed = "Neubrandenburg 12";
    size_t keystrokes = 0;
    for (auto _ : state) {
        engine->cancelSearch();
        for (size_t length = 3; length <= typed.size(); ++length) {
            benchmark::DoNotOptimize(keystroke(*engine, typed.substr(0, length)));
            ++keystrokes;
        }
    }
    // items_per_second: keystrokes answered per second.
    state.SetItemsProcessed(int64_t(keystrokes));
    NSSetApplicationHome("");
}
BENCHMARK(BM_CatalogueSearchPerKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every keystroke a fresh fetch in SQL (no narrowing).
void BM_CatalogueSearchFetch(benchmark::State& state) {
    auto engine = openLargeCatalogue(state);
    if (!engine)
        return;
    for (auto _ : state) {
        engine->cancelSearch();
        benchmark::DoNotOptimize(keystroke(*engine, "brandenburg"));
    }
    NSSetApplicationHome("");
}
BENCHMARK(BM_CatalogueSearchFetch)->Unit(benchmark::kMillisecond)->UseRealTime();

// The pre-fill of zooms 10-13 of the Neubrandenburg map into an empty cache,
// the box cut into as many strips as runs at once (1 or 8).
void BM_PrefillNeubrandenburg(benchmark::State& state) {
    useApplicationBundle();
    const fs::path store =
        buildDirectory() / "packages" / "neubrandenburg" / "neubrandenburg.sqlite";
    if (!fs::exists(store)) {
        state.SkipWithError("the sample package is not built (target map_packages)");
        return;
    }
    const int runs = int(state.range(0));
    NSSetApplicationHome(freshHome("prefill").string());
    auto map = CBMapScrollView::create({{0, 0}, {320, 568}});
    map->visibleArea()->setSavesState(false);
    map->setMapWithStorePathAndBoundingBox(store.string(), nullptr);
    auto box = map->layout()->mapBoundingBox();
    auto cache = map->displayManager()->diskCache();
    auto callbacks = DispatchQueue::createSerial("bench.prefill.callbacks");
    std::atomic<long> rendered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CBMapTileCachePrefill::clearDiskCacheForStoreIdentifierSync(*map->displayManager(),
                                                                    "neubrandenburg");
        state.ResumeTiming();
        std::atomic<int> finished = 0;
        const double west = box->SW().longitude, width = box->longitudeSpan() / runs;
        for (int strip = 0; strip < runs; ++strip) {
            const CBBoundingBox part({box->NE().latitude, west + width * (strip + 1)},
                                     {box->SW().latitude, west + width * strip});
            CBMapTileCachePrefill::populateCacheOfRendererForBoundingBoxAndZoomlevelRange(
                map->displayManager(), map->layers()->vectorDataSourceLayer(), part, 10, 4,
                [&](float, bool done) {
                    rendered += done ? 0 : 1;
                    return false;
                },
                [&] { ++finished; }, callbacks);
        }
        while (finished < runs)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        cache->waitUntilIdle();
    }
    state.counters["tiles"] = double(rendered) / double(state.iterations());
    map.reset();
    NSSetApplicationHome("");
}
BENCHMARK(BM_PrefillNeubrandenburg)
    ->Arg(1)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
