#include <gtest/gtest.h>

#include <numbers>

#include "CoreGraphics/CGAffineTransform.h"

namespace {
void expectPointNear(CGPoint actual, CGPoint expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}
}  // namespace

TEST(CGAffineTransformTest, ConcatAppliesTheFirstTransformFirst) {
    const CGAffineTransform scale = CGAffineTransformMakeScale(2, 3);
    const CGAffineTransform move = CGAffineTransformMakeTranslation(10, 0);
    expectPointNear(CGPointApplyAffineTransform({1, 1}, CGAffineTransformConcat(scale, move)),
                    {12, 3});
    expectPointNear(CGPointApplyAffineTransform({1, 1}, CGAffineTransformConcat(move, scale)),
                    {22, 3});
    // Translate on a scaled transform moves in the scaled space.
    expectPointNear(CGPointApplyAffineTransform({0, 0}, CGAffineTransformTranslate(scale, 1, 1)),
                    {2, 3});
}

TEST(CGAffineTransformTest, RotationIsCounterClockwiseInYUpSpace) {
    const CGAffineTransform r = CGAffineTransformMakeRotation(std::numbers::pi / 2);
    expectPointNear(CGPointApplyAffineTransform({1, 0}, r), {0, 1});
    expectPointNear(
        CGPointApplyAffineTransform({1, 0}, CGAffineTransformRotate(r, -std::numbers::pi / 2)),
        {1, 0});
}

TEST(CGAffineTransformTest, InvertUndoesAndSingularStaysUnchanged) {
    const CGAffineTransform t =
        CGAffineTransformRotate(CGAffineTransformMakeTranslation(5, -3), 0.7);
    const CGPoint p = CGPointApplyAffineTransform({4, 9}, t);
    expectPointNear(CGPointApplyAffineTransform(p, CGAffineTransformInvert(t)), {4, 9});
    const CGAffineTransform singular = CGAffineTransformMakeScale(0, 1);
    EXPECT_EQ(CGAffineTransformInvert(singular), singular);
    EXPECT_TRUE(
        CGAffineTransformIsIdentity(CGAffineTransformConcat(t, CGAffineTransformInvert(t))) ||
        std::abs(CGAffineTransformConcat(t, CGAffineTransformInvert(t)).tx) < 1e-12);
}

TEST(CGAffineTransformTest, RectIsTheBoundingBoxOfItsCorners) {
    const CGRect r = CGRectApplyAffineTransform(
        CGRectMake(0, 0, 10, 20), CGAffineTransformMakeRotation(std::numbers::pi / 2));
    EXPECT_NEAR(r.origin.x, -20, 1e-9);
    EXPECT_NEAR(r.origin.y, 0, 1e-9);
    EXPECT_NEAR(r.size.width, 20, 1e-9);
    EXPECT_NEAR(r.size.height, 10, 1e-9);
    EXPECT_TRUE(CGRectIsNull(CGRectApplyAffineTransform(CGRectNull, CGAffineTransformIdentity)));
    const CGSize s = CGSizeApplyAffineTransform({3, 4}, CGAffineTransformMakeTranslation(9, 9));
    EXPECT_EQ(s, CGSizeMake(3, 4));
}
