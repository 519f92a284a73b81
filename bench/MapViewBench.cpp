// The map view on the sample city (Neubrandenburg) in a phone-sized window at
// screen scale 2: time from opening the package to the first complete screen
// (every visible tile drawn), with an empty disk tile cache (cold) and with
// the tiles of an earlier start cached (warm); and the frame time while
// panning back and forth over tiles the tiled layer already holds.
//
// The package comes from <build>/packages, the bundle from <build>/app/resources.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostRenderer.h"
#include "QuartzCore/CATiledLayer.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"

#include "BenchSupport.h"
#include "FirstScreenSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr double kScale = 2.0;

using bench::buildDirectory;
using bench::freshHome;

std::string storePath() {
    return (buildDirectory() / "packages" / "neubrandenburg" / "neubrandenburg.sqlite").string();
}

void setUpOnce() {
    static const bool done = [] {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath((buildDirectory() / "app" / "resources").string());
        UIScreen::mainScreen()->setScale(kScale);
        return true;
    }();
    (void)done;
}

struct OpenMap {
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<CBMapScrollView> map;
};

OpenMap openMap() {
    OpenMap open;
    open.window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    open.map = CBMapScrollView::create(open.window->bounds());
    open.window->addSubview(open.map);
    open.map->setMapWithStorePathAndBoundingBox(storePath(), nullptr);
    return open;
}

// Opens the map and draws the first complete screen; the snapshot draws every
// visible tile that is not ready yet.
void firstCompleteScreen() {
    OpenMap open = openMap();
    HostRenderer renderer(open.window, kScale);
    benchmark::DoNotOptimize(renderer.snapshot());
}

void BM_FirstScreenColdCache(benchmark::State& state) {
    setUpOnce();
    bench::measureWithColdCache(state, "map", firstCompleteScreen);
}
BENCHMARK(BM_FirstScreenColdCache)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FirstScreenWarmCache(benchmark::State& state) {
    setUpOnce();
    bench::measureWithWarmCache(state, "map", firstCompleteScreen);
}
BENCHMARK(BM_FirstScreenWarmCache)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PanFrameWithTilesHeld(benchmark::State& state) {
    setUpOnce();
    NSSetApplicationHome(freshHome("map-pan").string());
    OpenMap open = openMap();
    HostRenderer renderer(open.window, kScale);
    auto tiled = std::dynamic_pointer_cast<CATiledLayer>(open.map->mapView()->layer());
    const CGPoint start = open.map->contentOffset();
    // Visit every offset of the pan once so the tiled layer holds its tiles.
    for (int step = -8; step <= 8; ++step) {
        open.map->setContentOffset({start.x + 10.0 * step, start.y + 6.0 * step});
        renderer.renderFrame(false);
        NSRunLoop::mainRunLoop()->runUntil([&] { return !tiled || tiled->pendingTileCount() == 0; },
                                           10);
    }
    int step = 0, direction = 1;
    for (auto _ : state) {
        step += direction;
        if (step == 8 || step == -8)
            direction = -direction;
        open.map->setContentOffset({start.x + 10.0 * step, start.y + 6.0 * step});
        benchmark::DoNotOptimize(renderer.renderFrame(false));
    }
    NSSetApplicationHome("");
}
BENCHMARK(BM_PanFrameWithTilesHeld)->Unit(benchmark::kMillisecond);

}  // namespace
