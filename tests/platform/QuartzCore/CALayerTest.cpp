#include <gtest/gtest.h>

#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "LayerTestSupport.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CALayer.h"
#include "QuartzCore/CATransaction.h"

namespace {

class CALayerTest : public ::testing::Test {
  protected:
    void SetUp() override { CAFrameClock::shared().setManual(true); }
    void TearDown() override { CAFrameClock::shared().setManual(false); }
};

TEST_F(CALayerTest, FrameFollowsPositionAnchorAndTransform) {
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(layer->position(), CGPointMake(60, 45));
    EXPECT_EQ(layer->bounds(), CGRectMake(0, 0, 100, 50));

    layer->setAnchorPoint({0, 0});
    EXPECT_EQ(layer->frame(), CGRectMake(60, 45, 100, 50));

    layer->setAnchorPoint({0.5, 0.5});
    layer->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(layer->frame(), CGRectMake(-40, -5, 200, 100));
}

TEST_F(CALayerTest, ConvertsPointsThroughTransformsAndBoundsOrigins) {
    auto root = CALayer::layer();
    root->setFrame(CGRectMake(0, 0, 300, 300));
    auto child = CALayer::layer();
    child->setFrame(CGRectMake(100, 100, 100, 100));
    child->setBounds(CGRectMake(50, 0, 100, 100));  // scrolled by 50
    root->addSublayer(child);
    auto grandchild = CALayer::layer();
    grandchild->setFrame(CGRectMake(60, 10, 20, 20));
    child->addSublayer(grandchild);

    EXPECT_EQ(grandchild->convertPointToLayer({0, 0}, root.get()), CGPointMake(110, 110));
    EXPECT_EQ(root->convertPointToLayer({110, 110}, grandchild.get()), CGPointMake(0, 0));

    child->setTransform(CGAffineTransformMakeRotation(M_PI / 2));
    const CGPoint p = grandchild->convertPointToLayer({0, 0}, root.get());
    // The child's centre (150, 150) is fixed; (60, 10) in it is (-40, -40) from its
    // bounds' centre (100, 50), turned a quarter to (40, -40).
    EXPECT_NEAR(p.x, 190, 1e-9);
    EXPECT_NEAR(p.y, 110, 1e-9);
    const CGPoint back = grandchild->convertPointFromLayer(p, root.get());
    EXPECT_NEAR(back.x, 0, 1e-9);
    EXPECT_NEAR(back.y, 0, 1e-9);
}

TEST_F(CALayerTest, HitTestingSkipsHiddenAndRespectsMasks) {
    auto root = CALayer::layer();
    root->setFrame(CGRectMake(0, 0, 100, 100));
    auto a = CALayer::layer();
    a->setFrame(CGRectMake(0, 0, 50, 50));
    auto b = CALayer::layer();
    b->setFrame(CGRectMake(40, 40, 50, 50));
    root->addSublayer(a);
    root->addSublayer(b);
    EXPECT_EQ(root->hitTest({45, 45}), b);
    b->setHidden(true);
    EXPECT_EQ(root->hitTest({45, 45}), a);
    EXPECT_EQ(root->hitTest({95, 5}), root);
    EXPECT_EQ(root->hitTest({150, 5}), nullptr);
}

TEST_F(CALayerTest, TreeRejectsCyclesAndMovesLayersBetweenParents) {
    auto a = CALayer::layer(), b = CALayer::layer(), c = CALayer::layer();
    a->addSublayer(b);
    b->addSublayer(c);
    c->addSublayer(a);  // a cycle: refused
    EXPECT_EQ(a->superlayer(), nullptr);
    a->addSublayer(c);
    EXPECT_TRUE(b->sublayers().empty());
    EXPECT_EQ(a->sublayers().size(), 2u);
    a->insertSublayerAtIndex(c, 0);
    EXPECT_EQ(a->sublayers().front(), c);
    c->removeFromSuperlayer();
    EXPECT_EQ(a->sublayers().size(), 1u);
}

TEST_F(CALayerTest, RendersBackgroundBorderCornersOpacityAndClipping) {
    auto root = CALayer::layer();
    root->setFrame(CGRectMake(0, 0, 40, 40));
    root->setBackgroundColor(CGColorCreateGenericRGB(1, 1, 1, 1));
    auto box = CALayer::layer();
    box->setFrame(CGRectMake(10, 10, 20, 20));
    box->setBackgroundColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    box->setBorderWidth(2);
    box->setBorderColor(CGColorCreateGenericRGB(0, 0, 1, 1));
    box->setCornerRadius(6);
    box->setMasksToBounds(true);
    root->addSublayer(box);
    auto overflow = CALayer::layer();
    overflow->setFrame(CGRectMake(5, 5, 30, 30));  // reaches past the box
    overflow->setBackgroundColor(CGColorCreateGenericRGB(0, 1, 0, 1));
    overflow->setOpacity(0.5);
    box->addSublayer(overflow);

    auto context = screenContext(40, 40);
    root->renderInContext(*context);
    EXPECT_EQ(pixel(context, 5, 5), 0xFFFFFFFFu);    // root background
    EXPECT_EQ(pixel(context, 13, 20), 0xFFFF0000u);  // box
    EXPECT_EQ(pixel(context, 20, 11), 0xFF0000FFu);  // border
    EXPECT_EQ(pixel(context, 10, 10), 0xFFFFFFFFu);  // rounded corner is cut
    const uint32_t mixed = pixel(context, 20, 20);   // half green over red
    EXPECT_NEAR(double((mixed >> 16) & 0xFF), 128, 2);
    EXPECT_NEAR(double((mixed >> 8) & 0xFF), 128, 2);
    EXPECT_EQ(pixel(context, 35, 35), 0xFFFFFFFFu);  // outside the box: clipped away
}

TEST_F(CALayerTest, MaskLayerLimitsDrawingToItsAlpha) {
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(0, 0, 20, 20));
    layer->setBackgroundColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    auto mask = CALayer::layer();
    mask->setFrame(CGRectMake(0, 0, 10, 20));
    mask->setBackgroundColor(CGColorCreateGenericRGB(0, 0, 0, 1));
    layer->setMask(mask);
    auto context = screenContext(20, 20);
    layer->renderInContext(*context);
    EXPECT_EQ(pixel(context, 5, 10), 0xFFFF0000u);
    EXPECT_EQ(pixel(context, 15, 10) >> 24, 0u);
}

TEST_F(CALayerTest, ShadowPathCastsABlurredShadowOutsideTheLayer) {
    auto root = CALayer::layer();
    root->setFrame(CGRectMake(0, 0, 60, 60));
    auto layer = CALayer::layer();
    layer->setFrame(CGRectMake(10, 10, 20, 20));
    CGPath path;
    path.addRect(CGRectMake(0, 0, 20, 20));
    layer->setShadowPath(path);
    layer->setShadowOpacity(1);
    layer->setShadowOffset({10, 10});
    layer->setShadowRadius(0);
    root->addSublayer(layer);
    auto context = screenContext(60, 60);
    root->renderInContext(*context);
    EXPECT_EQ(pixel(context, 35, 35), 0xFF000000u);  // shadow moved by the offset
    EXPECT_EQ(pixel(context, 15, 15) >> 24, 0u);     // the layer itself draws nothing
}

TEST_F(CALayerTest, DelegateDrawsTheBackingStoreAtContentsScale) {
    struct Painter : CALayerDelegate {
        int calls = 0;
        CGAffineTransform ctm;
        bool layerWantsDrawing(CALayer&) override { return true; }
        void drawLayerInContext(CALayer&, CGContext& context) override {
            ++calls;
            ctm = context.getCTM();
            context.setRGBFillColor(0, 0, 1, 1);
            context.fillRect(CGRectMake(0, 0, 5, 5));
        }
    };
    auto painter = std::make_shared<Painter>();
    auto layer = CALayer::layer();
    layer->setDelegate(painter);
    layer->setContentsScale(2);
    layer->setFrame(CGRectMake(0, 0, 10, 10));
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    layer->displayIfNeeded();
    EXPECT_EQ(painter->calls, 1);
    EXPECT_EQ(painter->ctm.a, 2);
    EXPECT_EQ(painter->ctm.d, 2);  // y down
    auto context = screenContext(10, 10);
    layer->renderInContext(*context);
    EXPECT_EQ(pixel(context, 2, 2), 0xFF0000FFu);
    EXPECT_EQ(pixel(context, 7, 7) >> 24, 0u);
}

TEST_F(CALayerTest, OversizedLayersGetNoBackingStore) {
    struct Painter : CALayerDelegate {
        int calls = 0;
        bool layerWantsDrawing(CALayer&) override { return true; }
        void drawLayerInContext(CALayer&, CGContext&) override { ++calls; }
    };
    auto painter = std::make_shared<Painter>();
    auto layer = CALayer::layer();
    layer->setDelegate(painter);
    layer->setFrame(CGRectMake(0, 0, 20000, 20000));  // 1.6 GB of pixels
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    EXPECT_EQ(painter->calls, 0);
    layer->setFrame(CGRectMake(0, 0, 0, 10));
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    EXPECT_EQ(painter->calls, 0);
}

}  // namespace
