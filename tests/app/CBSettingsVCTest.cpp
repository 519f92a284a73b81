#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "app/CBSettingsVC.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/MapkitTestSupport.h"

namespace fs = std::filesystem;

namespace {

// The settings with the application's texts.
class CBSettingsVCTest : public ::testing::Test {
  protected:
    void SetUp() override { NSBundle::setMainBundlePath(sourceResourcesPath()); }
    void TearDown() override { NSBundle::setMainBundlePath(""); }
};

TEST_F(CBSettingsVCTest, TheClearingRowEmptiesTheTileCacheItIsGiven) {
    const fs::path folder =
        fs::temp_directory_path() / ("kelvara-settings-" + std::to_string(::getpid()));
    const fs::path tile = folder / "mapTiles-test" / "defaultMapStyle" / "neubrandenburg" / "1023";
    fs::create_directories(tile.parent_path());
    std::ofstream(tile) << "tile";
    CBDiskTileCache::setMainCacheDirectory((folder / "mapTiles-test").string());
    CBDiskTileCache::setSqliteFilePath((folder / "CBDiskCache-test.sqlite").string());

    auto settings = std::make_shared<CBSettingsVC>();
    auto cache = std::make_shared<CBDiskTileCache>();
    settings->setTileCache(cache);
    EXPECT_EQ(settings->tileCache(), cache);
    auto table = settings->tableView();
    const long section = 2;
    EXPECT_EQ(settings
                  ->tableViewCellForRowAtIndexPath(
                      *table, NSIndexPath::indexPathForRowInSection(0, section))
                  ->textLabel()
                  ->text(),
              "Clear tile cache");
    settings->tableViewDidSelectRowAtIndexPath(*table,
                                               NSIndexPath::indexPathForRowInSection(0, section));
    EXPECT_TRUE(
        NSRunLoop::mainRunLoop()->runUntil([&] { return !fs::exists(tile.parent_path()); }, 10));
    cache->waitUntilIdle();
    cache.reset();
    settings.reset();
    fs::remove_all(folder);
}

}  // namespace
