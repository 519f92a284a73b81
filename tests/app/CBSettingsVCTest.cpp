#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UILabel.h"
#include "UIKit/UISwitch.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "app/CBSettingsVC.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/MapkitTestSupport.h"

namespace fs = std::filesystem;

namespace {

// The settings with the application's texts.
class CBSettingsVCTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSBundle::setMainBundlePath(sourceResourcesPath());
        NSSetApplicationHome(home_.string());
        NSUserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
        fs::remove_all(home_);
    }
    std::shared_ptr<UITableViewCell> cellInSection(CBSettingsVC& settings, long section) {
        return settings.tableViewCellForRowAtIndexPath(
            *settings.tableView(), NSIndexPath::indexPathForRowInSection(0, section));
    }

    const fs::path home_ =
        fs::temp_directory_path() / ("kelvara-settings-home-" + std::to_string(::getpid()));
};

// The attribution names the map engine's version, which the build writes
// into the engine's bundle.
TEST_F(CBSettingsVCTest, TheAttributionGivesTheMapEnginesVersion) {
    const fs::path bundle = home_ / "bundle";
    fs::create_directories(bundle / "Quillmere.bundle");
    fs::copy(sourceResourcesPath() + "/en.lproj", bundle / "en.lproj", fs::copy_options::recursive);
    NSBundle::setMainBundlePath(bundle.string());
    EXPECT_EQ(CBMapScrollView::corvaneVersion(), "error retriving version");
    std::ofstream(bundle / "Quillmere.bundle" / "VERSION") << "";
    EXPECT_EQ(CBMapScrollView::corvaneVersion(), "error retriving version");
    std::ofstream(bundle / "Quillmere.bundle" / "VERSION") << "2.5\n";
    EXPECT_EQ(CBMapScrollView::corvaneVersion(), "2.5");

    auto settings = std::make_shared<CBSettingsVC>();
    auto cell = cellInSection(*settings, 3);
    EXPECT_EQ(cell->textLabel()->text(), "Map \u00A9 OpenStreetMap, ODbL");
    EXPECT_EQ(cell->detailTextLabel()->text(), "Map engine 2.5");
}

// The switch is the user's choice for good (the defaults) and reaches the
// location service at once.
TEST_F(CBSettingsVCTest, TheCompassWarningSwitchTellsTheLocationService) {
    auto settings = std::make_shared<CBSettingsVC>();
    auto cell = cellInSection(*settings, 1);
    EXPECT_EQ(cell->textLabel()->text(), "Compass warning");
    auto warning = std::dynamic_pointer_cast<UISwitch>(cell->accessoryView());
    ASSERT_TRUE(warning);
    EXPECT_TRUE(warning->isOn());
    warning->setOn(false);
    warning->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_TRUE(
        NSUserDefaults::standardUserDefaults()->boolForKey("CompassCalibrationWarningDisabled"));
    EXPECT_FALSE(CBLocationManager::sharedInstanceShouldShowCompassCalibrationWarning());
    EXPECT_FALSE(CBLocationManager::sharedInstance()->shouldShowCompassCalibrationWarning());
    // A new settings screen shows the choice.
    EXPECT_FALSE(
        std::dynamic_pointer_cast<UISwitch>(cellInSection(*settings, 1)->accessoryView())->isOn());
    warning->setOn(true);
    warning->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_FALSE(
        NSUserDefaults::standardUserDefaults()->boolForKey("CompassCalibrationWarningDisabled"));
    EXPECT_TRUE(CBLocationManager::sharedInstance()->shouldShowCompassCalibrationWarning());
}

TEST_F(CBSettingsVCTest, TheClearingRowEmptiesTheTileCacheItIsGiven) {
    const fs::path folder =
        fs::temp_directory_path() / ("kelvara-settings-" + std::to_string(::getpid()));
    const fs::path tile = folder / "mapTiles-test" / "defaultMapStyle" / "neubrandenburg" / "1023";
    fs::create_directories(tile.parent_path());
    std::ofstream(tile) << "tile";
    NSSetApplicationHome(folder.string());
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
    NSSetApplicationHome("");
    fs::remove_all(folder);
}

}  // namespace
