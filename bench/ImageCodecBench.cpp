// Encoding and decoding one 512x512 map tile as PNG and as JPEG at quality
// 0.9, the two formats of the disk tile cache.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"

namespace {

// A tile that looks like a city map: land, a park, a river, blocks of
// buildings and roads with casings, so the codecs see realistic content.
CGImageRef renderTile() {
    auto c = CGContext::createBitmapContext(512, 512);
    c->setRGBFillColor(0.95, 0.94, 0.91, 1);
    c->fillRect(CGRectMake(0, 0, 512, 512));
    c->setRGBFillColor(0.78, 0.9, 0.7, 1);
    c->fillEllipseInRect(CGRectMake(300, 280, 180, 140));
    c->setRGBStrokeColor(0.62, 0.78, 0.92, 1);
    c->setLineWidth(28);
    c->setLineCap(kCGLineCapRound);
    c->moveToPoint(-10, 120);
    c->addCurveToPoint(150, 60, 260, 260, 522, 200);
    c->strokePath();
    c->setRGBFillColor(0.85, 0.82, 0.78, 1);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            c->fillRect(CGRectMake(12 + x * 34 + (y % 3), 262 + y * 30, 24 + (x * 7 % 9), 20));
        }
    }
    for (int i = 0; i < 14; ++i) {
        const CGFloat a = i * 0.45;
        c->beginPath();
        c->moveToPoint(256 + 300 * std::cos(a), 256 + 300 * std::sin(a));
        c->addLineToPoint(256 - 300 * std::cos(a + 0.3), 256 - 300 * std::sin(a + 0.3));
        c->setRGBStrokeColor(0.6, 0.6, 0.6, 1);
        c->setLineWidth(9);
        c->strokePath();
        c->beginPath();
        c->moveToPoint(256 + 300 * std::cos(a), 256 + 300 * std::sin(a));
        c->addLineToPoint(256 - 300 * std::cos(a + 0.3), 256 - 300 * std::sin(a + 0.3));
        c->setRGBStrokeColor(1, 0.96, 0.8, 1);
        c->setLineWidth(6);
        c->strokePath();
    }
    return c->createImage();
}

const CGImageRef& tile() {
    static const CGImageRef image = renderTile();
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
