#include <gtest/gtest.h>

#include "CoreLocation/CLLocation.h"

TEST(CLLocationTest, DistanceOnTheSphere) {
    // One degree of latitude on a sphere of 6371009 m.
    const CLLocation a(0, 0), b(1, 0);
    EXPECT_NEAR(a.distanceFromLocation(b), 111195.08, 0.1);
    EXPECT_DOUBLE_EQ(a.distanceFromLocation(a), 0);
    // Neubrandenburg to Liechtenstein (Vaduz), about 761 km.
    const CLLocation nb(53.5569, 13.2610), vaduz(47.1410, 9.5215);
    EXPECT_NEAR(nb.distanceFromLocation(vaduz) / 1000, 760.89, 0.01);
    EXPECT_DOUBLE_EQ(nb.distanceFromLocation(vaduz), vaduz.distanceFromLocation(nb));
}

TEST(CLLocationTest, ValidityOfCoordinates) {
    EXPECT_TRUE(CLLocationCoordinate2DIsValid({90, 180}));
    EXPECT_FALSE(CLLocationCoordinate2DIsValid({90.1, 0}));
    EXPECT_FALSE(CLLocationCoordinate2DIsValid(kCLLocationCoordinate2DInvalid));
    const CLLocation fresh(1, 2);
    EXPECT_LT(fresh.verticalAccuracy(), 0);
    EXPECT_LT(fresh.course(), 0);
}
