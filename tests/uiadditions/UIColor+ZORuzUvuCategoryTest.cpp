#include <gtest/gtest.h>

#include <cmath>

#include "foundation/ZELColorConversion.h"
#include "uiadditions/UIColor+ZELMixing.h"
#include "uiadditions/UIColor+ZORuzUvuCategory.h"

TEST(UIColorZORuzUvuCategoryTest, HexStringsInTheirAcceptedForms) {
    const UIColor orange = UIColor::colorWithRedGreenBlueAlpha(1.0, 128 / 255.0, 0, 1);
    for (const char* text : {"ff8000", " FF8000\n", "0xff8000", "0XFF8000", "\tff8000 "}) {
        const auto color = cbColorWithHexString(text);
        ASSERT_TRUE(color) << text;
        EXPECT_EQ(*color, orange) << text;
    }
    for (const char* text : {"#FF8000", "FF80", "FF80001", "", "0x", "0xFF80", "  "}) {
        EXPECT_FALSE(cbColorWithHexString(text)) << text;
    }
    // A pair that is no hexadecimal number reads as 0.
    EXPECT_EQ(*cbColorWithHexString("zz8000"),
              UIColor::colorWithRedGreenBlueAlpha(0, 128 / 255.0, 0, 1));
}

TEST(UIColorZORuzUvuCategoryTest, HexStringFromColorTruncates) {
    EXPECT_EQ(cbHexStringFromColor(UIColor::colorWithRedGreenBlueAlpha(1.0, 0.5, 0, 1)), "FF7F00");
    EXPECT_EQ(cbHexStringFromColor(*cbColorWithHexString("0a1B2c")), "0A1B2C");
    EXPECT_EQ(cbHexStringFromColor(UIColor::grayColor()), "7F7F7F");
}

TEST(UIColorZORuzUvuCategoryTest, RGBToHSVAndBack) {
    const ZELHSV orange = ZELRGBToHSV(1.0, 0.5, 0.0);
    EXPECT_DOUBLE_EQ(orange.hue, 30);
    EXPECT_DOUBLE_EQ(orange.saturation, 1);
    EXPECT_DOUBLE_EQ(orange.value, 1);
    // Magenta-red side of the circle wraps into 0..360.
    EXPECT_DOUBLE_EQ(ZELRGBToHSV(1.0, 0.0, 0.5).hue, 330);
    // Ties prefer red, then green.
    EXPECT_DOUBLE_EQ(ZELRGBToHSV(1.0, 1.0, 0.0).hue, 60);
    EXPECT_DOUBLE_EQ(ZELRGBToHSV(0.0, 1.0, 1.0).hue, 180);

    for (double hue : {0.0, 45.0, 100.0, 170.0, 200.0, 280.0, 359.0}) {
        const ZELRGB rgb = ZELHSVToRGB(hue, 0.6, 0.8);
        const ZELHSV back = ZELRGBToHSV(rgb.red, rgb.green, rgb.blue);
        EXPECT_NEAR(back.hue, hue, 1e-9);
        EXPECT_NEAR(back.saturation, 0.6, 1e-9);
        EXPECT_NEAR(back.value, 0.8, 1e-9);
    }
    // Hue is an angle: 360 is red again, and sums past the circle wrap.
    const ZELRGB red = ZELHSVToRGB(360, 1, 1);
    EXPECT_DOUBLE_EQ(red.red, 1);
    EXPECT_DOUBLE_EQ(red.green, 0);
    EXPECT_DOUBLE_EQ(red.blue, 0);
    const ZELRGB past = ZELHSVToRGB(370, 1, 1), ten = ZELHSVToRGB(10, 1, 1);
    EXPECT_NEAR(past.green, ten.green, 1e-12);
    EXPECT_DOUBLE_EQ(past.blue, 0);
    const ZELRGB before = ZELHSVToRGB(-10, 1, 1), late = ZELHSVToRGB(350, 1, 1);
    EXPECT_NEAR(before.blue, late.blue, 1e-12);
    EXPECT_DOUBLE_EQ(before.green, 0);
    EXPECT_EQ(cbAddHueSaturationValue(UIColor::redColor(), 360, 0, 0), UIColor::redColor());
}

TEST(UIColorZORuzUvuCategoryTest, BlackAndGreyHaveNoNaNHue) {
    const ZELHSV black = ZELRGBToHSV(0, 0, 0);
    EXPECT_EQ(black.hue, -1);
    EXPECT_EQ(black.saturation, 0);
    const ZELHSV grey = ZELRGBToHSV(0.4, 0.4, 0.4);
    EXPECT_FALSE(std::isnan(grey.hue));
    EXPECT_EQ(grey.hue, 0);
    EXPECT_EQ(grey.saturation, 0);
    // Hue arithmetic on a grey keeps it grey and well defined.
    const UIColor grey2 = UIColor::colorWithRedGreenBlueAlpha(0.4, 0.4, 0.4, 0.3);
    const UIColor shifted = cbAddHueSaturationValue(grey2, 90, 0, 0);
    EXPECT_EQ(shifted, grey2);
    EXPECT_EQ(cbHue(UIColor::grayColor()), 0);
    EXPECT_EQ(cbMultiplyHueSaturationValue(UIColor::grayColor(), 2, 1, 1),
              UIColor::colorWithRedGreenBlueAlpha(0.5, 0.5, 0.5, 1));
}

TEST(UIColorZORuzUvuCategoryTest, HighlightShadowAndAlpha) {
    // Value 0.9 x 1.2 = 1.08 is clamped by the colour to 1.
    const UIColor base = cbColorWithHueSaturationValueAlpha(120, 0.5, 0.9, 0.7);
    const UIColor light = cbHighlight(base);
    EXPECT_NEAR(cbValue(light), 1.0, 1e-12);
    EXPECT_NEAR(cbHue(light), 120, 1e-9);
    EXPECT_DOUBLE_EQ(cbAlpha(light), 0.7);
    const UIColor dark = cbShadow(base);
    EXPECT_NEAR(cbValue(dark), 0.54, 1e-12);
    EXPECT_NEAR(cbSaturation(dark), 0.3, 1e-12);
    const UIColor opaqueGrey = copyCBWithAlpha(UIColor::colorWithWhiteAlpha(0.2, 0.1), 1);
    EXPECT_EQ(opaqueGrey, UIColor::colorWithRedGreenBlueAlpha(0.2, 0.2, 0.2, 1));
}

TEST(UIColorZORuzUvuCategoryTest, ColourSpacesAndComponents) {
    const UIColor grey = UIColor::colorWithWhiteAlpha(0.25, 0.5);
    EXPECT_TRUE(canProvideRGBComponents(grey));
    EXPECT_EQ(cbRed(grey), 0.25);
    EXPECT_EQ(cbBlue(grey), 0.25);
    EXPECT_EQ(cbAlpha(grey), 0.5);
    EXPECT_EQ(cbColorSpaceString(grey), "kCGColorSpaceModelMonochrome");
    EXPECT_EQ(cbColorSpaceString(UIColor::redColor()), "kCGColorSpaceModelRGB");
    EXPECT_EQ(cbColorSpaceStringForModel(kCGColorSpaceModelUnknown), "kCGColorSpaceModelUnknown");
    EXPECT_EQ(cbColorSpaceStringForModel(kCGColorSpaceModelPattern), "kCGColorSpaceModelPattern");
    EXPECT_EQ(cbColorSpaceStringForModel(static_cast<CGColorSpaceModel>(42)),
              "Not a valid color space");
    const UIColor cmyk =
        UIColor::colorWithModelAndComponents(kCGColorSpaceModelCMYK, {0, 0, 0, 0, 1});
    EXPECT_FALSE(canProvideRGBComponents(cmyk));
    EXPECT_DEATH(cbRed(cmyk), "Must be a RGB color to use -red, -green, -blue");
}

TEST(UIColorZORuzUvuCategoryTest, Mixing) {
    const UIColor black = UIColor::colorWithRedGreenBlueAlpha(0, 0, 0, 0.2);
    const UIColor white = UIColor::colorWithRedGreenBlueAlpha(1, 1, 1, 1);
    EXPECT_EQ(mixedByWithColor(black, 0.5, white),
              UIColor::colorWithRedGreenBlueAlpha(0.5, 0.5, 0.5, 0.6));
    EXPECT_EQ(mixedByWithColor(black, 0, white), black);
    EXPECT_EQ(mixedByWithColor(black, 1, white), white);
    // A grey mixes like the RGB colour of the same shade.
    EXPECT_EQ(mixedByWithColor(UIColor::blackColor(), 0.25, UIColor::whiteColor()),
              UIColor::colorWithRedGreenBlueAlpha(0.25, 0.25, 0.25, 1));
}
