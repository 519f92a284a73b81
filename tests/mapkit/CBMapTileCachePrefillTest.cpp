#include "mapkit/CBMapTileCachePrefill.h"
#include "mapkit/CBOpenMap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/GeoPackageFixture.h"
#include "Foundation/NSNotificationCenter.h"
#include "SampleMapViewFixture.h"
#include "UIKit/UIApplication.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

using Level = CBMapTileCachePrefill::Level;

// A square level of side tiles.
Level square(int z, int side) {
    return Level{z, 0, 0, side - 1, side - 1};
}

TEST(CBMapTileCachePrefillPlanTest, HalvesFromTheCutLevelAndStopsAtTheBudget) {
    auto plan = CBMapTileCachePrefill::planForLevels(
        {square(10, 4), square(11, 8), square(12, 16), square(13, 32)});
    EXPECT_EQ(plan.levels.size(), 4u);
    EXPECT_EQ(plan.cut, 13);
    EXPECT_EQ(plan.total, 16 + 64 + 256 + 512);

    // Level 12 with 600 tiles, below 500 before it: it becomes the cut level.
    Level wide{12, 0, 0, 19, 29};
    plan = CBMapTileCachePrefill::planForLevels({square(10, 4), square(11, 8), wide});
    EXPECT_EQ(plan.cut, 12);
    EXPECT_EQ(plan.total, 16 + 64 + 300);

    // A level that would pass the budget is dropped with all above it.
    plan = CBMapTileCachePrefill::planForLevels(
        {square(10, 4), square(11, 8), square(12, 16), square(13, 32), square(14, 64)});
    EXPECT_EQ(plan.levels.size(), 4u);
    EXPECT_EQ(plan.levels.back().z, 13);

    // The first level alone too large: nothing.
    plan = CBMapTileCachePrefill::planForLevels({square(10, 64), square(11, 2)});
    EXPECT_TRUE(plan.levels.empty());
    EXPECT_EQ(plan.total, 0);
}

class CBMapTileCachePrefillTest : public SampleMapViewTest {
  protected:
    struct Run {
        std::vector<std::pair<float, bool>> reports;
        bool completed = false;
        bool offMainThread = false;
    };
    // Runs the pre-fill of a small box around the market place and waits.
    Run prefill(int firstLevel, int count, int stopAfter = -1) {
        Run run;
        const auto box = CBBoundingBox({53.5590, 13.2650}, {53.5550, 13.2560});
        CBMapTileCachePrefill::populateCacheOfRendererForBoundingBoxAndZoomlevelRange(
            map_->displayManager(), map_->layers()->vectorDataSourceLayer(), box, firstLevel, count,
            [&](float progress, bool finished) {
                run.offMainThread |= !DispatchQueue::main()->isCurrent();
                run.reports.emplace_back(progress, finished);
                return stopAfter >= 0 && int(run.reports.size()) >= stopAfter;
            },
            [&] {
                run.offMainThread |= !DispatchQueue::main()->isCurrent();
                run.completed = true;
            });
        EXPECT_TRUE(runMainLoopUntil([&] { return run.completed; }, 60));
        map_->displayManager()->diskCache()->waitUntilIdle();
        return run;
    }
};

TEST_F(CBMapTileCachePrefillTest, RendersEveryTileOnceIntoTheCache) {
    const Run run = prefill(13, 3);
    ASSERT_GE(run.reports.size(), 2u);
    EXPECT_FALSE(run.offMainThread);
    for (size_t i = 1; i + 1 < run.reports.size(); ++i) {
        EXPECT_GE(run.reports[i].first, run.reports[i - 1].first);
        EXPECT_LE(run.reports[i].first, 1.0f);
        EXPECT_FALSE(run.reports[i].second);
    }
    EXPECT_EQ(run.reports.back(), std::make_pair(1.0f, true));
    auto source = map_->layers()->vectorDataSourceLayer();
    auto projection = map_->layout()->mapProjection();
    const CLLocationCoordinate2D market{53.5574, 13.2610};
    EXPECT_TRUE(source->cachedTileAvailableForXYZ(projection->tilexForCoordinateAndZoom(market, 14),
                                                  projection->tileyForCoordinateAndZoom(market, 14),
                                                  14));

    // Everything cached: no tile is rendered again, only the final report.
    const Run again = prefill(13, 3);
    EXPECT_EQ(again.reports.size(), 1u);
    EXPECT_EQ(again.reports.back(), std::make_pair(1.0f, true));

    CBMapTileCachePrefill::clearDiskCacheForStoreIdentifierSync(*map_->displayManager(),
                                                                "neubrandenburg");
    EXPECT_FALSE(
        source->cachedTileAvailableForXYZ(projection->tilexForCoordinateAndZoom(market, 14),
                                          projection->tileyForCoordinateAndZoom(market, 14), 14));
}

TEST_F(CBMapTileCachePrefillTest, AStopAfterTheFirstTileStillCompletes) {
    const Run run = prefill(13, 3, 1);
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_FALSE(run.reports[0].second);
    EXPECT_TRUE(run.reports[1].second);
    EXPECT_EQ(run.reports[1].first, run.reports[0].first);
    EXPECT_LT(run.reports[1].first, 1.0f);
    EXPECT_TRUE(run.completed);
}

// An installed map is pre-filled with no map view: its tiles land where a
// map view of the store looks for them, and an update first clears the old
// version's tiles, which are kept under the store's identifier too.
TEST_F(CBMapTileCachePrefillTest, AnInstalledStoreIsPrefilledWithoutAViewAndAnUpdateStartsAfresh) {
    namespace fs = std::filesystem;
    auto cache = map_->displayManager()->diskCache();
    const fs::path folder =
        cache->filePathForStyleIdAndStoreId("defaultMapStyle", "neubrandenburg");
    // A tile of the old version, deeper than any the pre-fill renders.
    const fs::path old = cache->filePathForQuadKeyStringForStyleIdInStoreId(
        "1012301230123012301", "defaultMapStyle", "neubrandenburg");
    fs::create_directories(old.parent_path());
    std::ofstream(old) << "old";

    std::vector<std::pair<float, bool>> reports;
    bool completed = false;
    const long opens = CBOpenMap::openCount();
    ASSERT_TRUE(CBMapTileCachePrefill::populateCacheForInstalledStore(
        storePath(), true, CGSizeMake(320, 480), 2,
        [&](float progress, bool finished) {
            reports.emplace_back(progress, finished);
            return false;
        },
        [&] { completed = true; }));
    ASSERT_TRUE(runMainLoopUntil([&] { return completed; }, 60));
    // The map the view shows is the one pre-filled: its store opened once.
    EXPECT_EQ(CBOpenMap::openCount(), opens);
    cache->waitUntilIdle();
    EXPECT_FALSE(fs::exists(old));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(1.0f, true));
    size_t rendered = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        // Keys of level 10 and deeper: 11 digits or more.
        EXPECT_GE(entry.path().filename().string().size(), 11u);
        ++rendered;
    }
    EXPECT_GT(rendered, 0u);

    // A store that cannot be opened starts nothing.
    EXPECT_FALSE(CBMapTileCachePrefill::populateCacheForInstalledStore(
        home_.folder().file("missing/missing.sqlite"), false, CGSizeMake(320, 480), 2,
        [&](float, bool) { return false; }, [&] { completed = false; }));
    EXPECT_TRUE(completed);
}

// A map closed while it is pre-filled (deleted, or its files replaced by an
// update) ends the run: the tile under way is finished, nothing lands in the
// cache after the close, and the blocks hear of a stop.
TEST_F(CBMapTileCachePrefillTest, AClosedMapEndsItsPrefillWhichWritesNothingAfter) {
    namespace fs = std::filesystem;
    auto cache = map_->displayManager()->diskCache();
    const fs::path folder =
        cache->filePathForStyleIdAndStoreId("defaultMapStyle", "neubrandenburg");
    auto tilesOnDisk = [&] {
        cache->waitUntilIdle();
        std::set<std::string> names;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(folder, ignored))
            names.insert(entry.path().filename().string());
        return names;
    };
    std::vector<std::pair<float, bool>> reports;
    bool completed = false;
    ASSERT_TRUE(CBMapTileCachePrefill::populateCacheForInstalledStore(
        storePath(), false, CGSizeMake(320, 480), 2,
        [&](float progress, bool finished) {
            reports.emplace_back(progress, finished);
            return false;
        },
        [&] { completed = true; }));
    ASSERT_TRUE(runMainLoopUntil([&] { return !reports.empty(); }, 60));
    // The run draws its next tile meanwhile.
    CBOpenMap::invalidateStoreIdentifier("neubrandenburg");
    const auto atClose = tilesOnDisk();
    EXPECT_FALSE(atClose.empty());
    ASSERT_TRUE(runMainLoopUntil([&] { return completed; }, 60));
    EXPECT_EQ(tilesOnDisk(), atClose);
    ASSERT_GE(reports.size(), 2u);
    EXPECT_TRUE(reports.back().second);
    EXPECT_LT(reports.back().first, 1.0f);
}

TEST_F(CBMapTileCachePrefillTest, AMemoryWarningBringsTheContextResetForward) {
    auto counter = CBMapTileCachePrefill::nextPrerenderResetCounter(*map_->displayManager());
    EXPECT_EQ(counter, CBMapTileCachePrefill::nextPrerenderResetCounter(*map_->displayManager()));
    bool warned = false;
    Run run;
    CBMapTileCachePrefill::populateCacheOfRendererForBoundingBoxAndZoomlevelRange(
        map_->displayManager(), map_->layers()->vectorDataSourceLayer(),
        CBBoundingBox({53.5590, 13.2650}, {53.5550, 13.2560}), 14, 1,
        [&](float, bool finished) {
            if (!warned) {
                NSNotificationCenter::defaultCenter()->postNotificationName(
                    UIApplicationDidReceiveMemoryWarningNotification);
                warned = true;
                // The next position resets the context and starts counting anew.
                EXPECT_EQ(counter->load(), CBMapTileCachePrefill::kContextResetCounterLimit);
            }
            run.reports.emplace_back(0, finished);
            return false;
        },
        [&] { run.completed = true; });
    ASSERT_TRUE(runMainLoopUntil([&] { return run.completed; }, 60));
    EXPECT_LT(counter->load(), CBMapTileCachePrefill::kContextResetCounterLimit);
}

}  // namespace
