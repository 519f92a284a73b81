// A disk tile cache hit (file look-up, read, decode and the recorded access)
// against a plain decode of the same tile file, for PNG and JPEG tiles of
// 512x512 pixels; and the index look-up of one tile row.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "ImageIO/CGImageSource.h"
#include "mapkit/CBDiskTileCache.h"

namespace {

constexpr const char* kStyle = "defaultMapStyle";
constexpr const char* kStore = "bench";

// A tile with the kinds of content a city map has: land, a park, a river,
// blocks of buildings and cased roads.
CGImageRef renderTile() {
    auto c = CGContext::createBitmapContext(512, 512);
    c->setRGBFillColor(0.95, 0.94, 0.91, 1);
    c->fillRect(CGRectMake(0, 0, 512, 512));
    c->setRGBFillColor(0.78, 0.9, 0.7, 1);
    c->fillEllipseInRect(CGRectMake(300, 280, 180, 140));
    c->setRGBStrokeColor(0.62, 0.78, 0.92, 1);
    c->setLineWidth(28);
    c->moveToPoint(-10, 120);
    c->addCurveToPoint(150, 60, 260, 260, 522, 200);
    c->strokePath();
    c->setRGBFillColor(0.85, 0.82, 0.78, 1);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            c->fillRect(CGRectMake(12 + x * 34 + (y % 3), 262 + y * 30, 24 + (x * 7 % 9), 20));
    }
    for (int i = 0; i < 14; ++i) {
        const CGFloat a = i * 0.45;
        for (int pass = 0; pass < 2; ++pass) {
            c->beginPath();
            c->moveToPoint(256 + 300 * std::cos(a), 256 + 300 * std::sin(a));
            c->addLineToPoint(256 - 300 * std::cos(a + 0.3), 256 - 300 * std::sin(a + 0.3));
            if (pass == 0)
                c->setRGBStrokeColor(0.6, 0.6, 0.6, 1);
            else
                c->setRGBStrokeColor(1, 0.96, 0.8, 1);
            c->setLineWidth(pass == 0 ? 9 : 6);
            c->strokePath();
        }
    }
    return c->createImage();
}

// One cache over a temporary folder holding the tile as quad key "1" (PNG)
// and "2" (JPEG), both with index rows.
struct Fixture {
    Fixture() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvtilebench.XXXXXX").string();
        folder = mkdtemp(pattern.data());
        NSBundle::setMainBundlePath(
            (std::filesystem::path(__FILE__).parent_path() / ".." / "resources").string());
        CBDiskTileCache::setMainCacheDirectory(folder + "/tiles");
        CBDiskTileCache::setSqliteFilePath(folder + "/CBDiskCache.sqlite");
        cache = std::make_shared<CBDiskTileCache>();
        CGImageRef tile = renderTile();
        cache->setTransparentTileImages(true);
        cache->addTileImageForQuadKeyStringInStoreIdWithStyleId(tile, "1", kStore, kStyle);
        cache->waitUntilIdle();
        cache->setTransparentTileImages(false);
        cache->addTileImageForQuadKeyStringInStoreIdWithStyleId(tile, "2", kStore, kStyle);
        cache->saveChangesIfNeeded();
        cache->waitUntilIdle();
    }
    ~Fixture() {
        cache->waitUntilIdle();
        cache.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string path(const char* quadKey) const {
        return cache->filePathForQuadKeyStringForStyleIdInStoreId(quadKey, kStyle, kStore);
    }

    std::string folder;
    std::shared_ptr<CBDiskTileCache> cache;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void cacheHit(benchmark::State& state, const char* quadKey) {
    Fixture& f = fixture();
    int64_t reads = 0;
    for (auto _ : state) {
        CGImageRef image =
            f.cache->newTileImageForQuadKeyStringInStoreIdWithStyleId(quadKey, kStore, kStyle);
        benchmark::DoNotOptimize(image);
        if (++reads % 4096 == 0) {
            // The 30 s timer's flush, kept out of the measurement.
            state.PauseTiming();
            f.cache->saveChangesIfNeeded();
            f.cache->waitUntilIdle();
            state.ResumeTiming();
        }
    }
}

void plainDecode(benchmark::State& state, const char* quadKey) {
    const std::string path = fixture().path(quadKey);
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> bytes(std::filesystem::file_size(path));
        in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
        CGImageRef image = CGImageSource(std::move(bytes)).createImageAtIndex(0);
        benchmark::DoNotOptimize(image);
    }
}

void decodeFromMemory(benchmark::State& state, const char* quadKey) {
    std::ifstream in(fixture().path(quadKey), std::ios::binary);
    const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    for (auto _ : state) {
        CGImageRef image = CGImageSource(bytes).createImageAtIndex(0);
        benchmark::DoNotOptimize(image);
    }
}

void BM_CacheHitPNG(benchmark::State& state) {
    cacheHit(state, "1");
}
void BM_FileReadAndDecodePNG(benchmark::State& state) {
    plainDecode(state, "1");
}
void BM_DecodeFromMemoryPNG(benchmark::State& state) {
    decodeFromMemory(state, "1");
}
void BM_CacheHitJPEG(benchmark::State& state) {
    cacheHit(state, "2");
}
void BM_FileReadAndDecodeJPEG(benchmark::State& state) {
    plainDecode(state, "2");
}
void BM_DecodeFromMemoryJPEG(benchmark::State& state) {
    decodeFromMemory(state, "2");
}

// The index row of one tile, fetched on the index queue as a flush does.
void BM_IndexLookUp(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        size_t rows = 0;
        f.cache->dbQueue()->sync([&] {
            auto tiles = f.cache->fetchTileForQuadKeysInStoreIdWithStyleId({"1"}, kStore, kStyle);
            rows = tiles ? tiles->size() : 0;
        });
        if (rows != 1)
            state.SkipWithError("no index row");
    }
}

BENCHMARK(BM_CacheHitPNG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FileReadAndDecodePNG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeFromMemoryPNG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CacheHitJPEG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FileReadAndDecodeJPEG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeFromMemoryJPEG)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IndexLookUp)->Unit(benchmark::kMicrosecond);

}  // namespace
