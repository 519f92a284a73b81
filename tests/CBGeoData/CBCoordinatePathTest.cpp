#include "CBGeoData/CBCoordinatePath.h"

#include <gtest/gtest.h>

#include "CBGeoData/CBPointPath.h"

namespace {

std::vector<std::shared_ptr<CLLocation>> locations(
    std::initializer_list<CLLocationCoordinate2D> coordinates) {
    std::vector<std::shared_ptr<CLLocation>> result;
    for (const auto& c : coordinates) {
        result.push_back(std::make_shared<CLLocation>(c.latitude, c.longitude));
    }
    return result;
}

std::vector<std::shared_ptr<CLLocation>> square(double south, double west, double size) {
    return locations({{south, west},
                      {south, west + size},
                      {south + size, west + size},
                      {south + size, west},
                      {south, west}});
}

}  // namespace

TEST(CBCoordinatePath, OneSegmentKeepsItsCoordinates) {
    auto path = CBCoordinatePath::createWithNumberOfCoordinates(3);
    EXPECT_EQ(path->segmentCount(), 1u);
    EXPECT_EQ(path->count(), 3u);
    EXPECT_EQ(path->coordinateAtIndex(2), CLLocationCoordinate2D{});

    path->setCoordinateAtIndex({1, 2}, 0);
    path->setCoordinateAtIndexOfSegment({3, 4}, 1, 0);
    EXPECT_EQ(path->coordinateAtIndex(1), (CLLocationCoordinate2D{3, 4}));
    EXPECT_EQ(path->coordinateAtIndexOfSegment(0, 0), (CLLocationCoordinate2D{1, 2}));
    // A one-segment path does not look at the segment index when reading.
    EXPECT_EQ(path->coordinateAtIndexOfSegment(0, 7), (CLLocationCoordinate2D{1, 2}));
    EXPECT_EQ(path->numberOfCoordinatesAtSegment(0), 3u);

    path->setupPathForSegmentWithNumberOfCoordinates(0, 1);
    EXPECT_EQ(path->count(), 1u);
    EXPECT_EQ(path->coordinateAtIndex(0), CLLocationCoordinate2D{});
}

TEST(CBCoordinatePath, SeveralSegmentsAreSizedOneByOne) {
    CBCoordinatePath path(3);
    EXPECT_EQ(path.segmentCount(), 3u);
    EXPECT_EQ(path.count(), 0u);
    EXPECT_EQ(path.numberOfCoordinatesAtSegment(2), 0u);

    path.setupPathForSegmentWithNumberOfCoordinates(0, 2);
    path.setupPathForSegmentWithNumberOfCoordinates(2, 1);
    path.setCoordinateAtIndexOfSegment({5, 6}, 0, 2);
    path.setCoordinateAtIndex({1, 2}, 1);  // segment 0
    EXPECT_EQ(path.count(), 0u);
    EXPECT_EQ(path.numberOfCoordinatesAtSegment(0), 2u);
    EXPECT_EQ(path.numberOfCoordinatesAtSegment(1), 0u);
    EXPECT_EQ(path.coordinateAtIndexOfSegment(0, 2), (CLLocationCoordinate2D{5, 6}));
    EXPECT_EQ(path.coordinateAtIndexOfSegment(1, 0), (CLLocationCoordinate2D{1, 2}));
    EXPECT_EQ(path.coordinateAtIndex(1), (CLLocationCoordinate2D{1, 2}));
}

TEST(CBCoordinatePath, BuiltFromLocationsAndPaths) {
    auto line = locations({{1, 2}, {3, 4}});
    line.insert(line.begin() + 1, nullptr);
    CBCoordinatePath fromLocations(line);
    ASSERT_EQ(fromLocations.count(), 3u);
    EXPECT_EQ(fromLocations.coordinateAtIndex(1), CLLocationCoordinate2D{});
    EXPECT_EQ(fromLocations.coordinateAtIndex(2), (CLLocationCoordinate2D{3, 4}));

    CBCoordinatePath single(std::vector<std::vector<std::shared_ptr<CLLocation>>>{line});
    EXPECT_EQ(single, fromLocations);

    auto rings = std::make_shared<CBCoordinatePath>(
        std::vector<std::vector<std::shared_ptr<CLLocation>>>{square(0, 0, 4), square(1, 1, 2)});
    EXPECT_EQ(rings->segmentCount(), 2u);
    EXPECT_EQ(rings->numberOfCoordinatesAtSegment(1), 5u);

    CBCoordinatePath joined(std::vector<std::shared_ptr<CBCoordinatePath>>{
        std::make_shared<CBCoordinatePath>(line), nullptr, rings});
    ASSERT_EQ(joined.segmentCount(), 3u);
    EXPECT_EQ(joined.numberOfCoordinatesAtSegment(0), 3u);
    EXPECT_EQ(joined.coordinateAtIndexOfSegment(2, 0), (CLLocationCoordinate2D{3, 4}));
    EXPECT_EQ(joined.coordinateAtIndexOfSegment(2, 2), (CLLocationCoordinate2D{3, 3}));

    CBCoordinatePath none(std::vector<std::shared_ptr<CBCoordinatePath>>{});
    EXPECT_EQ(none.segmentCount(), 0u);
    EXPECT_EQ(none.count(), 0u);
}

TEST(CBCoordinatePath, BoundingBoxCoversEverySegment) {
    CBCoordinatePath rings(std::vector<std::vector<std::shared_ptr<CLLocation>>>{
        locations({{1, 2}, {3, -4}}), locations({{-5, 6}})});
    auto box = rings.bbox();
    EXPECT_EQ(box->NE(), (CLLocationCoordinate2D{3, 6}));
    EXPECT_EQ(box->SW(), (CLLocationCoordinate2D{-5, -4}));

    EXPECT_EQ(*CBCoordinatePath(0).bbox(), CBBoundingBox());
    EXPECT_EQ(*CBCoordinatePath(2).bbox(), CBBoundingBox());
}

TEST(CBCoordinatePath, CGPathHasOneOpenSubpathPerSegment) {
    CBCoordinatePath path(std::vector<std::vector<std::shared_ptr<CLLocation>>>{
        locations({{1, 2}, {3, 4}, {5, 6}}), locations({{7, 8}})});
    const CGPath cgPath = path.newCGPath();
    const auto& elements = cgPath.elements();
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_EQ(elements[0].type, CGPath::ElementType::MoveToPoint);
    EXPECT_EQ(elements[0].points[0], CGPointMake(2, 1));
    EXPECT_EQ(elements[2].type, CGPath::ElementType::AddLineToPoint);
    EXPECT_EQ(elements[2].points[0], CGPointMake(6, 5));
    EXPECT_EQ(elements[3].type, CGPath::ElementType::MoveToPoint);
    EXPECT_EQ(elements[3].points[0], CGPointMake(8, 7));
}

TEST(CBCoordinatePath, ContainmentRules) {
    CBCoordinatePath ring(square(0, 0, 4));
    EXPECT_TRUE(ring.containsCoordinate({2, 2}));
    EXPECT_FALSE(ring.containsCoordinate({5, 2}));

    // One segment winding twice around is still inside by the non-zero rule.
    auto twice = square(0, 0, 4);
    const auto again = square(0, 0, 4);
    twice.insert(twice.end(), again.begin() + 1, again.end());
    EXPECT_TRUE(CBCoordinatePath(twice).containsCoordinate({2, 2}));

    // An outer ring with a hole: the hole is outside by the even-odd rule.
    CBCoordinatePath withHole(
        std::vector<std::vector<std::shared_ptr<CLLocation>>>{square(0, 0, 4), square(1, 1, 2)});
    EXPECT_FALSE(withHole.containsCoordinate({2, 2}));
    EXPECT_TRUE(withHole.containsCoordinate({0.5, 0.5}));
    EXPECT_FALSE(withHole.containsCoordinate({5, 5}));

    EXPECT_FALSE(CBCoordinatePath(0).containsCoordinate({0, 0}));
}

TEST(CBPointPath, FixedSizeArrayOfPoints) {
    CBPointPath points(2);
    EXPECT_EQ(points.count(), 2u);
    points.setPointAtIndex({3, 4}, 1);
    EXPECT_EQ(points.pointAtIndex(1), CGPointMake(3, 4));
    EXPECT_EQ(points.pointAtIndex(0), CGPointZero);
    EXPECT_EQ(points.points().size(), 2u);
}

using CBCoordinatePathDeathTest = ::testing::Test;

TEST_F(CBCoordinatePathDeathTest, BoundsViolationsStopTheProgram) {
    const char* file = "Assertion failure in CBGeoData/CBCoordinatePath";
    EXPECT_DEATH(CBCoordinatePath(2).setupPathForSegmentWithNumberOfCoordinates(2, 1),
                 "CBCoordinatePath.*Setting up path 2 beyond bounds 2");
    EXPECT_DEATH(CBCoordinatePath(0).setupPathForSegmentWithNumberOfCoordinates(0, 1), file);
    EXPECT_DEATH(CBCoordinatePath(2).setCoordinateAtIndexOfSegment({}, 0, 2),
                 "Segment beyond bounds of path");
    EXPECT_DEATH(CBCoordinatePath(2).setCoordinateAtIndexOfSegment({}, 0, 1),
                 "Coordinate beyond bounds of path");
    EXPECT_DEATH(CBCoordinatePath::createWithNumberOfCoordinates(2)->setCoordinateAtIndex({}, 2),
                 "Coordinate beyond bounds of path");
    EXPECT_DEATH(CBCoordinatePath::createWithNumberOfCoordinates(2)->coordinateAtIndex(2),
                 "Coordinate beyond bounds of path");
    EXPECT_DEATH(
        CBCoordinatePath::createWithNumberOfCoordinates(2)->coordinateAtIndexOfSegment(5, 0),
        "Coordinate beyond bounds of path");
    EXPECT_DEATH(CBCoordinatePath(3).coordinateAtIndexOfSegment(0, 3),
                 "Segment beyond bounds of path");
    EXPECT_DEATH(CBCoordinatePath(1).numberOfCoordinatesAtSegment(1),
                 "numberOfCoordinatesAtSegment: Segment beyond bounds of path");
    EXPECT_DEATH(CBPointPath(1).setPointAtIndex({}, 1), "Point beyond bounds of path");
    EXPECT_DEATH(CBPointPath(0).pointAtIndex(0), "Coordinate beyond bounds of path");
}
