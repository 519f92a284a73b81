// The map kit's overlay and raster sources, per 256-point tile at screen scale 2:
// - a public-transport tile (the vector map, the dimming and the bus routes
//   with their stops) against the plain vector tile, at zooms 14 and 16, no
//   disk cache, so both draw from the geo database;
// - a raster tile read from the file cache by CBImageDataSource against a
//   plain PNG decode and draw of the same image;
// - the walk analyzer's work per location update on a 500-point walk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <memory>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "MapBenchSupport.h"
#include "TileBlockSupport.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "foundation/NSString+Base64.h"
#include "mapkit/CBCoordinatePathAnalyzer.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPublicTransportDataSource.h"
#include "mapkit/CBTileRequest.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kPixels = 512;
constexpr double kLatitude = 53.5574, kLongitude = 13.2610;

struct TransitMap {
    fs::path folder;
    std::shared_ptr<CBMapScrollView> map;
    std::shared_ptr<CBPublicTransportDataSource> transit;
    ~TransitMap() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

TransitMap* transitMap() {
    static std::unique_ptr<TransitMap> made;
    if (made)
        return made.get();
    if (!fs::is_regular_file(packagePath()))
        return nullptr;
    auto m = std::make_unique<TransitMap>();
    m->folder = fs::temp_directory_path() / ("kvsourcesbench-" + std::to_string(getpid()));
    fs::create_directories(m->folder / "bundle");
    CBCoordinatePathValueTransformer::registerTransformer();
    CBGeoEntityRegistry::registerClasses();
    NSBundle::setMainBundlePath(assembleBundle(m->folder / "bundle").string());
    UIScreen::mainScreen()->setScale(2);
    m->map = CBMapScrollView::create(CGRectMake(0, 0, 320, 568));
    m->map->visibleArea()->setSavesState(false);
    if (!m->map->setMapWithStorePathAndBoundingBox(packagePath(), nullptr))
        return nullptr;
    m->map->displayManager()->disableDiskCache();
    m->transit = std::make_shared<CBPublicTransportDataSource>(m->map->overlays());
    m->map->overlays()->addOverlayDatasource(m->transit);
    m->transit->setPublicTransportType(2);
    made = std::move(m);
    return made.get();
}

void drawTile(TransitMap& m, int n, int z, bool withTransit) {
    int x = 0, y = 0;
    bench::tileInBlock(n, 4, z, kLatitude, kLongitude, x, y);
    const CGRect rect = m.map->layout()->rectForXYZ(x, y, z);
    CGFloat s = 0;
    auto context = bench::tileContext(rect, kPixels, s);
    m.map->displayManager()->drawDataSourcesInRectForXYZAtScaleInContext(rect, x, y, z, float(s),
                                                                         *context);
    if (withTransit) {
        if (auto dim = m.map->mapView()->overLayLayer()->backgroundColor()) {
            context->setFillColorWithColor(dim->CGColor());
            context->fillRect(rect);
        }
        m.transit->drawTileRequestInContext(
            m.map->displayManager()->tileRequestForRectXYZAtScale(rect, x, y, z, float(s)),
            *context);
    }
    benchmark::DoNotOptimize(context->data());
}

// range(0): the zoom; range(1): 1 with the transit overlay, 0 plain.
void BM_Tile(benchmark::State& state) {
    auto* m = transitMap();
    if (!m) {
        state.SkipWithError("the sample package is not built");
        return;
    }
    int n = 0;
    for (auto _ : state)
        drawTile(*m, n++, int(state.range(0)), state.range(1) != 0);
}
BENCHMARK(BM_Tile)
    ->ArgNames({"zoom", "transit"})
    ->Args({14, 0})
    ->Args({14, 1})
    ->Args({16, 0})
    ->Args({16, 1})
    ->Unit(benchmark::kMillisecond);

// A cache delegate over one folder.
struct FolderCache : CBImageDataSourceCacheDelegate {
    std::string folder;
    std::optional<std::string> imageDataSourcePathForCachedImageWithUrl(CBImageDataSource&,
                                                                        const NSURL& url) override {
        return folder + "/" + urlSafeCacheFileName(url.absoluteString());
    }
};

std::string referenceTile() {
    return (std::filesystem::path(bench::resourcesPath()).parent_path() /
            "tests/data/tiles/centre-14.png")
        .string();
}

void BM_RasterTileFromFileCache(benchmark::State& state) {
    const auto png = dataWithContentsOfFile(referenceTile());
    if (!png) {
        state.SkipWithError("no tile picture");
        return;
    }
    const fs::path folder =
        fs::temp_directory_path() / ("kvrasterbench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    auto cache = std::make_shared<FolderCache>();
    cache->folder = folder.string();
    auto source = std::make_shared<CBImageDataSource>();
    source->setCacheDelegate(cache);
    // Nothing listens there: every tile must come from the file cache.
    source->setUrlPattern("http://127.0.0.1:9/neighbourhood/%i/%i/%i.png");
    source->setUrlPatternType(2);
    const NSURL url = *source->urlForXYZ(8800, 5370, 14);
    writeDataToFile(*png, *cache->imageDataSourcePathForCachedImageWithUrl(*source, url), true);
    auto context = CGContext::createBitmapContext(kPixels, kPixels);
    CBTileRequest request;
    request.x = 8800;
    request.y = 5370;
    request.zoom = 14;
    request.rect = CGRectMake(0, 0, kPixels, kPixels);
    request.screenScale = UIScreen::mainScreen()->scale();
    for (auto _ : state)
        source->drawTileRequestInContext(request, *context);
    fs::remove_all(folder);
}
BENCHMARK(BM_RasterTileFromFileCache)->Unit(benchmark::kMicrosecond);

void BM_PlainPNGDecode(benchmark::State& state) {
    const auto png = dataWithContentsOfFile(referenceTile());
    if (!png) {
        state.SkipWithError("no tile picture");
        return;
    }
    auto context = CGContext::createBitmapContext(kPixels, kPixels);
    for (auto _ : state) {
        auto image = UIImage::imageWithData(*png);
        context->drawImage(CGRectMake(0, 0, kPixels, kPixels), *image->CGImage());
    }
}
BENCHMARK(BM_PlainPNGDecode)->Unit(benchmark::kMicrosecond);

void BM_PathAnalyzerUpdate(benchmark::State& state) {
    std::vector<std::shared_ptr<CLLocation>> walk;
    for (int i = 0; i < 500; ++i)
        walk.push_back(
            std::make_shared<CLLocation>(53.55 + i * 0.00005, 13.25 + 0.0002 * std::sin(i / 10.0)));
    CBCoordinatePathAnalyzer analyzer(std::make_shared<CBCoordinatePath>(walk));
    size_t i = 0;
    for (auto _ : state) {
        const auto& p = walk[i++ % walk.size()]->coordinate();
        analyzer.updateUserLocation(std::make_shared<CLLocation>(
            CLLocationCoordinate2DMake(p.latitude + 0.00001, p.longitude), 0, 5, 5, 0, 0,
            NSDate()));
    }
    benchmark::DoNotOptimize(analyzer.progressInfo());
}
BENCHMARK(BM_PathAnalyzerUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
