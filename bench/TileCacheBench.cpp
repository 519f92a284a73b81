// A disk tile cache hit (file look-up, read, decode and the recorded access)
// against a plain decode of the same tile file, for PNG and JPEG tiles of
// 512x512 pixels; and the index look-up of one tile row.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Foundation/NSBundle.h"
#include "ImageIO/CGImageSource.h"
#include "mapkit/CBDiskTileCache.h"

#include "CityTileSupport.h"

namespace {

constexpr const char* kStyle = "defaultMapStyle";
constexpr const char* kStore = "bench";

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
        CGImageRef tile = bench::cityLikeTile();
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
