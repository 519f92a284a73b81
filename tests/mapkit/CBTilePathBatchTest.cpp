#include "mapkit/CBTilePathBatch.h"

#include <gtest/gtest.h>

#include "CoreGraphics/CGContext.h"

namespace {

// A 100 x 100 pixel y-down tile showing user space (0, 0) - (50, 50).
std::shared_ptr<CGContext> tile() {
    auto context = CGContext::createBitmapContext(100, 100);
    context->translateCTM(0, 100);
    context->scaleCTM(2, -2);
    context->clipToRect(CGRectMake(0, 0, 50, 50));
    return context;
}

CGPath line(std::initializer_list<CGPoint> points) {
    CGPath path;
    path.addLines(points);
    return path;
}

CGPath square(CGFloat x, CGFloat y, CGFloat side) {
    CGPath path;
    path.addRect(CGRectMake(x, y, side, side));
    return path;
}

uint32_t pixel(CGContext& context, int x, int y) {
    return reinterpret_cast<const uint32_t*>(context.data() + y * context.bytesPerRow())[x];
}

TEST(CBTilePathBatchTest, ElementsPaintedAlikeGoOutInOneCall) {
    auto context = tile();
    context->setRGBStrokeColor(1, 0, 0, 1);
    context->setLineWidth(2);
    CBTilePathBatch batch(*context);
    batch.stroke(line({{5, 5}, {45, 5}}));
    batch.stroke(line({{5, 15}, {45, 15}}));
    context->setLineWidth(4);  // another width: a new run
    batch.stroke(line({{5, 25}, {45, 25}}));
    batch.flush();
    EXPECT_EQ(batch.paintCount(), 2u);
    for (int row : {10, 30, 50})
        EXPECT_EQ(pixel(*context, 50, row), 0xFFFF0000u) << row;
    EXPECT_EQ(pixel(*context, 50, 20), 0u);

    // Translucent elements stay one per call, so crossings still darken.
    context->setAlpha(0.5);
    batch.stroke(line({{30, 0}, {30, 50}}));
    batch.stroke(line({{0, 40}, {50, 40}}));
    batch.flush();
    EXPECT_EQ(batch.paintCount(), 4u);
    EXPECT_GT(pixel(*context, 60, 80) >> 24, pixel(*context, 60, 40) >> 24);
}

TEST(CBTilePathBatchTest, OverlappingFillsAreNotJoined) {
    // Two squares of opposite direction would cancel in one path.
    auto context = tile();
    context->setRGBFillColor(0, 0, 1, 1);
    CBTilePathBatch batch(*context);
    CGPath reversed;
    reversed.addLines({{10, 10}, {10, 30}, {30, 30}, {30, 10}});
    reversed.closeSubpath();
    batch.fill(square(0, 0, 20), false);
    batch.fill(reversed, false);
    batch.fill(square(40, 40, 5), false);  // apart from both: joins the second
    batch.flush();
    EXPECT_EQ(batch.paintCount(), 2u);
    EXPECT_EQ(pixel(*context, 30, 30), 0xFF0000FFu) << "where the squares overlap";
    EXPECT_EQ(pixel(*context, 85, 85), 0xFF0000FFu);
}

TEST(CBTilePathBatchTest, GeometryOutsideTheTileOrBelowAPixelIsLeftOut) {
    auto context = tile();
    context->setRGBStrokeColor(0, 0.5, 0, 1);
    context->setRGBFillColor(0, 0.5, 0, 1);
    context->setLineWidth(2);
    CBTilePathBatch batch(*context);
    batch.stroke(line({{70, 0}, {90, 50}}));
    batch.fill(square(20, 20, 0.2), false);
    batch.flush();
    EXPECT_EQ(batch.paintCount(), 0u);

    // A line leaving the tile and coming back shows on both stretches; the
    // dense vertices along it keep it whole.
    CGPath detour;
    detour.moveToPoint({0, 10});
    for (CGFloat x = 0.05; x <= 20; x += 0.05)
        detour.addLineToPoint({x, 10});
    detour.addLineToPoint({20, 500});
    detour.addLineToPoint({40, 500});
    detour.addLineToPoint({40, 30});
    batch.stroke(detour);
    batch.flush();
    EXPECT_EQ(batch.paintCount(), 1u);
    for (int x : {2, 15, 27, 38})
        EXPECT_EQ(pixel(*context, x, 20) >> 24, 0xFFu) << x;
    EXPECT_EQ(pixel(*context, 80, 80) >> 24, 0xFFu);
    EXPECT_EQ(pixel(*context, 60, 50), 0u);
}

TEST(CBTilePathBatchTest, DashedLinesKeepTheirDashesAcrossTheEdge) {
    // The dashes count from the line's start far outside the tile.
    const CGPath path = line({{-100, 20}, {-100, 25}, {-97, 25}, {50, 25}});
    std::shared_ptr<CGContext> contexts[] = {tile(), tile()};
    for (auto& context : contexts) {
        context->setRGBStrokeColor(0, 0, 0, 1);
        context->setLineWidth(2);
        context->setLineCap(kCGLineCapButt);
        context->setLineDash(0, {7, 5});
    }
    contexts[0]->addPath(path);
    contexts[0]->strokePath();
    CBTilePathBatch batch(*contexts[1]);
    batch.stroke(path);
    batch.flush();
    int dashes = 0;
    for (int x = 0; x < 100; ++x) {
        const uint32_t alpha = pixel(*contexts[1], x, 50) >> 24;
        EXPECT_EQ(alpha > 128, (pixel(*contexts[0], x, 50) >> 24) > 128) << x;
        dashes += alpha > 128 && (x == 0 || (pixel(*contexts[1], x - 1, 50) >> 24) <= 128);
    }
    EXPECT_GE(dashes, 3);
}

}  // namespace
