// Time to render one 256-point map tile at screen scale 2 (512 x 512 pixels)
// of the sample city (Neubrandenburg) at zooms 13, 15 and 17: cold from the
// geo database (no disk cache) and warm from the disk cache, on one thread
// and on all cores (each thread draws its own tiles, as the tiled layer's
// workers do).
//
// The package comes from <build>/packages (KELVARA_PACKAGES_DIR overrides),
// the resources from the source tree named in <build>/CMakeCache.txt
// (KELVARA_RESOURCES overrides), the map icons from <build>/generated-resources.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "MapBenchSupport.h"
#include "TileBlockSupport.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kPixels = 512;
constexpr double kLatitude = 53.5574, kLongitude = 13.2610;  // the market place

struct Renderer {
    ~Renderer() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
    std::shared_ptr<CBGeoDataManager> data;
    std::shared_ptr<CBGeoDisplayManager> display;
    std::shared_ptr<const CBMapProjector> projector;
    std::shared_ptr<CBVectorDataSource> source;
};

// One renderer per cache mode for the whole run.
Renderer* renderer(bool cached) {
    static std::mutex lock;
    static std::unique_ptr<Renderer> renderers[2];
    std::lock_guard guard(lock);
    auto& slot = renderers[cached];
    if (slot)
        return slot.get();
    if (!fs::is_regular_file(packagePath()))
        return nullptr;
    auto made = std::make_unique<Renderer>();
    made->folder = fs::temp_directory_path() /
                   ("kvtilebench-" + std::to_string(getpid()) + (cached ? "-warm" : "-cold"));
    fs::remove_all(made->folder);
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();
    NSBundle::setMainBundlePath(assembleBundle(made->folder / "bundle").string());
    UIScreen::mainScreen()->setScale(2);
    CBDiskTileCache::setMainCacheDirectory((made->folder / "tiles").string());
    CBDiskTileCache::setSqliteFilePath((made->folder / "CBDiskCache.sqlite").string());
    made->data = CBGeoDataManager::create();
    if (!made->data->addPersistentStoreCoordinatorWithPath(packagePath()))
        return nullptr;
    made->projector = CBMapProjector::worldWebMercator();
    made->display = std::make_shared<CBGeoDisplayManager>();
    made->display->setGeoDataManager(made->data);
    made->display->setStoreIdentifier("neubrandenburg");
    made->display->setProjector(made->projector);
    if (!cached)
        made->display->disableDiskCache();
    else
        made->display->diskCache()->setLastCachedZoomlevel(made->projector->maximumZoomLevel());
    made->source = std::make_shared<CBVectorDataSource>(made->display);
    made->display->addDatasource(made->source);
    slot = std::move(made);
    return slot.get();
}

void tileNumber(int n, int zoom, int& x, int& y) {
    bench::tileInBlock(n, 8, zoom, kLatitude, kLongitude, x, y);
}

void renderTile(Renderer& r, int x, int y, int z) {
    const CGRect rect = r.projector->rectForXYZ(x, y, z);
    CGFloat scale = 0;
    auto context = bench::tileContext(rect, kPixels, scale);
    r.display->drawDataSourcesInRectForXYZAtScaleInContext(rect, x, y, z, float(scale), *context);
    benchmark::DoNotOptimize(context->data());
}

void BM_RenderTile(benchmark::State& state) {
    const int zoom = int(state.range(0));
    const bool cached = state.range(1) != 0;
    Renderer* r = renderer(cached);
    if (!r) {
        state.SkipWithError("the sample package is not built (target map_packages)");
        return;
    }
    if (cached && state.thread_index() == 0) {
        for (int n = 0; n < 64; ++n) {
            int x, y;
            tileNumber(n, zoom, x, y);
            r->source->prerenderXYZ(x, y, zoom);
        }
        r->display->diskCache()->waitUntilIdle();
    }
    int n = int(state.thread_index()) * 7;
    for (auto _ : state) {
        int x, y;
        tileNumber(n++, zoom, x, y);
        renderTile(*r, x, y, zoom);
    }
    state.SetItemsProcessed(state.iterations());
}

void arguments(benchmark::internal::Benchmark* bench) {
    for (int cached : {0, 1}) {
        for (int zoom : {13, 15, 17})
            bench->Args({zoom, cached});
    }
    bench->ArgNames({"zoom", "cached"});
    bench->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_RenderTile)->Apply(arguments)->Threads(1);
BENCHMARK(BM_RenderTile)
    ->Apply(arguments)
    ->Threads(int(std::max(2u, std::thread::hardware_concurrency())));

}  // namespace
