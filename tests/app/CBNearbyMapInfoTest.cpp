#include "app/CBNearbyMapInfo.h"

#include <gtest/gtest.h>

#include <cmath>

#include "MapScreenFixture.h"
#include "mapkit/CBMapOrnamentationFrameManager.h"

namespace {

constexpr unsigned kTop = CBMapOrnamentationDirectionTop;
constexpr unsigned kRight = CBMapOrnamentationDirectionRight;
constexpr unsigned kBottom = CBMapOrnamentationDirectionBottom;
constexpr unsigned kLeft = CBMapOrnamentationDirectionLeft;

TEST(CBNearbyMapInfo, BearingsFallIntoEightSectorsCentredOnTheCompassPoints) {
    struct Case {
        double bearing;
        unsigned direction;
    } cases[] = {
        {0, kTop},
        {22.49, kTop},
        {22.5, kTop | kRight},
        {90, kRight},
        {135, kBottom | kRight},
        {180, kBottom},
        {225, kBottom | kLeft},
        {270, kLeft},
        {315, kTop | kLeft},
        {337.5, kTop},
        {359.99, kTop},
        {360, kTop},
        {-90, kLeft},
        {720 + 180, kBottom},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CBNearbyMapInfo::directionForBearing(c.bearing), c.direction) << c.bearing;
    EXPECT_EQ(CBNearbyMapInfo::directionForBearing(std::nan("")), kTop);
}

class CBNearbyMapInfoMapsTest : public MapScreenTest {};

TEST_F(CBNearbyMapInfoMapsTest, OtherInstalledMapsNearestFirstWithTheirEdge) {
    auto neubrandenburg = installNeubrandenburg();
    installLiechtenstein();
    installThreeRivers();
    record("loading", "Loading", {54, 14}, {53.9, 13.9})->setIsDownloading(true);
    record("boxless", "Boxless", {0, 0}, {0, 0});

    const auto infos = CBNearbyMapInfo::nearbyMapInfos(neubrandenburg->bbox()->centerCoordinate(),
                                                       registry_->mapsSortedByName(),
                                                       std::string("neubrandenburg"));
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].map()->identifier(), "liechtenstein");
    EXPECT_NEAR(infos[0].distance(), 755e3, 10e3);
    EXPECT_EQ(infos[0].direction(), kBottom);
    EXPECT_EQ(infos[1].map()->identifier(), "three-rivers");
    EXPECT_GT(infos[1].distance(), 6500e3);
    // The great circle to Michigan leaves Germany towards the north-west.
    EXPECT_EQ(infos[1].direction(), kTop | kLeft);

    EXPECT_EQ(CBNearbyMapInfo::infosForDirection(infos, kBottom, 1).size(), 1u);
    EXPECT_TRUE(CBNearbyMapInfo::infosForDirection(infos, kBottom, 0).empty());
    EXPECT_TRUE(CBNearbyMapInfo::infosForDirection(infos, kRight, 2).empty());

    // Without a shown map every map counts, the one under the origin too.
    EXPECT_EQ(CBNearbyMapInfo::nearbyMapInfos(neubrandenburg->bbox()->centerCoordinate(),
                                              registry_->mapsSortedByName(), std::nullopt)
                  .size(),
              3u);
}

}  // namespace
