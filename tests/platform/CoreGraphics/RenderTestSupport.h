#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "FailureImage.h"

// Pixel access for render tests, and a fixture that keeps the bitmaps of a
// failed test as PNG files under the build folder (keepFailureImage).
struct Pixel {
    int a, r, g, b;  // premultiplied, as stored
};

inline Pixel pixelAt(CGContext& context, size_t x, size_t y) {
    const uint8_t* row = context.data() + y * context.bytesPerRow();
    const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
    return {int(p >> 24), int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

inline bool isNear(const Pixel& p, int a, int r, int g, int b, int tolerance = 3) {
    return std::abs(p.a - a) <= tolerance && std::abs(p.r - r) <= tolerance &&
           std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}

inline std::string describe(const Pixel& p) {
    return "argb(" + std::to_string(p.a) + "," + std::to_string(p.r) + "," + std::to_string(p.g) +
           "," + std::to_string(p.b) + ")";
}

#define EXPECT_PIXEL(context, x, y, a, r, g, b)                                \
    do {                                                                       \
        const Pixel kvPixel = pixelAt(*(context), (x), (y));                   \
        EXPECT_TRUE(isNear(kvPixel, (a), (r), (g), (b)))                       \
            << "pixel (" << (x) << "," << (y) << ") is " << describe(kvPixel); \
    } while (0)

class RenderTest : public ::testing::Test {
  protected:
    std::shared_ptr<CGContext> makeContext(size_t width, size_t height) {
        auto context = CGContext::createBitmapContext(width, height);
        contexts_.push_back(context);
        return context;
    }

    void TearDown() override {
        if (!HasFailure()) {
            return;
        }
        for (size_t i = 0; i < contexts_.size(); ++i) {
            cairo_surface_t* surface = contexts_[i]->cairoSurface();
            cairo_surface_flush(surface);
            const std::string line =
                keepFailureImage("bitmap-" + std::to_string(i), [surface](const std::string& path) {
                    return cairo_surface_write_to_png(surface, path.c_str()) ==
                           CAIRO_STATUS_SUCCESS;
                });
            std::printf("%s\n", line.c_str());
        }
    }

  private:
    std::vector<std::shared_ptr<CGContext>> contexts_;
};
