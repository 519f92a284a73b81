#include <gtest/gtest.h>

#include "CBGeoData/CBGeoDataManager.h"
#include "LogCapture.h"

namespace {

TEST(CBGeoDataManagerQuadKey, DigitsAreXBitPlusTwiceYBitFromTheTop) {
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(0, 0, 0), 1);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(5, 9, -3), 1);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(1, 0, 1), 11);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(0, 1, 1), 12);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(3, 1, 2), 113);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(3, 3, 2), 133);
}

TEST(CBGeoDataManagerQuadKey, DeepestZoomThatFitsIsEighteen) {
    const int64_t last = (int64_t{1} << 18) - 1;
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(last, last, 18), 1333333333333333333);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(0, 0, 18), 1000000000000000000);
    // Zoom 19 would need 20 digits: refused, never wrapped into a wrong key.
    LogCapture log;
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(0, 0, 19), std::nullopt);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(last, last, 40), std::nullopt);
    EXPECT_FALSE(log.lines().empty());
}

TEST(CBGeoDataManagerQuadKey, TileNumbersOutsideTheGridAreRefused) {
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(4, 0, 2), std::nullopt);
    EXPECT_EQ(CBGeoDataManager::quadKeyForTileXYZ(0, -1, 2), std::nullopt);
}

TEST(CBGeoDataManagerQuadKey, ParentDropsTheLastDigit) {
    EXPECT_EQ(CBGeoDataManager::parentQuadKeyForQuadKey(113), 11);
    EXPECT_EQ(CBGeoDataManager::parentQuadKeyForQuadKey(1333333333333333333), 133333333333333333);
    EXPECT_EQ(CBGeoDataManager::parentQuadKeyForQuadKey(11), std::nullopt);
    EXPECT_EQ(CBGeoDataManager::parentQuadKeyForQuadKey(1), std::nullopt);
    EXPECT_EQ(CBGeoDataManager::parentQuadKeyForQuadKey(145), std::nullopt);
    EXPECT_EQ(CBGeoDataManager::parentQuadKeyForQuadKey(-113), std::nullopt);
}

TEST(CBGeoDataManagerQuadKey, InvalidKeysGiveNoBox) {
    for (int64_t bad : {int64_t{14}, int64_t{1204}, int64_t{0}, int64_t{-11}, int64_t{2},
                        int64_t{213}, int64_t{9000000000000000000}}) {
        LogCapture log;
        EXPECT_EQ(CBGeoDataManager::boundingBoxForMapTileWithQuadKey(bad), nullptr) << bad;
        EXPECT_TRUE(log.contains("Invalid QuadKey digit sequence.")) << bad;
    }
}

TEST(CBGeoDataManagerQuadKey, BoxOfAKeyHoldsTheTileItCameFrom) {
    // Tile 17590 / 10588 at zoom 15 holds Neubrandenburg's station.
    auto key = CBGeoDataManager::quadKeyForTileXYZ(17590, 10588, 15);
    ASSERT_TRUE(key);
    EXPECT_EQ(CBGeoDataManager::zoomLevelForQuadKey(*key), 15);
    auto box = CBGeoDataManager::boundingBoxForMapTileWithQuadKey(*key);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->includesCoordinate({53.5630, 13.2580}));
    EXPECT_LT(box->NE().latitude - box->SW().latitude, 0.01);

    auto whole = CBGeoDataManager::boundingBoxForMapTileWithQuadKey(1);
    ASSERT_NE(whole, nullptr);
    EXPECT_DOUBLE_EQ(whole->SW().longitude, -180);
    EXPECT_NEAR(whole->NE().latitude, 85.0511, 1e-4);

    // The parent's box holds the child's.
    auto parent = CBGeoDataManager::boundingBoxForMapTileWithQuadKey(
        *CBGeoDataManager::parentQuadKeyForQuadKey(*key));
    EXPECT_TRUE(parent->includesCoordinate(box->centerCoordinate()));
}

}  // namespace
