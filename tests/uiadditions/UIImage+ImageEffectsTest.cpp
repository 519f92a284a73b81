#include "uiadditions/UIImage+ImageEffects.h"

#include <gtest/gtest.h>

#include "CBGeoData/LogCapture.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIScreen.h"

namespace {

struct RGBA {
    int r, g, b, a;
};

// Pixel (x, y) of the image's bitmap, premultiplied.
RGBA pixel(const UIImage& image, size_t x, size_t y) {
    const uint32_t p = image.CGImage()->pixelAt(x, y);
    return {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF), int(p >> 24)};
}

// A size.width x size.height point image at scale 1: left half red, right half blue.
std::shared_ptr<UIImage> halves(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, true, 1);
    CGContextRef context = UIGraphicsGetCurrentContext();
    context->setRGBFillColor(1, 0, 0, 1);
    context->fillRect({{0, 0}, {size.width / 2, size.height}});
    context->setRGBFillColor(0, 0, 1, 1);
    context->fillRect({{size.width / 2, 0}, {size.width / 2, size.height}});
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

std::shared_ptr<UIImage> solid(CGSize size, CGFloat r, CGFloat g, CGFloat b) {
    UIGraphicsBeginImageContextWithOptions(size, true, 1);
    UIGraphicsGetCurrentContext()->setRGBFillColor(r, g, b, 1);
    UIGraphicsGetCurrentContext()->fillRect({{0, 0}, size});
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

class ImageEffectsTest : public ::testing::Test {
  protected:
    void SetUp() override { UIScreen::mainScreen()->setScale(1); }
    void TearDown() override { UIScreen::mainScreen()->setScale(previousScale_); }
    CGFloat previousScale_ = UIScreen::mainScreen()->scale();
};

}  // namespace

TEST_F(ImageEffectsTest, BoxSizesAreOdd) {
    EXPECT_EQ(ZELBoxSizeForBlurRadius(0), 1u);
    // 4.255 * 1.88 + 0.5 floors to 8, used as 9.
    EXPECT_EQ(ZELBoxSizeForBlurRadius(4.255), 9u);
    EXPECT_EQ(ZELBoxSizeForBlurRadius(7), 13u);
    EXPECT_EQ(ZELBoxSizeForBlurRadius(30), 57u);
}

TEST_F(ImageEffectsTest, NoBlurAndNoSaturationOnlyTints) {
    auto image = halves({20, 10});
    auto plain = applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(image, 0, std::nullopt,
                                                                            1, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->size().width, 20);
    EXPECT_EQ(pixel(*plain, 9, 5).r, 255);
    EXPECT_EQ(pixel(*plain, 10, 5).b, 255);

    auto tinted = applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        image, 0, UIColor::colorWithWhiteAlpha(1, 0.5), 1, nullptr);
    const RGBA left = pixel(*tinted, 2, 5);
    EXPECT_NEAR(left.r, 255, 1);
    EXPECT_NEAR(left.g, 128, 2);
    EXPECT_NEAR(left.b, 128, 2);
}

TEST_F(ImageEffectsTest, BlurMixesAcrossTheEdgeOnly) {
    auto blurred = applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        halves({60, 10}), 3, std::nullopt, 1, nullptr);
    ASSERT_NE(blurred, nullptr);
    const RGBA farLeft = pixel(*blurred, 0, 5), edge = pixel(*blurred, 30, 5);
    EXPECT_EQ(farLeft.r, 255);
    EXPECT_EQ(farLeft.b, 0);
    EXPECT_GT(edge.r, 60);
    EXPECT_GT(edge.b, 60);
    EXPECT_EQ(edge.a, 255);
}

TEST_F(ImageEffectsTest, SaturationZeroGivesLuminanceGrey) {
    auto grey = applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        solid({8, 8}, 1, 0, 0), 0, std::nullopt, 0, nullptr);
    ASSERT_NE(grey, nullptr);
    const RGBA red = pixel(*grey, 4, 4);
    EXPECT_NEAR(red.r, 54, 1);  // 0.2126 x 255
    EXPECT_EQ(red.r, red.g);
    EXPECT_EQ(red.g, red.b);
    auto green = applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        solid({8, 8}, 0, 1, 0), 0, std::nullopt, 0, nullptr);
    EXPECT_NEAR(pixel(*green, 4, 4).g, 182, 1);  // 0.7152 x 255

    // -1 turns a pure red into its complement around the grey.
    auto inverted = applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(
        solid({8, 8}, 1, 0, 0), 0, std::nullopt, -1, nullptr);
    const RGBA cyanish = pixel(*inverted, 4, 4);
    EXPECT_LT(cyanish.r, 10);
    EXPECT_GT(cyanish.g, 90);
    EXPECT_GT(cyanish.b, 90);
}

TEST_F(ImageEffectsTest, MaskLimitsTheBlurredLayer) {
    // Mask: the top half opaque white, the bottom half transparent.
    UIGraphicsBeginImageContextWithOptions({60, 20}, false, 1);
    UIGraphicsGetCurrentContext()->setRGBFillColor(1, 1, 1, 1);
    UIGraphicsGetCurrentContext()->fillRect({{0, 0}, {60, 10}});
    auto mask = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();

    auto masked = applyBlurWithRadiusTintColorSaturationDeltaFactorMaskImage(halves({60, 20}), 3,
                                                                             std::nullopt, 1, mask);
    ASSERT_NE(masked, nullptr);
    EXPECT_GT(pixel(*masked, 30, 3).r, 60);  // blurred edge in the top half
    EXPECT_GT(pixel(*masked, 30, 3).b, 60);
    EXPECT_EQ(pixel(*masked, 30, 17).b, 255);  // sharp receiver in the bottom half
    EXPECT_EQ(pixel(*masked, 30, 17).r, 0);
}

TEST_F(ImageEffectsTest, ResultsUseTheScreenScale) {
    UIScreen::mainScreen()->setScale(2);
    auto light = applyLightEffect(halves({16, 8}));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->scale(), 2);
    EXPECT_EQ(light->size().width, 16);
    EXPECT_EQ(light->CGImage()->width(), 32u);
    for (auto effect : {applyMediumLightEffect, applyExtraLightEffect, applyDarkEffect})
        EXPECT_NE(effect(halves({16, 8})), nullptr);
}

TEST_F(ImageEffectsTest, TintEffectRebuildsTheColourAtSixTenths) {
    auto white =
        applyTintEffectWithColor(solid({8, 8}, 0, 0, 0), UIColor::colorWithWhiteAlpha(1, 1));
    ASSERT_NE(white, nullptr);
    EXPECT_NEAR(pixel(*white, 4, 4).r, 153, 2);  // 0.6 white over black
    auto red = applyTintEffectWithColor(solid({8, 8}, 0, 0, 0),
                                        UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 0.1));
    EXPECT_NEAR(pixel(*red, 4, 4).r, 153, 2);
    EXPECT_NEAR(pixel(*red, 4, 4).g, 0, 1);
}

TEST_F(ImageEffectsTest, TooSmallImagesAreRefused) {
    LogCapture log;
    UIGraphicsBeginImageContextWithOptions({1, 10}, false, 1);
    auto source = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    ASSERT_NE(source, nullptr);
    // 1 x 10 pixels at scale 2 is 0.5 x 5 points.
    auto thin = UIImage::imageWithCGImage(source->CGImage(), 2);
    EXPECT_EQ(applyLightEffect(thin), nullptr);
    EXPECT_TRUE(log.contains("*** error: invalid size: (0.50 x 5.00)"));
    EXPECT_EQ(applyLightEffect(nullptr), nullptr);
}
