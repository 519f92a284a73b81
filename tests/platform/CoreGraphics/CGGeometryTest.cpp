#include <gtest/gtest.h>

#include "CoreGraphics/CGGeometry.h"

TEST(CGGeometryTest, IntersectionOfOverlappingTouchingAndDisjointRects) {
    const CGRect a = CGRectMake(0, 0, 10, 10);
    EXPECT_EQ(CGRectIntersection(a, CGRectMake(5, 5, 10, 10)), CGRectMake(5, 5, 5, 5));
    // Touching edges meet in a zero-size rectangle, which does not count as intersecting.
    const CGRect touching = CGRectIntersection(a, CGRectMake(10, 0, 5, 5));
    EXPECT_FALSE(CGRectIsNull(touching));
    EXPECT_FALSE(CGRectIntersectsRect(a, CGRectMake(10, 0, 5, 5)));
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(a, CGRectMake(11, 0, 5, 5))));
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(a, CGRectNull)));
}

TEST(CGGeometryTest, NegativeSizesAreStandardised) {
    const CGRect r = CGRectMake(10, 10, -4, -6);
    EXPECT_EQ(CGRectStandardize(r), CGRectMake(6, 4, 4, 6));
    EXPECT_DOUBLE_EQ(CGRectGetMaxX(r), 10);
    EXPECT_TRUE(CGRectContainsRect(CGRectMake(0, 0, 20, 20), r));
    EXPECT_TRUE(CGRectEqualToRect(r, CGRectMake(6, 4, 4, 6)));
}

TEST(CGGeometryTest, InsetPastItsSizeIsNull) {
    EXPECT_EQ(CGRectInset(CGRectMake(0, 0, 10, 10), 2, 3), CGRectMake(2, 3, 6, 4));
    EXPECT_TRUE(CGRectIsNull(CGRectInset(CGRectMake(0, 0, 10, 10), 6, 0)));
}

TEST(CGGeometryTest, UnionAndContainment) {
    EXPECT_EQ(CGRectUnion(CGRectNull, CGRectMake(1, 1, 1, 1)), CGRectMake(1, 1, 1, 1));
    EXPECT_EQ(CGRectUnion(CGRectMake(0, 0, 1, 1), CGRectMake(2, 2, 1, 1)), CGRectMake(0, 0, 3, 3));
    EXPECT_TRUE(CGRectContainsPoint(CGRectMake(0, 0, 1, 1), {0, 0}));
    EXPECT_FALSE(CGRectContainsPoint(CGRectMake(0, 0, 1, 1), {1, 0.5}));
    EXPECT_EQ(CGRectIntegral(CGRectMake(0.5, 0.2, 1, 1)), CGRectMake(0, 0, 2, 2));
}
