#include <gtest/gtest.h>

#include "CoreGraphics/CGPath.h"

namespace {
void addSquare(CGPath& path, CGFloat x, CGFloat y, CGFloat size, bool clockwise) {
    path.moveToPoint({x, y});
    if (clockwise) {
        path.addLineToPoint({x, y + size});
        path.addLineToPoint({x + size, y + size});
        path.addLineToPoint({x + size, y});
    } else {
        path.addLineToPoint({x + size, y});
        path.addLineToPoint({x + size, y + size});
        path.addLineToPoint({x, y + size});
    }
}
}  // namespace

TEST(CGPathTest, OpenSubpathsAreClosedForContainment) {
    CGPath path;
    addSquare(path, 0, 0, 10, false);
    EXPECT_TRUE(path.containsPoint({5, 5}, false));
    EXPECT_TRUE(path.containsPoint({5, 5}, true));
    EXPECT_FALSE(path.containsPoint({15, 5}, false));
    EXPECT_FALSE(path.containsPoint({-1, 5}, true));
}

TEST(CGPathTest, HoleWithSameOrientationDiffersBetweenRules) {
    CGPath path;
    addSquare(path, 0, 0, 10, false);
    addSquare(path, 3, 3, 4, false);
    // Both rings wind the same way: non-zero fills the hole, even-odd leaves it out.
    EXPECT_TRUE(path.containsPoint({5, 5}, false));
    EXPECT_FALSE(path.containsPoint({5, 5}, true));
    EXPECT_TRUE(path.containsPoint({1, 1}, true));
}

TEST(CGPathTest, HoleWithOppositeOrientationIsEmptyForBothRules) {
    CGPath path;
    addSquare(path, 0, 0, 10, false);
    addSquare(path, 3, 3, 4, true);
    EXPECT_FALSE(path.containsPoint({5, 5}, false));
    EXPECT_FALSE(path.containsPoint({5, 5}, true));
}

TEST(CGPathTest, EllipseContainmentAndBounds) {
    CGPath path;
    path.addEllipseInRect(CGRectMake(0, 0, 20, 10));
    EXPECT_TRUE(path.containsPoint({10, 5}, false));
    EXPECT_TRUE(path.containsPoint({19, 5}, false));
    EXPECT_FALSE(path.containsPoint({1, 1}, false));
    EXPECT_EQ(path.boundingBox(), CGRectMake(0, 0, 20, 10));
    EXPECT_TRUE(CGRectIsNull(CGPath().boundingBox()));
}
