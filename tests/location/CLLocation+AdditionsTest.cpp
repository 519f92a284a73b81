#include <gtest/gtest.h>

#include "location/CLHeading+CBAdditions.h"
#include "location/CLLocation+Additions.h"

TEST(CLLocationAdditionsTest, ProjectionAlongBearings) {
    const CLLocation origin(CLLocationCoordinate2DMake(53.5, 13.25), 42.0, 7.0, 3.0, -1, -1,
                            NSDate::dateWithTimeIntervalSinceReferenceDate(1000));
    const auto same = locationProjectedFromLocationDistanceBearing(&origin, 0, 123);
    EXPECT_NEAR(same->coordinate().latitude, 53.5, 1e-9);
    EXPECT_NEAR(same->coordinate().longitude, 13.25, 1e-9);
    EXPECT_EQ(same->altitude(), 42.0);
    EXPECT_EQ(same->horizontalAccuracy(), 7.0);
    EXPECT_EQ(same->timestamp(), origin.timestamp());

    // 1 km north is 0.00899928 degrees of latitude on this sphere.
    const auto north = locationProjectedFromLocationDistanceBearing(&origin, 1000, 0);
    EXPECT_NEAR(north->coordinate().latitude, 53.5 + 0.00899928, 1e-9);
    EXPECT_NEAR(north->coordinate().longitude, 13.25, 1e-9);
    // West (a bearing above 180) goes to smaller longitudes, and back east returns.
    const auto west = locationProjectedFromLocationDistanceBearing(&origin, 5000, 270);
    EXPECT_LT(west->coordinate().longitude, 13.25);
    const double backBearing = forwardAzimuthToCoordinate(*west, origin.coordinate());
    EXPECT_NEAR(backBearing, 90, 0.1);
    const auto back = locationProjectedFromLocationDistanceBearing(west.get(), 5000, backBearing);
    EXPECT_NEAR(back->coordinate().latitude, 53.5, 1e-6);
    EXPECT_NEAR(back->coordinate().longitude, 13.25, 1e-6);

    // Across the date line the longitude comes back into range.
    const CLLocation dateLine(0, 179.99);
    const auto over = locationProjectedFromLocationDistanceBearing(&dateLine, 10000, 90);
    EXPECT_NEAR(over->coordinate().longitude, -179.92, 0.01);

    // Three quarters of the way round eastwards is a quarter the other way.
    const CLLocation equator(0, 0);
    const auto far = locationProjectedFromLocationDistanceBearing(&equator, 30002.4 * 1000, 90);
    EXPECT_NEAR(far->coordinate().latitude, 0, 1e-6);
    EXPECT_NEAR(far->coordinate().longitude, -90, 1e-3);

    // A missing source starts at (0, 0).
    const auto fromNil = locationProjectedFromLocationDistanceBearing(nullptr, 1000, 0);
    EXPECT_NEAR(fromNil->coordinate().latitude, 0.00899928, 1e-9);
}

TEST(CLLocationAdditionsTest, ForwardAzimuth) {
    const CLLocation equator(0, 0);
    EXPECT_NEAR(forwardAzimuthToCoordinate(equator, {0, 10}), 90, 1e-9);
    EXPECT_NEAR(forwardAzimuthToCoordinate(equator, {0, -10}), 270, 1e-9);
    EXPECT_NEAR(forwardAzimuthToCoordinate(equator, {10, 0}), 0, 1e-9);
    EXPECT_NEAR(forwardAzimuthToCoordinate(equator, {-10, 0}), 180, 1e-9);
    EXPECT_EQ(forwardAzimuthToCoordinate(equator, kCLLocationCoordinate2DInvalid), -1.0);
    EXPECT_EQ(forwardAzimuthToCoordinate(CLLocation(95, 0), {0, 0}), -1.0);
}

TEST(CLLocationAdditionsTest, ConstructionAndText) {
    const auto location = locationWithLatitudeAndLongitude(-33.5, 151.25);
    EXPECT_EQ(location->coordinate(), CLLocationCoordinate2DMake(-33.5, 151.25));
    EXPECT_EQ(locationWithCoordinate({1, 2})->coordinate(), CLLocationCoordinate2DMake(1, 2));
    EXPECT_EQ(CBStringFromCLLocationCoordinate2D({53.55694, -13.26101}),
              "[[coordinate 53.5569, -13.2610]]");
}

TEST(CLHeadingCBAdditionsTest, HeadingFollowsTheInterface) {
    const CLHeading heading(10, 350, 5, NSDate::date());
    EXPECT_EQ(adjustedHeadingForInterfaceOrientation(heading, CBInterfaceOrientation::Portrait),
              350);
    EXPECT_EQ(
        adjustedHeadingForInterfaceOrientation(heading, CBInterfaceOrientation::LandscapeRight),
        80);  // status-bar orientation 3
    EXPECT_EQ(
        adjustedHeadingForInterfaceOrientation(heading, CBInterfaceOrientation::LandscapeLeft),
        260);
    EXPECT_EQ(
        adjustedHeadingForInterfaceOrientation(heading, CBInterfaceOrientation::PortraitUpsideDown),
        170);
    EXPECT_EQ(adjustedHeadingForInterfaceOrientation(heading, CBInterfaceOrientation::Unknown),
              350);
}

TEST(CLHeadingCBAdditionsTest, UnknownTrueHeadingFallsBackToMagnetic) {
    // No true north known (negative): the magnetic heading is used, never -1 degrees.
    const CLHeading magneticOnly(42, -1, 10, NSDate::date());
    EXPECT_EQ(usableHeading(magneticOnly), 42);
    EXPECT_EQ(adjustedHeadingForInterfaceOrientation(magneticOnly,
                                                     CBInterfaceOrientation::LandscapeRight),
              132);
    // A reading with negative accuracy is invalid.
    const CLHeading invalid(42, 40, -1, NSDate::date());
    EXPECT_FALSE(usableHeading(invalid));
    EXPECT_EQ(adjustedHeadingForInterfaceOrientation(invalid, CBInterfaceOrientation::Portrait),
              -1);
}
