#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "CBGeoData/GeoPackageFixture.h"
#include "MapViewHome.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"

// A map view showing a copy of the sample city package, its tiles cached
// in the test's home; the view saves no state.
class SampleMapViewTest : public GeoPackageTest {
  protected:
    void SetUp() override {
        GeoPackageTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        CBDiskTileCache::setMainCacheDirectory(home_.folder().file("mapTiles"));
        CBDiskTileCache::setSqliteFilePath(home_.folder().file("CBDiskCache.sqlite"));
        map_ = CBMapScrollView::create({{0, 0}, {320, 480}});
        map_->visibleArea()->setSavesState(false);
        ASSERT_TRUE(map_->setMapWithStorePathAndBoundingBox(storePath(), nullptr));
    }
    void TearDown() override {
        if (map_) {
            if (auto cache = map_->displayManager()->diskCache())
                cache->waitUntilIdle();
        }
        map_.reset();
        GeoPackageTest::TearDown();
    }

    MapViewHome home_;
    std::shared_ptr<CBMapScrollView> map_;
};
