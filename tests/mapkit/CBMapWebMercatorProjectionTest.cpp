#include <gtest/gtest.h>

#include "CBGeoData/CBGeoDataManager.h"
#include "mapkit/CBMapWebMercatorProjection.h"

namespace {

TEST(CBMapWebMercatorProjection, ZoomZeroIsOneTileAroundTheWorld) {
    CBMapWebMercatorProjection projection;
    EXPECT_DOUBLE_EQ(projection.tilexFracForCoordinateAndZoom({0, 0}, 0), 0.5);
    EXPECT_NEAR(projection.tileyFracForCoordinateAndZoom({0, 0}, 0), 0.5, 1e-12);
    auto box = projection.boundingBoxForTileXYAndZoom(0, 0, 0);
    ASSERT_NE(box, nullptr);
    EXPECT_DOUBLE_EQ(box->SW().longitude, -180);
    EXPECT_DOUBLE_EQ(box->NE().longitude, 180);
    EXPECT_NEAR(box->NE().latitude, 85.0511, 1e-4);
    EXPECT_NEAR(box->SW().latitude, -85.0511, 1e-4);
    // Tile numbers in the other order are not answered.
    EXPECT_FALSE(projection.coordinateForTileYTileXZoom(0, 0, 0));
}

TEST(CBMapWebMercatorProjection, TileNumbersOfAKnownPlace) {
    // Neubrandenburg's station, a zoom-15 tile worked out with the
    // slippy-map tile formula independently.
    CBMapWebMercatorProjection projection;
    CLLocationCoordinate2D station{53.5630, 13.2580};
    EXPECT_EQ(projection.tilexForCoordinateAndZoom(station, 15), 17590);
    EXPECT_EQ(projection.tileyForCoordinateAndZoom(station, 15), 10588);
    // South of the equator and west of Greenwich the numbers still grow east and south.
    EXPECT_EQ(projection.tilexForCoordinateAndZoom({-33.9, -70.6}, 1), 0);
    EXPECT_EQ(projection.tileyForCoordinateAndZoom({-33.9, -70.6}, 1), 1);
}

TEST(CBMapWebMercatorProjection, TileBoxHasItsNorthEdgeAtTheTilesOwnRow) {
    CBMapWebMercatorProjection projection;
    auto box = projection.boundingBoxForTileXYAndZoom(17590, 10588, 15);
    ASSERT_NE(box, nullptr);
    EXPECT_DOUBLE_EQ(box->NE().latitude, projection.latitudeForTileYAndZoom(10588, 15));
    EXPECT_DOUBLE_EQ(box->SW().latitude, projection.latitudeForTileYAndZoom(10589, 15));
    EXPECT_DOUBLE_EQ(box->SW().longitude, projection.longitudeForTileXAndZoom(17590, 15));
    EXPECT_DOUBLE_EQ(box->NE().longitude, projection.longitudeForTileXAndZoom(17591, 15));
    EXPECT_TRUE(box->includesCoordinate({53.5630, 13.2580}));
}

TEST(CBMapWebMercatorProjection, NormalizedOffsetsRoundTripFromTheMapCorner) {
    CBMapWebMercatorProjection projection;
    CLLocationCoordinate2D corner{53.60, 13.20};
    CLLocationCoordinate2D place{53.55, 13.29};
    CGPoint offset = projection.normalizedOffsetForCoordinateMapCornerZoom(place, corner, 14);
    EXPECT_GT(offset.x, 0);  // east of the corner
    EXPECT_GT(offset.y, 0);  // south of the corner
    EXPECT_NEAR(offset.x, 0.09 / 360 * 16384, 1e-9);
    CLLocationCoordinate2D back =
        projection.coordinateAtNormalizedOffsetMapCornerZoom(offset, corner, 14);
    EXPECT_NEAR(back.latitude, place.latitude, 1e-9);
    EXPECT_NEAR(back.longitude, place.longitude, 1e-9);
}

TEST(CBMapWebMercatorProjection, AgreesWithTheGeoStoresQuadKeyBoxes) {
    CBMapWebMercatorProjection projection;
    auto key = CBGeoDataManager::quadKeyForTileXYZ(17590, 10588, 15);
    ASSERT_TRUE(key);
    auto fromKey = CBGeoDataManager::boundingBoxForMapTileWithQuadKey(*key);
    auto fromProjection = projection.boundingBoxForTileXYAndZoom(17590, 10588, 15);
    ASSERT_NE(fromKey, nullptr);
    EXPECT_DOUBLE_EQ(fromKey->NE().latitude, fromProjection->NE().latitude);
    EXPECT_DOUBLE_EQ(fromKey->NE().longitude, fromProjection->NE().longitude);
    EXPECT_DOUBLE_EQ(fromKey->SW().latitude, fromProjection->SW().latitude);
    EXPECT_DOUBLE_EQ(fromKey->SW().longitude, fromProjection->SW().longitude);
}

}  // namespace
