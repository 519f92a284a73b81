#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGImage.h"
#include "LayerTestSupport.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CALayer.h"
#include "QuartzCore/CATransaction.h"

namespace {

class CALayerRasterizeTest : public ::testing::Test {
  protected:
    void SetUp() override { CAFrameClock::shared().setManual(true); }
    void TearDown() override { CAFrameClock::shared().setManual(false); }
};

constexpr CGFloat kSide = 120;

// A white window with a square of four red quarters meeting in its middle,
// a blue bar across it and a translucent green corner: parts whose shared
// edges lie inside the square.
struct Scene {
    std::shared_ptr<CALayer> root = CALayer::layer();
    std::shared_ptr<CALayer> square = CALayer::layer();

    Scene() {
        root->setFrame(CGRectMake(0, 0, 200, 200));
        root->setBackgroundColor(CGColorCreateGenericRGB(1, 1, 1, 1));
        square->setBounds(CGRectMake(0, 0, kSide, kSide));
        square->setPosition({100, 100});
        root->addSublayer(square);
        const CGFloat half = kSide / 2;
        for (CGFloat x : {0.0, half}) {
            for (CGFloat y : {0.0, half}) {
                auto quarter = CALayer::layer();
                quarter->setFrame(CGRectMake(x, y, half, half));
                quarter->setBackgroundColor(CGColorCreateGenericRGB(1, 0, 0, 1));
                square->addSublayer(quarter);
            }
        }
        auto bar = CALayer::layer();
        bar->setFrame(CGRectMake(10, 20, 100, 8));
        bar->setBackgroundColor(CGColorCreateGenericRGB(0, 0, 1, 1));
        square->addSublayer(bar);
        auto corner = CALayer::layer();
        corner->setFrame(CGRectMake(80, 80, 30, 30));
        corner->setBackgroundColor(CGColorCreateGenericRGB(0, 1, 0, 0.5));
        square->addSublayer(corner);
    }
    CGImageRef render(bool rasterize, CGFloat degrees) {
        square->setShouldRasterize(rasterize);
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        square->setTransform(CGAffineTransformMakeRotation(degrees * M_PI / 180));
        CATransaction::commit();
        auto context = screenContext(200, 200);
        root->renderInContext(*context);
        return context->createImage();
    }
};

int channelDifference(uint32_t a, uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 32; shift += 8)
        largest = std::max(largest, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return largest;
}

// Pixels more than `threshold` apart in a channel.
int differingPixels(const CGImage& a, const CGImage& b, int threshold) {
    int count = 0;
    for (size_t y = 0; y < a.height(); ++y)
        for (size_t x = 0; x < a.width(); ++x)
            count += channelDifference(a.pixelAt(x, y), b.pixelAt(x, y)) > threshold;
    return count;
}

TEST_F(CALayerRasterizeTest, ATurnedLayerIsTurnedAsOnePictureWithoutSeamsBetweenItsParts) {
    Scene scene;
    for (CGFloat degrees : {17.0, 45.0, 130.0}) {
        CGImageRef direct = scene.render(false, degrees);
        CGImageRef composed = scene.render(true, degrees);
        // Where the quarters meet, the parts turned one by one each cover
        // the edge's pixels in part, and the white behind shows through.
        const CGFloat angle = degrees * M_PI / 180;
        for (CGFloat along = -50; along <= 50; along += 5) {
            if (std::fabs(along) < 6)
                continue;  // the middle, where the bar and corner lie
            for (const CGPoint p : {CGPointMake(along, 0), CGPointMake(0, along)}) {
                if (p.x == 0 && p.y > -42 && p.y < -30)
                    continue;  // the bar crosses the vertical edge there
                const CGFloat x = 100 + p.x * std::cos(angle) - p.y * std::sin(angle);
                const CGFloat y = 100 + p.x * std::sin(angle) + p.y * std::cos(angle);
                const uint32_t pixel = composed->pixelAt(size_t(x), size_t(y));
                EXPECT_LE(channelDifference(pixel, 0xFFFF0000u), 3)
                    << "seam at (" << x << ", " << y << ") turned " << degrees << "°";
            }
        }
        // Elsewhere the picture is the one drawn part by part, filtered once
        // instead of once for each part.
        EXPECT_LT(differingPixels(*direct, *composed, 24), 200) << degrees << "°";
    }
}

TEST_F(CALayerRasterizeTest, OnThePixelAxesARasterisedLayerDrawsExactlyAsWithout) {
    Scene scene;
    for (CGFloat degrees : {0.0, 90.0, 180.0}) {
        CGImageRef direct = scene.render(false, degrees);
        CGImageRef composed = scene.render(true, degrees);
        EXPECT_EQ(differingPixels(*direct, *composed, 0), 0) << degrees << "°";
    }
}

TEST_F(CALayerRasterizeTest, OpacityAndTheClipsAboveApplyToThePicture) {
    Scene scene;
    // A translucent clipping ancestor and the layer's own opacity: the
    // picture goes into a group that covers only the clip.
    auto frame = CALayer::layer();
    frame->setFrame(CGRectMake(30, 40, 140, 110));
    frame->setMasksToBounds(true);
    frame->setOpacity(0.8);
    scene.square->removeFromSuperlayer();
    scene.square->setPosition({70, 60});
    scene.square->setOpacity(0.5);
    frame->addSublayer(scene.square);
    scene.root->addSublayer(frame);
    CGImageRef direct = scene.render(false, 30);
    CGImageRef composed = scene.render(true, 30);
    EXPECT_LT(differingPixels(*direct, *composed, 24), 200);
    // Red at 0.5 x 0.8 over white in a quarter; nothing beyond the clip.
    EXPECT_LE(channelDifference(composed->pixelAt(100, 125), 0xFFFF9999u), 3);
    EXPECT_EQ(composed->pixelAt(100, 35), 0xFFFFFFFFu);
    EXPECT_EQ(composed->pixelAt(100, 155), 0xFFFFFFFFu);
}

// The bitmap covers only what the tree draws, but all of it: a soft shadow,
// parts reaching beyond the layer's bounds with shadows of their own, and a
// picture larger than the part of the layer it is centred on. Turned a
// quarter, the bitmap is copied pixel for pixel, so nothing may differ from
// the tree drawn directly but for the rounding of the blur.
TEST_F(CALayerRasterizeTest, EverythingTheTreeDrawsBeyondTheBoundsIsInThePicture) {
    Scene scene;
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    scene.square->setBackgroundColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    scene.square->setShadowOpacity(1);
    scene.square->setShadowRadius(8);
    scene.square->setShadowOffset({5, 7});
    scene.square->setShadowColor(CGColorCreateGenericRGB(0, 0, 0.5, 1));
    auto outside = CALayer::layer();
    outside->setFrame(CGRectMake(125, 30, 20, 20));
    outside->setBackgroundColor(CGColorCreateGenericRGB(0, 0.6, 0, 1));
    outside->setShadowOpacity(0.8);
    outside->setShadowRadius(3);
    scene.square->addSublayer(outside);
    auto picture = CALayer::layer();
    picture->setFrame(CGRectMake(-5, -5, 10, 10));
    picture->setTransform(CGAffineTransformMakeRotation(0.5));
    auto bitmap = CGContext::createBitmapContext(40, 30);
    bitmap->setFillColorWithColor(CGColorCreateGenericRGB(0.9, 0.5, 0, 1));
    bitmap->fillRect(CGRectMake(0, 0, 40, 30));
    picture->setContents(bitmap->createImage());
    picture->setContentsGravity(CAContentsGravity::Center);
    scene.square->addSublayer(picture);
    CATransaction::commit();
    for (CGFloat degrees : {90.0, 270.0}) {
        CGImageRef direct = scene.render(false, degrees);
        CGImageRef composed = scene.render(true, degrees);
        // The shadows are blurred across and down in another order.
        EXPECT_EQ(differingPixels(*direct, *composed, 20), 0) << degrees << "°";
    }
}

}  // namespace
