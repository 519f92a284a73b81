#include <gtest/gtest.h>

#include <cmath>

#include "UIKit/UIColor.h"

TEST(UIColorTest, ComponentsAreClampedAndNaNBecomesZero) {
    const UIColor c = UIColor::colorWithRedGreenBlueAlpha(1.08, -0.2, NAN, 0.5);
    CGFloat r, g, b, a;
    ASSERT_TRUE(c.getRedGreenBlueAlpha(&r, &g, &b, &a));
    EXPECT_EQ(r, 1.0);
    EXPECT_EQ(g, 0.0);
    EXPECT_EQ(b, 0.0);
    EXPECT_EQ(a, 0.5);
    EXPECT_EQ(c.numberOfComponents(), 4u);
    EXPECT_EQ(c.description(), "UIDeviceRGBColorSpace 1 0 0 0.5");
}

TEST(UIColorTest, GreyAnswersRGBAndWhite) {
    const UIColor grey = UIColor::colorWithWhiteAlpha(0.25, 0.75);
    EXPECT_EQ(grey.colorSpaceModel(), kCGColorSpaceModelMonochrome);
    EXPECT_EQ(grey.numberOfComponents(), 2u);
    CGFloat r = -1, g = -1, b = -1, a = -1, w = -1;
    ASSERT_TRUE(grey.getRedGreenBlueAlpha(&r, &g, &b, &a));
    EXPECT_EQ(r, 0.25);
    EXPECT_EQ(g, 0.25);
    EXPECT_EQ(b, 0.25);
    EXPECT_EQ(a, 0.75);
    ASSERT_TRUE(grey.getWhiteAlpha(&w, nullptr));
    EXPECT_EQ(w, 0.25);
    // An RGB colour is no grey, even when its channels agree.
    EXPECT_FALSE(UIColor::colorWithRedGreenBlueAlpha(0.5, 0.5, 0.5, 1).getWhiteAlpha(&w, &a));
}

TEST(UIColorTest, OtherModelsRefuseRGBAndKeepTheirAlpha) {
    const UIColor cmyk =
        UIColor::colorWithModelAndComponents(kCGColorSpaceModelCMYK, {0.1, 0.2, 0.3, 0.4, 0.6});
    CGFloat r = 7;
    EXPECT_FALSE(cmyk.getRedGreenBlueAlpha(&r, nullptr, nullptr, nullptr));
    EXPECT_EQ(r, 7);
    EXPECT_EQ(cmyk.numberOfComponents(), 5u);
    EXPECT_EQ(cmyk.alpha(), 0.6);
    const UIColor pattern = UIColor::colorWithModelAndComponents(kCGColorSpaceModelPattern, {});
    EXPECT_EQ(pattern.numberOfComponents(), 1u);
    EXPECT_EQ(pattern.alpha(), 1.0);
    EXPECT_EQ(pattern.componentAtIndex(3), 0.0);
}

TEST(UIColorTest, EqualityAndAlphaCopies) {
    EXPECT_EQ(UIColor(), UIColor::blackColor());
    EXPECT_NE(UIColor::blackColor(), UIColor::colorWithRedGreenBlueAlpha(0, 0, 0, 1));
    const UIColor half = UIColor::redColor().colorWithAlphaComponent(0.5);
    EXPECT_EQ(half, UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 0.5));
    EXPECT_EQ(UIColor::clearColor().alpha(), 0.0);
}
