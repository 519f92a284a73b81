#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "SampleMapViewFixture.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

// The map view's own pre-fill: its renderer and vector layer render the
// sample city's tiles into the disk cache.
class CBMapScrollViewTileCacheTest : public SampleMapViewTest {
  protected:
    // The progress reports of the view's pre-fill of a box around the
    // market place, once it completed.
    std::vector<std::pair<float, bool>> prefill(CBMapScrollView& map, NSRange levels) {
        std::vector<std::pair<float, bool>> reports;
        bool completed = false;
        map.populateCacheForBoundingBoxAndZoomlevelRangeWithProgressBlockAndCompletionBlock(
            box_, levels,
            [&](float progress, bool finished) {
                reports.emplace_back(progress, finished);
                return false;
            },
            [&] { completed = true; });
        EXPECT_TRUE(runMainLoopUntil([&] { return completed; }, 60));
        if (auto cache = map.displayManager()->diskCache())
            cache->waitUntilIdle();
        return reports;
    }
    bool marketTileCached(int z) {
        const auto projection = map_->layout()->mapProjection();
        const CLLocationCoordinate2D market{53.5574, 13.2610};
        return map_->layers()->vectorDataSourceLayer()->cachedTileAvailableForXYZ(
            projection->tilexForCoordinateAndZoom(market, z),
            projection->tileyForCoordinateAndZoom(market, z), z);
    }

    const CBBoundingBox box_{{53.5590, 13.2650}, {53.5550, 13.2560}};
};

}  // namespace

TEST_F(CBMapScrollViewTileCacheTest, TheViewRendersTheLevelsOfItsRangeIntoTheCache) {
    ASSERT_FALSE(marketTileCached(14));
    const auto reports = prefill(*map_, NSMakeRange(13, 2));
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.back(), std::make_pair(1.0f, true));
    EXPECT_TRUE(marketTileCached(13));
    EXPECT_TRUE(marketTileCached(14));
    EXPECT_FALSE(marketTileCached(15));
}

TEST_F(CBMapScrollViewTileCacheTest, LevelsTheMapLacksAndAViewWithoutAMapRenderNothing) {
    // Beyond the deepest level, and a range running past it.
    EXPECT_EQ(prefill(*map_, NSMakeRange(19, 5)),
              (std::vector<std::pair<float, bool>>{{1.0f, true}}));
    EXPECT_EQ(prefill(*map_, NSMakeRange(size_t(1) << 40, 3)),
              (std::vector<std::pair<float, bool>>{{1.0f, true}}));
    auto empty = CBMapScrollView::create({{0, 0}, {320, 480}});
    empty->visibleArea()->setSavesState(false);
    EXPECT_EQ(prefill(*empty, NSMakeRange(13, 2)),
              (std::vector<std::pair<float, bool>>{{1.0f, true}}));
    EXPECT_FALSE(marketTileCached(13));
}
