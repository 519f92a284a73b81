#include <gtest/gtest.h>

#include "CoreGraphics/CGContext.h"
#include "LayerTestSupport.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CAShapeLayer.h"

namespace {

uint32_t alphaAt(const CGContextRef& context, size_t x, size_t y) {
    return pixel(context, x, y) >> 24;
}

// A sharp black shadow 20 points right and down.
void castShadow(CALayer& layer) {
    layer.setShadowOpacity(1);
    layer.setShadowOffset({20, 20});
    layer.setShadowRadius(0);
}

class CALayerShadowTest : public ::testing::Test {
  protected:
    void SetUp() override { CAFrameClock::shared().setManual(true); }
    void TearDown() override { CAFrameClock::shared().setManual(false); }
};

TEST_F(CALayerShadowTest, ShapeLayersCastTheShadowOfTheirPath) {
    // A filled triangle; the layer's bounds are empty, as shape layers' often are.
    auto shape = std::make_shared<CAShapeLayer>();
    CGPath triangle;
    triangle.moveToPoint({10, 10});
    triangle.addLineToPoint({50, 10});
    triangle.addLineToPoint({10, 50});
    triangle.closeSubpath();
    shape->setPath(triangle);
    shape->setFillColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    castShadow(*shape);
    auto context = screenContext(80, 80);
    shape->renderInContext(*context);
    EXPECT_EQ(pixel(context, 15, 15), 0xFFFF0000u);  // the shape
    EXPECT_EQ(alphaAt(context, 35, 35), 255u);       // the triangle's corner, moved
    EXPECT_EQ(alphaAt(context, 65, 65), 0u);         // beyond the diagonal: no shadow
}

TEST_F(CALayerShadowTest, StrokedOutlinesCastARing) {
    auto shape = std::make_shared<CAShapeLayer>();
    CGPath circle;
    circle.addEllipseInRect(CGRectMake(10, 10, 40, 40));
    shape->setPath(circle);
    shape->setFillColor(std::nullopt);
    shape->setStrokeColor(CGColorCreateGenericRGB(0, 0, 1, 1));
    shape->setLineWidth(4);
    castShadow(*shape);
    auto context = screenContext(80, 80);
    shape->renderInContext(*context);
    EXPECT_EQ(alphaAt(context, 50, 70), 255u);  // the ring's bottom, moved
    EXPECT_EQ(alphaAt(context, 50, 50), 0u);    // its hollow centre
}

TEST_F(CALayerShadowTest, ImageContentsCastTheShadowOfTheirOpaquePixels) {
    // Left half opaque green, right half transparent.
    auto image = CGContext::createBitmapContext(20, 20);
    image->setRGBFillColor(0, 1, 0, 1);
    image->fillRect(CGRectMake(0, 0, 10, 20));
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(0, 0, 20, 20));
    layer->setContents(image->createImage());
    castShadow(*layer);
    auto context = screenContext(50, 50);
    layer->renderInContext(*context);
    EXPECT_EQ(alphaAt(context, 25, 30), 255u);  // under the opaque half
    EXPECT_EQ(alphaAt(context, 35, 30), 0u);    // under the transparent half
}

TEST_F(CALayerShadowTest, LayersThatDrawNothingCastNothing) {
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(0, 0, 20, 20));
    castShadow(*layer);
    auto empty = std::make_shared<CAShapeLayer>();
    castShadow(*empty);
    auto context = screenContext(50, 50);
    layer->renderInContext(*context);
    empty->renderInContext(*context);
    EXPECT_EQ(alphaAt(context, 25, 25), 0u);
}

}  // namespace
