#include "model/CBTopTableFiles.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <filesystem>
#include <fstream>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "Foundation/NSBundle.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

namespace fs = std::filesystem;

class CBTopTableFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSBundle::setMainBundlePath(sourceResourcesPath());
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        mapStore_ = folder_.file("nb/nb.sqlite");
        fs::create_directories(folder_.file("nb/toptable"));
        manager_ = CBGeoDataManager::create();
        ASSERT_TRUE(manager_->addPersistentStoreCoordinatorWithPath(mapStore_));
    }
    void TearDown() override {
        manager_.reset();
        NSBundle::setMainBundlePath("");
    }
    std::string guidePath() const { return folder_.file("nb/toptable/nb_toptable.sqlite"); }
    void writeGuide(const std::string& bytes) {
        std::ofstream(guidePath(), std::ios::binary) << bytes;
    }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Opens the guide; the guide is left as it was and the log says why
    // in one line when it is not opened.
    void expectRefusedWithOneLogLine() {
        const std::string before = contents(guidePath());
        LogCapture log;
        EXPECT_FALSE(CBTopTableOpenGuideForMapStorePath(*manager_, mapStore_));
        EXPECT_FALSE(manager_->hasPersistentStoreForKey(CBGeoDataManager::kTopTableStoreKey));
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines().front().find("restaurant guide"), std::string::npos);
        EXPECT_EQ(contents(guidePath()), before);
        EXPECT_EQ(manager_->persistentStoreCoordinator()->persistentStores().size(), 1u);
    }

    TemporaryFolder folder_;
    std::string mapStore_;
    std::shared_ptr<CBGeoDataManager> manager_;
};

}  // namespace

TEST(CBTopTableFiles, TheGuideLivesBesideTheMapsStore) {
    EXPECT_EQ(CBTopTableStorePathForMapStorePath("/d/maps/nb/nb.sqlite"),
              "/d/maps/nb/toptable/nb_toptable.sqlite");
    EXPECT_EQ(CBTopTableImagesPathForMapStorePath("/d/maps/nb/nb.sqlite"),
              "/d/maps/nb/toptable/images");
    EXPECT_EQ(CBTopTableImagePathInFolder("/i", "venue 1.jpg"), "/i/venue 1.jpg");
    // Only plain names inside the folder are ever read.
    const std::vector<std::string> refused{"",
                                           ".",
                                           "..",
                                           "../nb.sqlite",
                                           "/etc/passwd",
                                           "a/b.jpg",
                                           "a\nb.jpg",
                                           std::string("a\0b", 3)};
    for (const std::string& name : refused)
        EXPECT_FALSE(CBTopTableImagePathInFolder("/i", name)) << name;
}

TEST_F(CBTopTableFilesTest, AGuideOfTheModelOpensBesideTheMap) {
    LogCapture log;
    EXPECT_FALSE(CBTopTableOpenGuideForMapStorePath(*manager_, mapStore_));
    EXPECT_TRUE(log.lines().empty()) << "a map without a guide is nothing to report";
    {
        auto guide = CBGeoDataManager::create();
        ASSERT_TRUE(guide->addPersistentStoreCoordinatorWithPath(guidePath()));
    }
    EXPECT_TRUE(CBTopTableOpenGuideForMapStorePath(*manager_, mapStore_));
    EXPECT_TRUE(manager_->hasPersistentStoreForKey(CBGeoDataManager::kTopTableStoreKey));
    EXPECT_EQ(manager_->persistentStoreCoordinator()->persistentStores().size(), 2u);
    // Opened again, the guide stays the store it was.
    const auto guide =
        manager_->persistentStoresDictionary().at(CBGeoDataManager::kTopTableStoreKey);
    EXPECT_TRUE(CBTopTableOpenGuideForMapStorePath(*manager_, mapStore_));
    EXPECT_EQ(manager_->persistentStoresDictionary().at(CBGeoDataManager::kTopTableStoreKey),
              guide);
    EXPECT_EQ(manager_->persistentStoreCoordinator()->persistentStores().size(), 2u);
}

TEST_F(CBTopTableFilesTest, AGuideThatIsNotSQLiteIsLeftOut) {
    writeGuide("PK\x03\x04 this is a zip archive, not a store");
    expectRefusedWithOneLogLine();
}

TEST_F(CBTopTableFilesTest, AnEmptyGuideIsLeftOutAndStaysEmpty) {
    writeGuide("");
    expectRefusedWithOneLogLine();
}

TEST_F(CBTopTableFilesTest, AGuideOfAnotherModelIsLeftOut) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(guidePath().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db,
                 "CREATE TABLE venues (id INTEGER, name TEXT); INSERT INTO venues VALUES (1, 'x')",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    expectRefusedWithOneLogLine();
}
