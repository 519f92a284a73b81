// Encoding and decoding one 512x512 map tile as PNG and as JPEG at quality
// 0.9, the two formats of the disk tile cache.
#include <benchmark/benchmark.h>

#include <vector>

#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"

#include "CityTileSupport.h"

namespace {

const CGImageRef& tile() {
    static const CGImageRef image = bench::cityLikeTile();
    return image;
}

std::vector<uint8_t> encode(const char* type, std::optional<CGFloat> quality) {
    std::vector<uint8_t> data;
    auto dest = CGImageDestination::createWithData(&data, type);
    dest->addImage(tile(), {quality});
    dest->finalize();
    return data;
}

void encodeBench(benchmark::State& state, const char* type, std::optional<CGFloat> quality) {
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> data = encode(type, quality);
        bytes = data.size();
        benchmark::DoNotOptimize(data.data());
    }
    state.counters["bytes"] = double(bytes);
}

void decodeBench(benchmark::State& state, const char* type, std::optional<CGFloat> quality) {
    const std::vector<uint8_t> data = encode(type, quality);
    for (auto _ : state) {
        CGImageRef image = CGImageSource::createWithData(data)->createImageAtIndex(0);
        benchmark::DoNotOptimize(image.get());
    }
    state.counters["bytes"] = double(data.size());
}

void BM_EncodePNG(benchmark::State& state) {
    encodeBench(state, kUTTypePNG, std::nullopt);
}
void BM_DecodePNG(benchmark::State& state) {
    decodeBench(state, kUTTypePNG, std::nullopt);
}
void BM_EncodeJPEG90(benchmark::State& state) {
    encodeBench(state, kUTTypeJPEG, 0.9);
}
void BM_DecodeJPEG90(benchmark::State& state) {
    decodeBench(state, kUTTypeJPEG, 0.9);
}

}  // namespace

BENCHMARK(BM_EncodePNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeJPEG90)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJPEG90)->Unit(benchmark::kMillisecond);
