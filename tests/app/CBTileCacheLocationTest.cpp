#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/CBTileCacheLocation.h"
#include "mapkit/CBDiskTileCache.h"

namespace fs = std::filesystem;

namespace {

class CBTileCacheLocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        caches_ = fs::temp_directory_path() / ("kelvara-tilecache-" + std::to_string(::getpid()));
        fs::remove_all(caches_);
        fs::create_directories(caches_);
    }
    void TearDown() override { fs::remove_all(caches_); }

    void folder(const std::string& name) {
        fs::create_directories(caches_ / name / "defaultMapStyle" / "neubrandenburg");
        std::ofstream(caches_ / name / "defaultMapStyle" / "neubrandenburg" / "1023") << "tile";
    }
    void file(const std::string& name) { std::ofstream(caches_ / name) << "x"; }
    bool exists(const std::string& name) const { return fs::exists(caches_ / name); }

    fs::path caches_;
};

TEST_F(CBTileCacheLocationTest, TheCacheOfThisVersionLivesBesideTheOthers) {
    CBTileCacheLocation::setUpInCachesDirectory(caches_.string(), "7");
    EXPECT_EQ(CBDiskTileCache::mainCacheDirectory(), (caches_ / "mapTiles-7").string());
    EXPECT_EQ(CBDiskTileCache::sqliteFilePath(), (caches_ / "CBDiskCache-7.sqlite").string());
}

TEST_F(CBTileCacheLocationTest, OnlyOtherVersionsTilesAndIndexesGo) {
    folder("mapTiles");    // the unversioned default of earlier builds
    folder("mapTiles-6");  // an older version
    folder("mapTiles-7");  // this one
    file("CBDiskCache.sqlite");
    file("CBDiskCache.sqlite-wal");
    file("CBDiskCache-6.sqlite");
    file("CBDiskCache-7.sqlite");
    file("CBDiskCache-7.sqlite-shm");
    // Neighbours that only look alike, and other caches, stay.
    folder("mapTilesArchive");
    file("CBDiskCacheNotes.txt");
    file("mapTiles-8");  // a file, not a tile folder
    folder("mapCovers");
    folder("thunderforest");
    const fs::path outside = caches_.string() + "-outside";
    fs::create_directories(outside);
    std::ofstream(outside / "keep") << "mine";
    fs::create_directory_symlink(outside, caches_ / "mapTiles-5");

    const auto old = CBTileCacheLocation::oldItemsInCachesDirectory(caches_.string(), "7");
    EXPECT_EQ(old, (std::vector<std::string>{(caches_ / "CBDiskCache-6.sqlite").string(),
                                             (caches_ / "CBDiskCache.sqlite").string(),
                                             (caches_ / "CBDiskCache.sqlite-wal").string(),
                                             (caches_ / "mapTiles").string(),
                                             (caches_ / "mapTiles-6").string()}));
    EXPECT_EQ(CBTileCacheLocation::removeOldItemsInCachesDirectory(caches_.string(), "7"), 5u);
    for (const char* gone : {"mapTiles", "mapTiles-6", "CBDiskCache.sqlite", "CBDiskCache-6.sqlite",
                             "CBDiskCache.sqlite-wal"})
        EXPECT_FALSE(exists(gone)) << gone;
    for (const char* kept :
         {"mapTiles-7/defaultMapStyle/neubrandenburg/1023", "CBDiskCache-7.sqlite",
          "CBDiskCache-7.sqlite-shm", "mapTilesArchive", "CBDiskCacheNotes.txt", "mapTiles-8",
          "mapCovers", "thunderforest", "mapTiles-5"})
        EXPECT_TRUE(exists(kept)) << kept;
    EXPECT_TRUE(fs::exists(outside / "keep"));
    fs::remove_all(outside);

    // Nothing left to remove; a missing caches folder is no error.
    EXPECT_EQ(CBTileCacheLocation::removeOldItemsInCachesDirectory(caches_.string(), "7"), 0u);
    EXPECT_TRUE(
        CBTileCacheLocation::oldItemsInCachesDirectory((caches_ / "none").string(), "7").empty());
}

TEST_F(CBTileCacheLocationTest, TheVersionIsOnePathComponent) {
    const std::string version = CBTileCacheLocation::currentVersion();
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(version.find('/'), std::string::npos);
    EXPECT_NE(version, "..");
}

}  // namespace
