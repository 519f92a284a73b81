#include "mapkit/ZELGlowingShapeLayer.h"

#include <gtest/gtest.h>

#include "CoreGraphics/CGContext.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000;

uint32_t pixel(CGContext& context, size_t x, size_t y) {
    const uint8_t* row = context.data() + y * context.bytesPerRow();
    return reinterpret_cast<const uint32_t*>(row)[x];
}

// A 60-point square layer: with a glow radius of 8 its ring is the circle
// of radius 22 around (30, 30).
std::shared_ptr<CGContext> drawn(ZELGlowingShapeLayer& layer) {
    layer.setBounds(CGRectMake(0, 0, 60, 60));
    auto context = CGContext::createBitmapContext(60, 60);
    layer.drawInContext(*context);
    return context;
}

bool blank(CGContext& context) {
    for (size_t y = 0; y < 60; ++y)
        for (size_t x = 0; x < 60; ++x)
            if (pixel(context, x, y) != 0)
                return false;
    return true;
}

TEST(ZELGlowingShapeLayer, StrokesTheInsetOvalAndGlowsAroundIt) {
    ZELGlowingShapeLayer layer;
    EXPECT_EQ(layer.lineWidth(), 0);
    EXPECT_EQ(layer.glowRadius(), 0);
    EXPECT_TRUE(layer.needsDisplayOnBoundsChange());
    layer.setStrokeColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    layer.setGlowColor(CGColorCreateGenericRGB(0, 0, 1, 1));
    layer.setGlowRadius(8);
    layer.setLineWidth(4);
    auto context = drawn(layer);

    // On the ring at its top, bottom, left and right.
    EXPECT_EQ(pixel(*context, 30, 8), kRed);
    EXPECT_EQ(pixel(*context, 30, 51), kRed);
    EXPECT_EQ(pixel(*context, 8, 30), kRed);
    EXPECT_EQ(pixel(*context, 51, 30), kRed);
    // Just outside the ring the glow shows, blue; the middle stays clear.
    const uint32_t glow = pixel(*context, 30, 4);
    EXPECT_GT(glow >> 24, 0u);
    EXPECT_GT(glow & 0xFF, (glow >> 16) & 0xFF);
    EXPECT_EQ(pixel(*context, 30, 30), 0u);

    // Without a glow colour the ring stands alone.
    layer.setGlowColor(std::nullopt);
    context = drawn(layer);
    EXPECT_EQ(pixel(*context, 30, 8), kRed);
    EXPECT_EQ(pixel(*context, 30, 4), 0u);
}

TEST(ZELGlowingShapeLayer, NeedsALineWidthAndAStrokeColour) {
    ZELGlowingShapeLayer layer;
    layer.setGlowColor(CGColorCreateGenericRGB(0, 0, 1, 1));
    layer.setGlowRadius(8);
    layer.setLineWidth(4);
    EXPECT_TRUE(blank(*drawn(layer)));
    layer.setStrokeColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    layer.setLineWidth(0);
    EXPECT_TRUE(blank(*drawn(layer)));
}

}  // namespace
