#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "CoreGraphics/CGBoxBlur.h"

namespace {

// The blur written plainly: each channel, each row, then each column, one
// sample at a time with a true division.
void plainBlur(std::vector<uint8_t>& pixels, size_t width, size_t height, size_t stride,
               size_t bytesPerPixel, size_t radius, int passes) {
    const size_t window = 2 * radius + 1;
    auto line = [&](size_t start, size_t count, size_t step) {
        std::vector<uint8_t> in(count);
        for (size_t i = 0; i < count; ++i)
            in[i] = pixels[start + i * step];
        for (size_t i = 0; i < count; ++i) {
            uint32_t sum = 0;
            for (size_t j = i >= radius ? i - radius : 0; j <= i + radius && j < count; ++j)
                sum += in[j];
            pixels[start + i * step] = uint8_t((sum + window / 2) / window);
        }
    };
    for (int pass = 0; pass < passes; ++pass)
        for (size_t channel = 0; channel < bytesPerPixel; ++channel) {
            for (size_t y = 0; y < height; ++y)
                line(y * stride + channel, width, bytesPerPixel);
            for (size_t x = 0; x < width; ++x)
                line(x * bytesPerPixel + channel, height, stride);
        }
}

TEST(CGBoxBlur, GivesThePlainBlurToTheLastBitForPlanesAndPixels) {
    std::mt19937 random(7);
    struct Case {
        size_t width, height, bytesPerPixel, padding, radius;
    };
    // Planes wider and narrower than the window, rows with padding, four channels,
    // a window long enough to be divided the slow way, planes turned over in
    // blocks of eight with ragged edges, and the longest window still divided
    // the fast way.
    for (const Case& c : {Case{37, 23, 1, 3, 2}, Case{5, 40, 1, 0, 9}, Case{16, 12, 4, 8, 3},
                          Case{1, 1, 4, 0, 1}, Case{60, 9, 1, 4, 2100}, Case{83, 70, 1, 5, 4},
                          Case{41, 19, 4, 4, 6}, Case{2300, 3, 1, 0, 2047}}) {
        const size_t stride = c.width * c.bytesPerPixel + c.padding;
        std::vector<uint8_t> pixels(stride * c.height);
        for (auto& sample : pixels)
            sample = uint8_t(random() % 3 ? random() : 255);
        auto expected = pixels;
        plainBlur(expected, c.width, c.height, stride, c.bytesPerPixel, c.radius, 3);
        CGBoxBlurChannels(pixels.data(), c.width, c.height, stride, c.bytesPerPixel, c.radius, 3);
        for (size_t y = 0; y < c.height; ++y)
            for (size_t x = 0; x < c.width * c.bytesPerPixel; ++x)
                ASSERT_EQ(pixels[y * stride + x], expected[y * stride + x])
                    << c.width << "x" << c.height << " radius " << c.radius << " at " << x << ","
                    << y;
    }
}

}  // namespace
