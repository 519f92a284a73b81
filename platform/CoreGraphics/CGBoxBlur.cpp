#include "CoreGraphics/CGBoxBlur.h"

#include <cmath>
#include <vector>

namespace {

// One box pass over count samples spaced step apart, through scratch.
void boxLine(uint8_t* line, size_t count, size_t step, size_t radius,
             std::vector<uint8_t>& scratch) {
    scratch.resize(count);
    for (size_t i = 0; i < count; ++i) {
        scratch[i] = line[i * step];
    }
    const size_t window = 2 * radius + 1;
    uint32_t sum = 0;
    // Running sum over [i - radius, i + radius], zeros outside.
    for (size_t i = 0; i < radius && i < count; ++i) {
        sum += scratch[i];
    }
    for (size_t i = 0; i < count; ++i) {
        if (i + radius < count) {
            sum += scratch[i + radius];
        }
        line[i * step] = uint8_t((sum + window / 2) / window);
        if (i >= radius) {
            sum -= scratch[i - radius];
        }
    }
}

}  // namespace

void CGBoxBlurAlpha(uint8_t* pixels, size_t width, size_t height, size_t stride, size_t radius,
                    int passes) {
    CGBoxBlurChannels(pixels, width, height, stride, 1, radius, passes);
}

void CGBoxBlurChannels(uint8_t* pixels, size_t width, size_t height, size_t stride,
                       size_t bytesPerPixel, size_t radius, int passes) {
    if (radius == 0 || width == 0 || height == 0 || bytesPerPixel == 0) {
        return;
    }
    std::vector<uint8_t> scratch;
    for (int pass = 0; pass < passes; ++pass) {
        for (size_t channel = 0; channel < bytesPerPixel; ++channel) {
            for (size_t y = 0; y < height; ++y) {
                boxLine(pixels + y * stride + channel, width, bytesPerPixel, radius, scratch);
            }
            for (size_t x = 0; x < width; ++x) {
                boxLine(pixels + x * bytesPerPixel + channel, height, stride, radius, scratch);
            }
        }
    }
}

size_t CGBoxBlurRadiusForSigma(double sigma) {
    if (!(sigma > 0)) {
        return 0;
    }
    // Three boxes of width w have variance 3 (w^2 - 1) / 12.
    const double w = std::sqrt(4 * sigma * sigma + 1);
    return size_t(std::lround((w - 1) / 2));
}
