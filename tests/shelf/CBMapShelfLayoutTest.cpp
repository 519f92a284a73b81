#include <gtest/gtest.h>

#include "QuartzCore/CAGradientLayer.h"
#include "shelf/CBMapShelfFlowLayout.h"
#include "shelf/CBMapShelfShadowOverlay.h"

TEST(CBMapShelfLayout, CoversAndSpacingFollowTheDevice) {
    const auto phone = CBMapShelfLayoutMetrics::forDevice(UIUserInterfaceIdiomPhone, 568);
    EXPECT_EQ(phone.itemSize, CGSizeMake(90, 135));
    EXPECT_EQ(phone.sectionInset, (UIEdgeInsets{10, 12, 10, 12}));
    EXPECT_EQ(phone.rowHeight(), 155);
    // A pad of exactly 1024 points still gets the smaller covers.
    const auto pad = CBMapShelfLayoutMetrics::forDevice(UIUserInterfaceIdiomPad, 1024);
    EXPECT_EQ(pad.itemSize, CGSizeMake(120, 160));
    EXPECT_EQ(pad.interitemSpacing, 20);
    EXPECT_EQ(pad.sectionInset, (UIEdgeInsets{22, 30, 22, 30}));
    EXPECT_EQ(pad.rowHeight(), 204);
    const auto large = CBMapShelfLayoutMetrics::forDevice(UIUserInterfaceIdiomPad, 1366);
    EXPECT_EQ(large.itemSize, CGSizeMake(160, 240));
    EXPECT_EQ(large.sectionInset, (UIEdgeInsets{45, 60, 45, 60}));
    EXPECT_EQ(large.rowHeight(), 330);
}

TEST(CBMapShelfShadowOverlay, ShadesThreeEdgesAndHidesOnlyTheSides) {
    auto overlay = std::make_shared<CBMapShelfShadowOverlay>(CGRectMake(0, 0, 200, 100));
    EXPECT_FALSE(overlay->isUserInteractionEnabled());
    overlay->layoutSubviews();
    EXPECT_EQ(overlay->top()->frame(), CGRectMake(0, 0, 200, 15));
    EXPECT_EQ(overlay->left()->frame(), CGRectMake(0, 0, 15, 100));
    EXPECT_EQ(overlay->right()->frame(), CGRectMake(185, 0, 15, 100));
    EXPECT_EQ(overlay->right()->startPoint(), CGPointMake(1, 0));
    overlay->showSideShadows(false);
    EXPECT_TRUE(overlay->left()->isHidden());
    EXPECT_TRUE(overlay->right()->isHidden());
    EXPECT_FALSE(overlay->top()->isHidden());
}
