#include <gtest/gtest.h>

#include <numbers>

#include "CoreGraphics/CGContext.h"
#include "platform/CoreGraphics/RenderTestSupport.h"

// Bitmap contexts have y up: user (x, y) is pixel column x, row height - 1 - y.

class CGContextTest : public RenderTest {};

TEST_F(CGContextTest, BitmapContextsStartClearWithYUp) {
    auto c = makeContext(20, 20);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->width(), 20u);
    EXPECT_EQ(c->bytesPerRow(), 80u);
    EXPECT_EQ(c->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_PIXEL(c, 0, 0, 0, 0, 0, 0);
    c->setRGBFillColor(1, 0, 0, 1);
    c->fillRect(CGRectMake(0, 0, 10, 5));
    EXPECT_PIXEL(c, 2, 18, 255, 255, 0, 0);  // bottom-left
    EXPECT_PIXEL(c, 2, 2, 0, 0, 0, 0);       // top-left untouched
    EXPECT_PIXEL(c, 2, 14, 0, 0, 0, 0);
}

TEST_F(CGContextTest, InvalidBitmapRequestsFail) {
    EXPECT_FALSE(CGContext::createBitmapContext(0, 10));
    EXPECT_FALSE(CGContext::createBitmapContext(40000, 10));
    EXPECT_FALSE(CGContext::createBitmapContext(30000, 30000));
    EXPECT_FALSE(CGContext::createBitmapContext(10, 10, kCGImageAlphaPremultipliedLast));
    // The tile renderer's bitmap info: premultiplied first, 32-bit little-endian.
    EXPECT_TRUE(CGContext::createBitmapContext(
        4, 4, CGImageAlphaInfo(kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little)));
    auto opaque = CGContext::createBitmapContext(4, 4, kCGImageAlphaNoneSkipFirst);
    ASSERT_TRUE(opaque);
    auto image = opaque->createImage();
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->isOpaque());
    EXPECT_EQ(image->pixelAt(0, 0), 0xFF000000u);
}

TEST_F(CGContextTest, FillRulesDifferForNestedRingsOfOneOrientation) {
    auto c = makeContext(30, 30);
    auto rings = [&] {
        c->beginPath();
        c->addRect(CGRectMake(0, 0, 30, 30));
        c->addRect(CGRectMake(10, 10, 10, 10));
    };
    c->setGrayFillColor(0, 1);
    rings();
    c->fillPath();
    EXPECT_PIXEL(c, 15, 15, 255, 0, 0, 0);
    c->clearRect(CGRectMake(0, 0, 30, 30));
    rings();
    c->eoFillPath();
    EXPECT_PIXEL(c, 15, 15, 0, 0, 0, 0);
    EXPECT_PIXEL(c, 5, 5, 255, 0, 0, 0);
    EXPECT_TRUE(c->isPathEmpty());  // painting consumes the path
}

TEST_F(CGContextTest, StrokeWidthCapsAndJoins) {
    auto c = makeContext(40, 40);
    c->setGrayStrokeColor(0, 1);
    c->setLineWidth(6);
    c->moveToPoint(10, 20);
    c->addLineToPoint(30, 20);
    c->strokePath();
    // Rows 17..22 in user space are covered: pixel rows 17..22 counted from the top too.
    EXPECT_PIXEL(c, 20, 40 - 1 - 17, 255, 0, 0, 0);
    EXPECT_PIXEL(c, 20, 40 - 1 - 22, 255, 0, 0, 0);
    EXPECT_PIXEL(c, 20, 40 - 1 - 24, 0, 0, 0, 0);
    EXPECT_PIXEL(c, 31, 19, 0, 0, 0, 0);  // butt cap ends at x = 30

    auto square = makeContext(40, 40);
    square->setLineWidth(6);
    square->setLineCap(kCGLineCapSquare);
    square->moveToPoint(10, 20);
    square->addLineToPoint(30, 20);
    square->strokePath();
    EXPECT_PIXEL(square, 32, 19, 255, 0, 0, 0);

    // A right-angle corner: the miter fills the outer corner, bevel cuts it.
    auto corner = [&](CGLineJoin join) {
        auto k = makeContext(40, 40);
        k->setLineWidth(10);
        k->setLineJoin(join);
        k->moveToPoint(5, 20);
        k->addLineToPoint(20, 20);
        k->addLineToPoint(20, 5);
        k->strokePath();
        return k;
    };
    auto miter = corner(kCGLineJoinMiter);
    auto bevel = corner(kCGLineJoinBevel);
    // Outer corner at user (25, 25) -> pixel (24, 15).
    EXPECT_PIXEL(miter, 24, 15, 255, 0, 0, 0);
    EXPECT_PIXEL(bevel, 24, 15, 0, 0, 0, 0);
}

TEST_F(CGContextTest, DashesAlternateAndInvalidDashesDrawSolid) {
    auto c = makeContext(40, 10);
    c->setGrayStrokeColor(0, 1);
    c->setLineWidth(4);
    c->setLineDash(0, {4, 4});
    c->moveToPoint(0, 5);
    c->addLineToPoint(40, 5);
    c->strokePath();
    EXPECT_PIXEL(c, 2, 4, 255, 0, 0, 0);
    EXPECT_PIXEL(c, 6, 4, 0, 0, 0, 0);
    EXPECT_PIXEL(c, 10, 4, 255, 0, 0, 0);
    EXPECT_PIXEL(c, 14, 4, 0, 0, 0, 0);

    auto solid = makeContext(40, 10);
    solid->setLineWidth(4);
    solid->setLineDash(0, {4, -1});
    solid->moveToPoint(0, 5);
    solid->addLineToPoint(40, 5);
    solid->strokePath();
    EXPECT_PIXEL(solid, 6, 4, 255, 0, 0, 0);
}

TEST_F(CGContextTest, ClipsIntersectAndRestoreWithTheState) {
    auto c = makeContext(20, 20);
    c->setGrayFillColor(0, 1);
    c->saveGState();
    c->clipToRect(CGRectMake(0, 0, 10, 20));
    c->clipToRect(CGRectMake(5, 0, 15, 20));
    EXPECT_EQ(c->getClipBoundingBox(), CGRectMake(5, 0, 5, 20));
    c->setRGBFillColor(0, 0, 1, 1);
    c->fillRect(CGRectMake(0, 0, 20, 20));
    EXPECT_PIXEL(c, 7, 10, 255, 0, 0, 255);
    EXPECT_PIXEL(c, 2, 10, 0, 0, 0, 0);
    EXPECT_PIXEL(c, 12, 10, 0, 0, 0, 0);
    c->restoreGState();
    c->restoreGState();  // unbalanced: ignored
    c->fillRect(CGRectMake(0, 0, 20, 20));
    EXPECT_PIXEL(c, 2, 10, 255, 0, 0, 0);  // black again, unclipped
}

TEST_F(CGContextTest, EvenOddClipLeavesTheHoleOut) {
    auto c = makeContext(30, 30);
    c->addRect(CGRectMake(0, 0, 30, 30));
    c->addRect(CGRectMake(10, 10, 10, 10));
    c->eoClip();
    c->setGrayFillColor(0, 1);
    c->fillRect(CGRectMake(0, 0, 30, 30));
    EXPECT_PIXEL(c, 15, 15, 0, 0, 0, 0);
    EXPECT_PIXEL(c, 5, 15, 255, 0, 0, 0);
}

TEST_F(CGContextTest, ClipToMaskUsesAlphaAndIntersects) {
    // Mask: left half opaque, right half clear.
    auto m = makeContext(4, 4);
    m->setGrayFillColor(1, 1);
    m->fillRect(CGRectMake(0, 0, 2, 4));
    auto mask = m->createImage();
    ASSERT_TRUE(mask);
    auto c = makeContext(20, 20);
    c->clipToMask(CGRectMake(0, 0, 20, 20), *mask);
    c->setRGBFillColor(1, 0, 0, 1);
    c->fillRect(CGRectMake(0, 0, 20, 20));
    EXPECT_PIXEL(c, 4, 10, 255, 255, 0, 0);
    EXPECT_PIXEL(c, 15, 10, 0, 0, 0, 0);
    // A second mask over the bottom half only leaves the bottom-left quarter.
    auto c2 = makeContext(20, 20);
    c2->clipToMask(CGRectMake(0, 0, 20, 20), *mask);
    c2->clipToMask(CGRectMake(0, 0, 40, 10), *mask);
    c2->setRGBFillColor(1, 0, 0, 1);
    c2->fillRect(CGRectMake(0, 0, 20, 20));
    EXPECT_PIXEL(c2, 4, 15, 255, 255, 0, 0);
    EXPECT_PIXEL(c2, 4, 5, 0, 0, 0, 0);
    EXPECT_PIXEL(c2, 15, 15, 0, 0, 0, 0);
}

TEST_F(CGContextTest, AlphaAndBlendModes) {
    auto c = makeContext(10, 10);
    c->setAlpha(0.5);
    c->setRGBFillColor(0, 0, 1, 1);
    c->fillRect(CGRectMake(0, 0, 10, 10));
    EXPECT_PIXEL(c, 5, 5, 128, 0, 0, 128);

    auto m = makeContext(10, 10);
    m->setRGBFillColor(1, 1, 0, 1);
    m->fillRect(CGRectMake(0, 0, 10, 10));
    m->setBlendMode(kCGBlendModeMultiply);
    m->setRGBFillColor(0, 1, 1, 1);
    m->fillRect(CGRectMake(0, 0, 10, 10));
    EXPECT_PIXEL(m, 5, 5, 255, 0, 255, 0);

    m->setBlendMode(kCGBlendModeNormal);
    m->clearRect(CGRectMake(0, 0, 5, 10));
    EXPECT_PIXEL(m, 2, 5, 0, 0, 0, 0);
}

TEST_F(CGContextTest, TranslucentShapesPaintEachPixelOnce) {
    // A stroke crossing itself at half alpha: the crossing is no darker.
    auto c = makeContext(20, 20);
    c->setAlpha(0.5);
    c->setRGBStrokeColor(0, 0, 1, 1);
    c->setLineWidth(4);
    c->moveToPoint(0, 10);
    c->addLineToPoint(20, 10);
    c->moveToPoint(10, 0);
    c->addLineToPoint(10, 20);
    c->strokePath();
    EXPECT_PIXEL(c, 10, 9, 128, 0, 0, 128);
    EXPECT_PIXEL(c, 3, 9, 128, 0, 0, 128);

    // The colour's own alpha and the context's multiply.
    auto f = makeContext(10, 10);
    f->setAlpha(0.5);
    f->setRGBFillColor(1, 0, 0, 0.5);
    f->fillRect(CGRectMake(0, 0, 10, 10));
    EXPECT_PIXEL(f, 5, 5, 64, 64, 0, 0);
}

TEST_F(CGContextTest, StrokeSettingsReadBackAndRestoreWithTheState) {
    auto c = makeContext(10, 10);
    c->saveGState();
    c->setLineCap(kCGLineCapRound);
    c->setLineJoin(kCGLineJoinBevel);
    c->setLineDash(1, {2, 3});
    c->setCoarseAntialiasing(true);
    c->setFlatness(0.5);
    EXPECT_EQ(c->lineCap(), kCGLineCapRound);
    EXPECT_EQ(c->lineJoin(), kCGLineJoinBevel);
    EXPECT_EQ(c->lineDashLengths(), (std::vector<CGFloat>{2, 3}));
    EXPECT_EQ(c->lineDashPhase(), 1);
    EXPECT_EQ(cairo_get_antialias(c->cairoContext()), CAIRO_ANTIALIAS_FAST);
    EXPECT_EQ(cairo_get_tolerance(c->cairoContext()), 0.5);
    c->restoreGState();
    EXPECT_EQ(c->lineCap(), kCGLineCapButt);
    EXPECT_TRUE(c->lineDashLengths().empty());
    EXPECT_EQ(cairo_get_antialias(c->cairoContext()), CAIRO_ANTIALIAS_DEFAULT);
    EXPECT_EQ(cairo_get_tolerance(c->cairoContext()), 0.1);

    // Without antialiasing, coarse antialiasing does not turn it back on.
    c->setShouldAntialias(false);
    c->setCoarseAntialiasing(true);
    EXPECT_EQ(cairo_get_antialias(c->cairoContext()), CAIRO_ANTIALIAS_NONE);
}

TEST_F(CGContextTest, ShadowFallsAtItsOffsetInDefaultUserSpace) {
    auto c = makeContext(40, 40);
    c->setShadowWithColor(CGSizeMake(10, -10), 0, CGColorCreateGenericRGB(0, 0, 1, 1));
    c->setRGBFillColor(1, 0, 0, 1);
    c->fillRect(CGRectMake(5, 20, 10, 10));  // pixels x 5..14, rows 10..19
    EXPECT_PIXEL(c, 10, 15, 255, 255, 0, 0);
    // y up: an offset of -10 moves the shadow down the bitmap by 10 rows.
    EXPECT_PIXEL(c, 20, 25, 255, 0, 0, 255);
    EXPECT_PIXEL(c, 10, 5, 0, 0, 0, 0);
    // Scaling the user space changes neither the offset nor the shape's own place.
    auto scaled = makeContext(40, 40);
    scaled->scaleCTM(2, 2);
    scaled->setShadowWithColor(CGSizeMake(10, -10), 0, CGColorCreateGenericRGB(0, 0, 1, 1));
    scaled->setRGBFillColor(1, 0, 0, 1);
    scaled->fillRect(CGRectMake(2.5, 10, 5, 5));
    EXPECT_PIXEL(scaled, 20, 25, 255, 0, 0, 255);
}

TEST_F(CGContextTest, BlurredShadowSpreadsAndShapesOutsideCastIntoTheBitmap) {
    auto c = makeContext(40, 40);
    c->setShadowWithColor(CGSizeMake(20, 0), 6, CGColorCreateGenericGray(0, 1));
    c->setGrayFillColor(0.5, 1);
    c->fillRect(CGRectMake(-20, 0, 20, 40));  // entirely left of the bitmap
    // The shadow covers x 0..20, its edges softened by the blur.
    const Pixel inside = pixelAt(*c, 10, 20);
    const Pixel edge = pixelAt(*c, 20, 20);
    const Pixel far = pixelAt(*c, 32, 20);
    EXPECT_GT(inside.a, 250) << describe(inside);
    EXPECT_GT(edge.a, 60) << describe(edge);
    EXPECT_LT(edge.a, 200) << describe(edge);
    EXPECT_EQ(far.a, 0) << describe(far);

    auto off = makeContext(40, 40);
    off->setShadowWithColor(CGSizeMake(20, 0), 0, CGColorCreateGenericGray(0, 1));
    off->setShadowWithColor(CGSizeZero, 0, std::nullopt);
    off->fillRect(CGRectMake(0, 0, 10, 40));
    EXPECT_PIXEL(off, 25, 20, 0, 0, 0, 0);
}

TEST_F(CGContextTest, LinearGradientEndsAndExtension) {
    auto gradient = CGGradient::createWithColorComponents({1, 0, 0, 1, 0, 0, 1, 1}, {0, 1});
    ASSERT_TRUE(gradient);
    auto c = makeContext(100, 10);
    c->drawLinearGradient(*gradient, {20, 0}, {80, 0}, 0);
    EXPECT_PIXEL(c, 10, 5, 0, 0, 0, 0);  // before the start: not painted
    EXPECT_PIXEL(c, 90, 5, 0, 0, 0, 0);
    EXPECT_TRUE(isNear(pixelAt(*c, 20, 5), 255, 253, 0, 2, 4)) << describe(pixelAt(*c, 20, 5));
    EXPECT_TRUE(isNear(pixelAt(*c, 79, 5), 255, 2, 0, 253, 4)) << describe(pixelAt(*c, 79, 5));
    auto after = makeContext(100, 10);
    after->drawLinearGradient(*gradient, {20, 0}, {80, 0}, kCGGradientDrawsAfterEndLocation);
    EXPECT_PIXEL(after, 10, 5, 0, 0, 0, 0);
    EXPECT_PIXEL(after, 95, 5, 255, 0, 0, 255);
    auto both = makeContext(100, 10);
    both->drawLinearGradient(
        *gradient, {20, 0}, {80, 0},
        kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    EXPECT_PIXEL(both, 5, 5, 255, 255, 0, 0);
    EXPECT_PIXEL(both, 95, 5, 255, 0, 0, 255);
    EXPECT_FALSE(CGGradient::createWithColorComponents({1, 0, 0}, {}));
    EXPECT_FALSE(CGGradient::createWithColorComponents({1, 1, 0, 1}, {0, 2}, 2));
}

TEST_F(CGContextTest, RadialGradientFromApexOutwards) {
    auto gradient = CGGradient::createWithColors(
        {CGColorCreateGenericRGB(1, 1, 1, 0), CGColorCreateGenericRGB(1, 1, 1, 1)});
    ASSERT_TRUE(gradient);
    auto c = makeContext(40, 40);
    // Start circle radius 20, end circle radius 0: opaque at the centre.
    c->drawRadialGradient(*gradient, {20, 20}, 20, {20, 20}, 0,
                          kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    EXPECT_GT(pixelAt(*c, 20, 20).a, 240);
    EXPECT_LT(pixelAt(*c, 0, 20).a, 16);
    EXPECT_NEAR(pixelAt(*c, 10, 20).a, 128, 12);
    EXPECT_EQ(pixelAt(*c, 0, 0).a, 0);  // beyond the start circle: its colour, transparent
}

TEST_F(CGContextTest, ImagesAreUprightScaledAndFiltered) {
    // A 2x2 image: top row red, green; bottom row blue, white.
    const uint32_t pixels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    auto image =
        CGImage::createWithARGB32(2, 2, 8, reinterpret_cast<const uint8_t*>(pixels), false);
    ASSERT_TRUE(image);
    auto c = makeContext(20, 20);
    c->setInterpolationQuality(kCGInterpolationNone);
    c->drawImage(CGRectMake(0, 0, 20, 20), *image);
    EXPECT_PIXEL(c, 2, 2, 255, 255, 0, 0);
    EXPECT_PIXEL(c, 17, 2, 255, 0, 255, 0);
    EXPECT_PIXEL(c, 2, 17, 255, 0, 0, 255);
    EXPECT_PIXEL(c, 9, 9, 255, 255, 0, 0);  // nearest neighbour keeps hard edges
    auto smooth = makeContext(20, 20);
    smooth->setInterpolationQuality(kCGInterpolationHigh);
    smooth->drawImage(CGRectMake(0, 0, 20, 20), *image);
    const Pixel mid = pixelAt(*smooth, 9, 9);
    EXPECT_LT(mid.r, 250) << describe(mid);
    // In a y-down space the same call draws the image upside down.
    auto flipped = makeContext(20, 20);
    flipped->translateCTM(0, 20);
    flipped->scaleCTM(1, -1);
    flipped->setInterpolationQuality(kCGInterpolationNone);
    flipped->drawImage(CGRectMake(0, 0, 20, 20), *image);
    EXPECT_PIXEL(flipped, 2, 2, 255, 0, 0, 255);
}

TEST_F(CGContextTest, TiledImageRepeatsFromTheRectOrigin) {
    const uint32_t pixels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    auto image =
        CGImage::createWithARGB32(2, 2, 8, reinterpret_cast<const uint8_t*>(pixels), false);
    auto c = makeContext(16, 16);
    c->setInterpolationQuality(kCGInterpolationNone);
    c->clipToRect(CGRectMake(0, 0, 16, 16));
    c->drawTiledImage(CGRectMake(0, 0, 4, 4), *image);
    // Every 4x4 tile has red at its top-left pixel quad; rows counted from the bitmap top.
    EXPECT_PIXEL(c, 0, 0, 255, 255, 0, 0);
    EXPECT_PIXEL(c, 4, 0, 255, 255, 0, 0);
    EXPECT_PIXEL(c, 12, 12, 255, 255, 0, 0);
    EXPECT_PIXEL(c, 14, 14, 255, 255, 255, 255);
    EXPECT_PIXEL(c, 2, 0, 255, 0, 255, 0);
}

TEST_F(CGContextTest, UncolouredPatternPaintsItsCellInTheFillColour) {
    auto checker = CGPattern::create(CGRectMake(0, 0, 32, 32), CGAffineTransformIdentity, 32, 32,
                                     kCGPatternTilingNoDistortion, false, [](CGContext& cell) {
                                         // Colours set here are ignored: only the cell's coverage
                                         // counts.
                                         cell.setRGBFillColor(0, 1, 0, 1);
                                         cell.fillRect(CGRectMake(0, 0, 16, 16));
                                         cell.fillRect(CGRectMake(16, 16, 16, 16));
                                     });
    ASSERT_TRUE(checker);
    auto c = makeContext(64, 64);
    const CGFloat white[4] = {1, 1, 1, 0.5};
    c->setFillPattern(checker, white);
    c->fillRect(CGRectMake(0, 0, 64, 64));
    EXPECT_PIXEL(c, 8, 56, 128, 128, 128, 128);   // user (8, 7)
    EXPECT_PIXEL(c, 24, 56, 0, 0, 0, 0);          // user (24, 7)
    EXPECT_PIXEL(c, 40, 56, 128, 128, 128, 128);  // next cell
    EXPECT_PIXEL(c, 24, 40, 128, 128, 128, 128);  // user (24, 23)
    EXPECT_FALSE(CGPattern::create(CGRectMake(0, 0, 1, 1), CGAffineTransformIdentity, 0, 1,
                                   kCGPatternTilingNoDistortion, false, [](CGContext&) {}));
}

TEST_F(CGContextTest, CurrentPathHitTestingAndTransforms) {
    auto c = makeContext(40, 40);
    c->translateCTM(10, 10);
    EXPECT_EQ(c->getCTM(), CGAffineTransformMake(1, 0, 0, -1, 10, 30));
    c->addArc(10, 10, 5, 0, 2 * std::numbers::pi, false);
    EXPECT_TRUE(c->pathContainsPoint({10, 10}, kCGPathFill));
    EXPECT_FALSE(c->pathContainsPoint({10, 10}, kCGPathStroke));
    EXPECT_TRUE(c->pathContainsPoint({15, 10}, kCGPathStroke));
    const CGRect box = c->getPathBoundingBox();
    EXPECT_NEAR(box.origin.x, 5, 0.01);
    EXPECT_NEAR(box.size.width, 10, 0.01);
    c->setGrayFillColor(0, 1);
    c->fillPath();
    // Circle centre at user (20, 20) in the untranslated space -> pixel (20, 19).
    EXPECT_PIXEL(c, 20, 19, 255, 0, 0, 0);
    EXPECT_EQ(c->convertPointToDeviceSpace({0, 0}), CGPointMake(10, 30));
}

TEST_F(CGContextTest, ImagesFromContextsAndCropping) {
    auto c = makeContext(10, 10);
    c->setRGBFillColor(0, 1, 0, 1);
    c->fillRect(CGRectMake(0, 0, 5, 10));  // left half
    auto image = c->createImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelAt(0, 0), 0xFF00FF00u);
    EXPECT_EQ(image->pixelAt(9, 0), 0u);
    // Later drawing does not change the image.
    c->fillRect(CGRectMake(0, 0, 10, 10));
    EXPECT_EQ(image->pixelAt(9, 0), 0u);
    auto right = CGImage::createWithImageInRect(*image, CGRectMake(4.5, 2, 20, 3));
    ASSERT_TRUE(right);
    EXPECT_EQ(right->width(), 6u);
    EXPECT_EQ(right->height(), 3u);
    EXPECT_EQ(right->pixelAt(0, 0), 0xFF00FF00u);
    EXPECT_EQ(right->pixelAt(1, 0), 0u);
    EXPECT_FALSE(CGImage::createWithImageInRect(*image, CGRectMake(20, 20, 5, 5)));
}

TEST_F(CGContextTest, YDownContextsOverASurfaceAtScreenScale) {
    // As a view's layer draws: y down, two pixels per point.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    auto c = CGContext::createWithCairoSurface(surface, CGAffineTransformMakeScale(2, 2));
    cairo_surface_destroy(surface);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->width(), 20u);
    c->setRGBFillColor(1, 0, 0, 1);
    c->fillRect(CGRectMake(0, 0, 5, 5));
    EXPECT_PIXEL(c, 9, 9, 255, 255, 0, 0);
    EXPECT_PIXEL(c, 10, 10, 0, 0, 0, 0);
    EXPECT_PIXEL(c, 2, 18, 0, 0, 0, 0);
    // A positive shadow height points down in a y-down default space, in points.
    c->setShadowWithColor(CGSizeMake(0, 3), 0, CGColorCreateGenericRGB(0, 0, 1, 1));
    c->fillRect(CGRectMake(5, 0, 2, 2));
    EXPECT_PIXEL(c, 11, 1, 255, 255, 0, 0);
    EXPECT_PIXEL(c, 11, 8, 255, 0, 0, 255);
    EXPECT_FALSE(CGContext::createWithCairoSurface(nullptr, CGAffineTransformIdentity));
}
