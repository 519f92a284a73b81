#include <gtest/gtest.h>

#include <cmath>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "mapkit/CBMapSwissGridProjection.h"
#include "mapkit/CBMapSwissGridTileConverter.h"
#include "mapkit/CBSwissGridCoordinate.h"
#include "mapkit/CLLocation+SwissGrid.h"

namespace {

double degrees(int d, int m, double s) {
    return d + m / 60.0 + s / 3600.0;
}

// swisstopo's published reference points for the approximate formulas
// between WGS84 and CH1903 / LV03: the old observatory of Bern, the grid's
// origin, and the worked example of the formula sheet.
TEST(CBSwissGridCoordinate, BernObservatoryIsTheGridOrigin) {
    // The observatory's CH1903 position 46° 57' 08.66", 7° 26' 22.50" is
    // 46° 57' 03.89", 7° 26' 19.09" in WGS84, the point y = 600 000 m,
    // x = 200 000 m.
    CBSwissGridCoordinate bern(
        CLLocationCoordinate2D{degrees(46, 57, 3.89), degrees(7, 26, 19.09)});
    EXPECT_NEAR(bern.rechtsWert(), 600000, 1.0);
    EXPECT_NEAR(bern.hochWert(), 200000, 1.0);

    CLLocationCoordinate2D origin = coordinateWithRechtsWertHochWert(600000, 200000);
    EXPECT_NEAR(origin.latitude, degrees(46, 57, 3.89), 0.05 / 3600);
    EXPECT_NEAR(origin.longitude, degrees(7, 26, 19.09), 0.05 / 3600);
    // The forward formula's constant terms: the CH1903 degrees read as WGS84.
    CBSwissGridCoordinate besselOrigin(
        CLLocationCoordinate2D{degrees(46, 57, 8.66), degrees(7, 26, 22.50)});
    EXPECT_NEAR(besselOrigin.rechtsWert(), 600072.37, 0.01);
    EXPECT_NEAR(besselOrigin.hochWert(), 200147.07, 0.01);
}

TEST(CBSwissGridCoordinate, PublishedWorkedExampleBothWays) {
    // WGS84 46° 2' 38.87" N, 8° 43' 49.79" E gives y = 699 999.76 m, x = 99 999.97 m.
    CBSwissGridCoordinate example(
        CLLocationCoordinate2D{degrees(46, 2, 38.87), degrees(8, 43, 49.79)});
    EXPECT_NEAR(example.rechtsWert(), 699999.76, 0.05);
    EXPECT_NEAR(example.hochWert(), 99999.97, 0.05);
    // y = 700 000 m, x = 100 000 m gives 46° 2' 38.86" N, 8° 43' 49.80" E.
    CBSwissGridCoordinate grid(700000, 100000);
    EXPECT_NEAR(grid.WGS84Coordinate().latitude, degrees(46, 2, 38.86), 0.01 / 3600);
    EXPECT_NEAR(grid.WGS84Coordinate().longitude, degrees(8, 43, 49.80), 0.01 / 3600);
}

TEST(CBSwissGridCoordinate, RoundTripStaysWithinAFewMetresAcrossTheCountry) {
    // Each direction is good to about a metre; there and back adds up.
    for (double rechts : {485000.0, 600000.0, 833000.0}) {
        for (double hoch : {75000.0, 200000.0, 295000.0}) {
            CBSwissGridCoordinate there(rechts, hoch);
            CBSwissGridCoordinate back(there.WGS84Coordinate());
            EXPECT_NEAR(back.rechtsWert(), rechts, 5.0);
            EXPECT_NEAR(back.hochWert(), hoch, 5.0);
        }
    }
}

TEST(CLLocationSwissGrid, MissingValueGivesTheInvalidCoordinate) {
    CLLocationCoordinate2D none = coordinateWithRechtsWertHochWert(std::nullopt, 200000);
    EXPECT_EQ(none, kCLLocationCoordinate2DInvalid);
    EXPECT_EQ(locationWithRechtsWertHochWert(600000, std::nullopt), nullptr);
    auto bern = locationWithRechtsWertHochWert(600000, 200000);
    ASSERT_NE(bern, nullptr);
    EXPECT_NEAR(bern->coordinate().latitude, 46.95, 0.01);
}

TEST(CBMapSwissGridTileConverter, TileNumbersFromTheNorthWestOrigin) {
    CBMapSwissGridTileConverter converter;
    EXPECT_DOUBLE_EQ(converter.tileXForSwissGridCoordinateZoom({484000, 200000}, 16), 1.0);
    EXPECT_DOUBLE_EQ(converter.tileYForSwissGridCoordinateZoom({600000, 350000}, 16), 0.0);
    EXPECT_DOUBLE_EQ(converter.tileYForSwissGridCoordinateZoom({600000, 200000}, 22),
                     150000.0 / 640);
}

TEST(CBMapSwissGridTileConverter, OffTheGridOrOffTheZoomsGivesTileZero) {
    CBMapSwissGridTileConverter converter;
    EXPECT_EQ(converter.tileXForSwissGridCoordinateZoom({410000, 200000}, 16), 0);
    EXPECT_EQ(converter.tileXForSwissGridCoordinateZoom({950000, 200000}, 16), 0);
    EXPECT_EQ(converter.tileYForSwissGridCoordinateZoom({600000, 360000}, 16), 0);
    EXPECT_EQ(converter.tileXForSwissGridCoordinateZoom({-600000, 200000}, 16), 0);
    EXPECT_EQ(converter.tileXForSwissGridCoordinateZoom({600000, 200000}, 15), 0);
    EXPECT_EQ(converter.tileXForSwissGridCoordinateZoom({600000, 200000}, 23), 0);
    EXPECT_EQ(converter.tileWidthForZoomLevel(0), 0);
    EXPECT_EQ(converter.normalizedOffsetForCoordinateMapCornerZoom({600000, 200000},
                                                                   {500000, 300000}, 12),
              (CGPoint{0, 0}));
}

TEST(CBMapSwissGridTileConverter, TileBoxAndOffsets) {
    CBMapSwissGridTileConverter converter;
    CBSwissGridBoundingBox box = converter.swissBoundingBoxForTileXYZoom(2, 3, 18);
    EXPECT_DOUBLE_EQ(box.minRechts, 420000 + 2 * 12800.0);
    EXPECT_DOUBLE_EQ(box.maxRechts, 420000 + 3 * 12800.0);
    EXPECT_DOUBLE_EQ(box.maxHoch, 350000 - 3 * 12800.0);
    EXPECT_DOUBLE_EQ(box.minHoch, 350000 - 4 * 12800.0);

    CBSwissGridCoordinate corner(500000, 300000);
    CGPoint offset =
        converter.normalizedOffsetForCoordinateMapCornerZoom({525600, 248800}, corner, 17);
    EXPECT_DOUBLE_EQ(offset.x, 1.0);
    EXPECT_DOUBLE_EQ(offset.y, 2.0);
    CBSwissGridCoordinate back =
        converter.coordinateAtNormalizedOffsetMapCornerZoom(offset, corner, 17);
    EXPECT_DOUBLE_EQ(back.rechtsWert(), 525600);
    EXPECT_DOUBLE_EQ(back.hochWert(), 248800);
}

TEST(CBMapSwissGridProjection, WorksInWGS84ThroughTheGrid) {
    CBMapSwissGridProjection projection;
    CLLocationCoordinate2D bern = coordinateWithRechtsWertHochWert(600000, 200000);
    // (600000 - 420000) / 64000 = 2.8125 and (350000 - 200000) / 64000 = 2.34375.
    EXPECT_NEAR(projection.tilexFracForCoordinateAndZoom(bern, 16), 2.8125, 1e-4);
    EXPECT_NEAR(projection.tileyFracForCoordinateAndZoom(bern, 16), 2.34375, 1e-4);
    EXPECT_EQ(projection.tilexForCoordinateAndZoom(bern, 16), 2);
    EXPECT_EQ(projection.tileyForCoordinateAndZoom(bern, 16), 2);

    CLLocationCoordinate2D tileCorner = projection.coordinateForTileXAndYZoom(2.8125, 2.34375, 16);
    EXPECT_NEAR(tileCorner.latitude, bern.latitude, 1e-9);
    EXPECT_NEAR(tileCorner.longitude, bern.longitude, 1e-9);

    auto box = projection.boundingBoxForTileXYAndZoom(2, 2, 16);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->includesCoordinate(bern));
    // Tile numbers in the other order are not answered.
    EXPECT_FALSE(projection.coordinateForTileYTileXZoom(2.34375, 2.8125, 16));
}

TEST(CBMapSwissGridProjection, WithoutConverterEverythingIsZero) {
    CBMapSwissGridProjection projection;
    projection.setConverter(nullptr);
    CLLocationCoordinate2D bern = coordinateWithRechtsWertHochWert(600000, 200000);
    EXPECT_EQ(projection.tilexFracForCoordinateAndZoom(bern, 16), 0);
    EXPECT_EQ(projection.coordinateForTileXAndYZoom(1, 1, 16), (CLLocationCoordinate2D{0, 0}));
    EXPECT_EQ(projection.boundingBoxForTileXYAndZoom(1, 1, 16), nullptr);
    EXPECT_EQ(projection.normalizedOffsetForCoordinateMapCornerZoom(bern, bern, 16),
              (CGPoint{0, 0}));
}

}  // namespace
