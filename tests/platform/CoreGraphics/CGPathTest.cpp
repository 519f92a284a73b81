#include <gtest/gtest.h>

#include <numbers>

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

TEST(CGPathTest, ArcDirectionFollowsTheClockwiseFlag) {
    CGPath ccw;
    ccw.addArc({0, 0}, 10, 0, std::numbers::pi / 2, false);
    EXPECT_NEAR(ccw.currentPoint().x, 0, 1e-9);
    EXPECT_NEAR(ccw.currentPoint().y, 10, 1e-9);
    // Counterclockwise a quarter turn stays in the first quadrant.
    EXPECT_GT(ccw.boundingBox().origin.x, -1e-9);
    CGPath cw;
    cw.addArc({0, 0}, 10, 0, std::numbers::pi / 2, true);
    // Clockwise goes the long way round: three quarters, through negative x and y.
    EXPECT_NEAR(cw.boundingBox().origin.x, -10, 0.1);
    EXPECT_NEAR(cw.boundingBox().origin.y, -10, 0.1);
    EXPECT_NEAR(cw.currentPoint().y, 10, 1e-9);
}

TEST(CGPathTest, ArcAfterAPointJoinsWithALine) {
    CGPath path;
    path.moveToPoint({-20, 0});
    path.addArc({0, 0}, 10, std::numbers::pi, 2 * std::numbers::pi, false);
    ASSERT_GE(path.elements().size(), 3u);
    EXPECT_EQ(path.elements()[1].type, CGPath::ElementType::AddLineToPoint);
    EXPECT_NEAR(path.elements()[1].points[0].x, -10, 1e-9);
    // A full circle drawn as a relative arc closes on its start.
    CGPath circle;
    circle.addRelativeArc({5, 5}, 5, 0, 2 * std::numbers::pi);
    EXPECT_NEAR(circle.currentPoint().x, 10, 1e-9);
    EXPECT_TRUE(circle.containsPoint({5, 5}, false));
    EXPECT_FALSE(circle.containsPoint({9.5, 9.5}, false));
}

TEST(CGPathTest, ArcToPointIsTangentToBothLines) {
    CGPath path;
    path.moveToPoint({0, 0});
    path.addArcToPoint({10, 0}, {10, 10}, 4);
    // Tangent points at (6, 0) and (10, 4).
    EXPECT_EQ(path.elements()[1].type, CGPath::ElementType::AddLineToPoint);
    EXPECT_NEAR(path.elements()[1].points[0].x, 6, 1e-9);
    EXPECT_NEAR(path.currentPoint().x, 10, 1e-9);
    EXPECT_NEAR(path.currentPoint().y, 4, 1e-9);
    // Collinear points and a zero radius give a line to the corner point.
    CGPath straight;
    straight.moveToPoint({0, 0});
    straight.addArcToPoint({10, 0}, {20, 0}, 4);
    EXPECT_EQ(straight.currentPoint(), CGPointMake(10, 0));
}

TEST(CGPathTest, RoundedRectCutsItsCorners) {
    CGPath path;
    path.addRoundedRect(CGRectMake(0, 0, 40, 20), 8, 8);
    EXPECT_TRUE(path.containsPoint({20, 10}, false));
    EXPECT_TRUE(path.containsPoint({1, 10}, false));
    EXPECT_FALSE(path.containsPoint({0.5, 0.5}, false));
    EXPECT_EQ(path.boundingBox(), CGRectMake(0, 0, 40, 20));
    // Radii larger than half a side are clamped: a 20-high rect becomes a stadium.
    CGPath stadium;
    stadium.addRoundedRect(CGRectMake(0, 0, 40, 20), 50, 50);
    EXPECT_FALSE(stadium.containsPoint({1, 2}, false));
    EXPECT_TRUE(stadium.containsPoint({10, 10}, false));
}

TEST(CGPathTest, TransformedCopyAndAddPath) {
    CGPath square;
    square.addRect(CGRectMake(0, 0, 1, 1));
    const CGPath big = square.copyByTransformingPath(CGAffineTransformMakeScale(10, 20));
    EXPECT_EQ(big.boundingBox(), CGRectMake(0, 0, 10, 20));
    CGPath both;
    both.addPath(square);
    both.addPath(square, CGAffineTransformMakeTranslation(5, 0));
    EXPECT_EQ(both.boundingBox(), CGRectMake(0, 0, 6, 1));
}

TEST(CGPathTest, StrokeContainmentHonoursWidthAndCaps) {
    CGPath line;
    line.addLines({{0, 0}, {100, 0}});
    EXPECT_TRUE(line.strokeContainsPoint({50, 4.5}, 10));
    EXPECT_FALSE(line.strokeContainsPoint({50, 5.5}, 10));
    EXPECT_FALSE(line.strokeContainsPoint({103, 0}, 10, kCGLineCapButt));
    EXPECT_TRUE(line.strokeContainsPoint({103, 0}, 10, kCGLineCapRound));
    EXPECT_TRUE(line.strokeContainsPoint({104, 4}, 10, kCGLineCapSquare));
    EXPECT_FALSE(line.strokeContainsPoint({104, 4}, 10, kCGLineCapRound));
    EXPECT_FALSE(CGPath().strokeContainsPoint({0, 0}, 10));
    // A thin arrow is easy to grab with a wide hit outline.
    EXPECT_TRUE(line.strokeContainsPoint({50, 40}, 90, kCGLineCapRound, kCGLineJoinMiter));
}
