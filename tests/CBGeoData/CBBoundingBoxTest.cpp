#include "CBGeoData/CBBoundingBox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "CBGeoData/LogCapture.h"

namespace {

constexpr double kMetresPerDegree = 6371000 * std::numbers::pi / 180;  // on the box's sphere

void expectCorners(const CBBoundingBox& box, CLLocationCoordinate2D ne, CLLocationCoordinate2D sw,
                   double tolerance = 1e-12) {
    EXPECT_NEAR(box.NE().latitude, ne.latitude, tolerance);
    EXPECT_NEAR(box.NE().longitude, ne.longitude, tolerance);
    EXPECT_NEAR(box.SW().latitude, sw.latitude, tolerance);
    EXPECT_NEAR(box.SW().longitude, sw.longitude, tolerance);
}

// Longitude offset of the great-circle destination due east (textbook
// destination-point formula), in degrees.
double eastOffset(double latitude, double distance) {
    const double phi = latitude * std::numbers::pi / 180;
    const double delta = distance / 6371000;
    const double phi2 = std::asin(std::sin(phi) * std::cos(delta));
    return std::atan2(std::sin(delta) * std::cos(phi),
                      std::cos(delta) - std::sin(phi) * std::sin(phi2)) *
           180 / std::numbers::pi;
}

std::shared_ptr<CBBoundingBox> box(double north, double east, double south, double west) {
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW({north, east}, {south, west});
}

}  // namespace

TEST(CBBoundingBox, EmptySentinelCollapsesOntoTheFirstCoordinate) {
    CBBoundingBox sentinel;
    sentinel.heal();
    expectCorners(sentinel, {-90, -180}, {90, 180});

    CBBoundingBox grown;
    grown.growToIncludeCoordinate({10, 20});
    expectCorners(grown, {10, 20}, {10, 20});
    grown.growToIncludeCoordinate({-5, 30});
    expectCorners(grown, {10, 30}, {-5, 20});

    grown.growToIncludeLocation(nullptr);
    expectCorners(grown, {10, 30}, {-5, 0});
}

TEST(CBBoundingBox, CornersAreOrderedAndEdgesIncluded) {
    CBBoundingBox swapped({1, 2}, {3, 4});
    expectCorners(swapped, {3, 4}, {1, 2});

    EXPECT_TRUE(swapped.includesCoordinate({3, 4}));
    EXPECT_TRUE(swapped.includesCoordinate({1, 2}));
    EXPECT_TRUE(swapped.includesCoordinate({2, 3}));
    EXPECT_FALSE(swapped.includesCoordinate({3.0000001, 3}));
    EXPECT_FALSE(swapped.includesCoordinate({2, 1.9999999}));

    EXPECT_FALSE(swapped.includesLocation(nullptr));
    EXPECT_TRUE(box(1, 1, -1, -1)->includesLocation(nullptr));
    EXPECT_TRUE(swapped.includesLocation(std::make_shared<CLLocation>(2.5, 2.5)));
}

TEST(CBBoundingBox, MultiplyKeepsTheCentre) {
    auto original = box(12, 25, 10, 20);
    auto same = original->boundingBoxMultipliedByFactor(1.0);
    EXPECT_NE(same, original);
    EXPECT_EQ(*same, *original);

    original->multiplyByFactor(3.0);
    expectCorners(*original, {14, 30}, {8, 15});

    auto wider = CBBoundingBox::significantlyWiderBBoxFrom(box(1, 1, -1, -1));
    expectCorners(*wider, {3, 3}, {-3, -3});
    EXPECT_EQ(CBBoundingBox::significantlyWiderBBoxFrom(nullptr), nullptr);
}

TEST(CBBoundingBox, SettingSpansKeepsTheCentreAndRefusesZero) {
    auto b = box(12, 24, 10, 20);
    LogCapture log;
    b->setLatitudeSpan(0);
    b->setLongitudeSpan(0);
    expectCorners(*b, {12, 24}, {10, 20});
    EXPECT_TRUE(log.contains("latitudeSpan ==0, will not set"));
    EXPECT_TRUE(log.contains("longitudeSpan ==0, will not set"));

    b->setLatitudeSpan(-4);
    b->setLongitudeSpan(1);
    expectCorners(*b, {13, 22.5}, {9, 21.5});
    EXPECT_DOUBLE_EQ(b->latitudeSpan(), 4);
    EXPECT_DOUBLE_EQ(b->longitudeSpan(), 1);
}

TEST(CBBoundingBox, CentreConstructorsUseFullOrHalfSpans) {
    auto full = CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({10, 20}, 1, 1);
    expectCorners(*full, {10.5, 20.5}, {9.5, 19.5});
    auto half = CBBoundingBox::boundingBoxWithCenterAndSpan({10, 20}, 1);
    expectCorners(*half, {11, 21}, {9, 19});
    auto healed = CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({0, 0}, -2, -4);
    expectCorners(*healed, {1, 2}, {-1, -2});
}

TEST(CBBoundingBox, DistanceSpansFollowTheGreatCircle) {
    // At the equator a degree of arc is the same both ways.
    auto equator =
        CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
            {0, 10}, 2 * kMetresPerDegree, 2 * kMetresPerDegree);
    expectCorners(*equator, {1, 11}, {-1, 9}, 1e-9);

    // At 60 degrees north a kilometre east spans about twice the longitude.
    auto wide = CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
        {60, 5}, 0, 20000);
    const double offset = eastOffset(60, 10000);
    EXPECT_NEAR(offset, 0.179864, 1e-5);
    EXPECT_NEAR(wide->NE().longitude, 5 + offset, 1e-6);
    EXPECT_NEAR(wide->SW().longitude, 5 - offset, 1e-6);

    auto north =
        CBBoundingBox::boundingBoxWithCenterLatitudinalDistanceSpanLongitudinalDistanceSpan(
            {60, 5}, 10000, 20000);
    const CLLocation center(60, 5);
    EXPECT_NEAR(center.distanceFromLocation(CLLocation(north->NE().latitude, 5)), 5000, 0.05);
    EXPECT_NEAR(center.distanceFromLocation(CLLocation(north->SW().latitude, 5)), 5000, 0.05);
    // The east edge is measured at the north latitude, the west edge at the south one.
    EXPECT_GT(north->NE().longitude - 5, offset);
    EXPECT_LT(5 - north->SW().longitude, offset);

    // The older form takes centre-to-edge distances.
    auto edges =
        CBBoundingBox::boundingBoxWithCenterAndLatitudinalDistanceSpanLongitudinalDistanceSpan(
            {60, 5}, 5000, 10000);
    EXPECT_EQ(*edges, *north);
}

TEST(CBBoundingBox, RectangleForm) {
    auto b = box(12, 25, 10, 20);
    EXPECT_EQ(b->rect(), CGRectMake(20, 10, 5, 2));
    auto back = CBBoundingBox::boundingBoxWithRect(CGRectMake(20, 10, 5, 2));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(*back, *b);
    EXPECT_EQ(CBBoundingBox::boundingBoxWithRect(CGRectNull), nullptr);
    // The crossed sentinel standardises to the whole world.
    EXPECT_EQ(CBBoundingBox().rect(), CGRectMake(-180, -90, 360, 180));
}

TEST(CBBoundingBox, DictionaryForm) {
    auto b = box(12, 25, 10, 20);
    const Value::Dictionary dictionary = b->dictionary();
    ASSERT_EQ(dictionary.size(), 4u);
    EXPECT_EQ(dictionary.at("NELatitude"), Value(12.0));
    EXPECT_EQ(dictionary.at("SWLongitude"), Value(20.0));

    auto back = CBBoundingBox::bboxFromDictionary(Value(dictionary));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(*back, *b);

    Value::Dictionary integers{
        {"NELatitude", 1}, {"NELongitude", 2}, {"SWLatitude", 3}, {"SWLongitude", 4}};
    auto healed = CBBoundingBox::bboxFromDictionary(integers);
    ASSERT_NE(healed, nullptr);
    expectCorners(*healed, {3, 4}, {1, 2});

    Value::Dictionary missing = dictionary;
    missing.erase("SWLatitude");
    EXPECT_EQ(CBBoundingBox::bboxFromDictionary(missing), nullptr);
    Value::Dictionary text = dictionary;
    text["NELongitude"] = "25";
    EXPECT_EQ(CBBoundingBox::bboxFromDictionary(text), nullptr);
    EXPECT_EQ(CBBoundingBox::bboxFromDictionary(Value()), nullptr);
    EXPECT_EQ(CBBoundingBox::bboxFromDictionary(Value(Value::Array{})), nullptr);
}

TEST(CBBoundingBox, Intersection) {
    auto a = box(10, 10, 0, 0);
    auto b = box(15, 15, 5, 5);
    auto overlap = CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(a, b);
    ASSERT_NE(overlap, nullptr);
    expectCorners(*overlap, {10, 10}, {5, 5});
    EXPECT_TRUE(a->intersectsBoundingBox(b));

    EXPECT_EQ(CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(a, nullptr), a);
    EXPECT_EQ(CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(nullptr, b), b);
    EXPECT_EQ(CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(nullptr, nullptr),
              nullptr);
    EXPECT_FALSE(a->intersectsBoundingBox(nullptr));

    auto far = box(30, 30, 20, 20);
    EXPECT_EQ(CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(a, far), nullptr);
    EXPECT_FALSE(a->intersectsBoundingBox(far));

    // Boxes that share only an edge meet in a line, which is no intersection.
    auto neighbour = box(10, 20, 0, 10);
    auto edge = CBBoundingBox::boundingBoxIntersectionOfBoundingBoxAndBoundingBox(a, neighbour);
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(edge->longitudeSpan(), 0);
    EXPECT_FALSE(a->intersectsBoundingBox(neighbour));
}

TEST(CBBoundingBox, SignificantDifferenceWithTheDefaultFactor) {
    auto shown = box(0.5, 0.5, -0.5, -0.5);
    auto reference = CBBoundingBox::significantlyWiderBBoxFrom(shown);
    EXPECT_FALSE(shown->isSignificantlyDifferentFromBBox(reference));
    EXPECT_TRUE(shown->isSignificantlyDifferentFromBBox(nullptr));

    // Zooming: the ratio moves from 1/3 to 0.5 (out) or 0.2 (in).
    EXPECT_TRUE(box(0.75, 0.75, -0.75, -0.75)->isSignificantlyDifferentFromBBox(reference));
    EXPECT_TRUE(box(0.3, 0.3, -0.3, -0.3)->isSignificantlyDifferentFromBBox(reference));
    EXPECT_FALSE(box(0.6, 0.6, -0.6, -0.6)->isSignificantlyDifferentFromBBox(reference));
    EXPECT_TRUE(box(0.5, 0.75, -0.5, -0.75)->isSignificantlyDifferentFromBBox(reference));

    // Moving: the middle part ends a quarter of the shown size before the edge.
    EXPECT_FALSE(box(0.5, 1.2, -0.5, 0.2)->isSignificantlyDifferentFromBBox(reference));
    EXPECT_TRUE(box(0.5, 1.3, -0.5, 0.3)->isSignificantlyDifferentFromBBox(reference));
    EXPECT_TRUE(box(-0.3, 0.5, -1.3, -0.5)->isSignificantlyDifferentFromBBox(reference));
}

TEST(CBBoundingBox, SignificantDifferenceWithOtherFactorsAndDegenerateBoxes) {
    auto shown = box(1, 1, -1, -1);
    auto reference = CBBoundingBox::significantlyWiderBBoxFromWithFactor(shown, 2);
    EXPECT_FALSE(shown->isSignificantlyDifferentFromBBoxWithFactor(reference, 2));
    EXPECT_TRUE(shown->isSignificantlyDifferentFromBBoxWithFactor(reference, 3));

    auto point = box(0, 0, 0, 0);
    EXPECT_TRUE(point->isSignificantlyDifferentFromBBox(point));
}

TEST(CBBoundingBox, TextForms) {
    auto b = box(47.5, 8.75, 47.25, 8.5);
    EXPECT_EQ(b->description(),
              "CBBoundingBox:\rNE.lat, lon: 47.500000, 8.750000\rSW.lat, lon: 47.250000, "
              "8.500000\rcenter: 47.375000, 8.625000\rlatSpan: 0.250000,\rlonSpan: 0.250000");
    EXPECT_EQ(b->osmLink(),
              "https://www.openstreetmap.org/"
              "?minlon=8.500000&minlat=47.250000&maxlon=8.750000&maxlat=47.500000&box=yes");
}
