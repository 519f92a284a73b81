#include "mapkit/CBDiskTileCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CoreData/NSManagedObjectContext.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIWindow.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

constexpr const char* kStyle = "defaultMapStyle";
constexpr const char* kStore = "three-rivers";

// A tile of one colour (premultiplied 0xAARRGGBB).
CGImageRef solidTile(uint32_t color, size_t side = 256) {
    std::vector<uint32_t> pixels(side * side, color);
    return CGImage::createWithARGB32(side, side, side * 4,
                                     reinterpret_cast<const uint8_t*>(pixels.data()),
                                     (color >> 24) == 0xFF);
}

// The tile's colour if every pixel is within a JPEG's tolerance of the
// centre pixel, else 0.
uint32_t uniformColor(const CGImage& image) {
    const uint32_t centre = image.pixelAt(image.width() / 2, image.height() / 2);
    for (size_t y = 0; y < image.height(); y += 7) {
        for (size_t x = 0; x < image.width(); x += 7) {
            const uint32_t pixel = image.pixelAt(x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                if (std::abs(int((pixel >> shift) & 0xFF) - int((centre >> shift) & 0xFF)) > 8)
                    return 0;
            }
        }
    }
    return centre;
}

bool closeTo(uint32_t color, uint32_t expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(int((color >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 8)
            return false;
    }
    return true;
}

struct IndexRow {
    std::string quadKey;
    std::string styleId;
    std::string storeId;
    double lastAccess;
};

class CBDiskTileCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSBundle::setMainBundlePath(sourceResourcesPath());
        CBDiskTileCache::setMainCacheDirectory(folder_.file("tiles"));
        CBDiskTileCache::setSqliteFilePath(folder_.file("index/CBDiskCache.sqlite"));
        cache_ = std::make_shared<CBDiskTileCache>();
    }
    void TearDown() override {
        cache_->waitUntilIdle();
        cache_.reset();
        NSBundle::setMainBundlePath("");
    }

    void flush() {
        cache_->saveChangesIfNeeded();
        cache_->waitUntilIdle();
    }

    std::vector<IndexRow> rows(const std::shared_ptr<CBDiskTileCache>& cache) {
        std::vector<IndexRow> result;
        cache->dbQueue()->sync([&] {
            auto context = cache->managedObjectContext();
            auto tiles = context->executeFetchRequest(NSFetchRequest("maptile"));
            for (const auto& object :
                 tiles.value_or(std::vector<std::shared_ptr<NSManagedObject>>{})) {
                auto tile = std::dynamic_pointer_cast<CBDiskCacheMapTile>(object);
                auto style = std::dynamic_pointer_cast<CBDiskCacheStyle>(tile->style());
                auto store = std::dynamic_pointer_cast<CBDiskCacheMapStore>(tile->mapstore());
                result.push_back(
                    {tile->quadKey().value_or(""), style ? style->styleId().value_or("") : "",
                     store ? store->storeId().value_or("") : "",
                     tile->lastAccess() ? tile->lastAccess()->timeIntervalSinceReferenceDate()
                                        : 0});
            }
        });
        return result;
    }
    std::vector<IndexRow> rows() { return rows(cache_); }

    size_t countOf(const std::string& entity) {
        size_t count = 0;
        cache_->dbQueue()->sync([&] {
            count = cache_->managedObjectContext()
                        ->countForFetchRequest(NSFetchRequest(entity))
                        .value_or(0);
        });
        return count;
    }

    std::string tilePath(const std::string& quadKey, const std::string& store = kStore) {
        return cache_->filePathForQuadKeyStringForStyleIdInStoreId(quadKey, kStyle, store);
    }

    CGImageRef read(const std::string& quadKey, const std::string& store = kStore,
                    const std::string& style = kStyle) {
        return cache_->newTileImageForQuadKeyStringInStoreIdWithStyleId(quadKey, store, style);
    }

    TemporaryFolder folder_;
    std::shared_ptr<CBDiskTileCache> cache_;
};

}  // namespace

TEST_F(CBDiskTileCacheTest, StoresAndFindsTilesByStyleStoreAndQuadKey) {
    EXPECT_EQ(cache_->lastCachedZoomlevel(), 16);
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF3366CC), "1023", kStore,
                                                             kStyle);
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF00AA00), "1023", "other",
                                                             kStyle);
    cache_->waitUntilIdle();

    EXPECT_EQ(tilePath("1023"), folder_.file("tiles") + "/defaultMapStyle/three-rivers/1023");
    EXPECT_TRUE(cache_->cachedTileAvailableForQuadkeyInStoreIdWithStyleId("1023", kStore, kStyle));
    EXPECT_FALSE(
        cache_->cachedTileAvailableForQuadkeyInStoreIdWithStyleId("1023", kStore, "night"));
    EXPECT_FALSE(cache_->cachedTileAvailableForQuadkeyInStoreIdWithStyleId("1022", kStore, kStyle));

    CGImageRef image = read("1023");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 256u);
    EXPECT_TRUE(closeTo(uniformColor(*image), 0xFF3366CC));
    CGImageRef other = read("1023", "other");
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(closeTo(uniformColor(*other), 0xFF00AA00));

    // The file is a JPEG unless transparent tiles are asked for.
    std::ifstream jpeg(tilePath("1023"), std::ios::binary);
    EXPECT_EQ(jpeg.get(), 0xFF);
    cache_->setTransparentTileImages(true);
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0x80800000), "1030", kStore,
                                                             kStyle);
    cache_->waitUntilIdle();
    std::ifstream png(tilePath("1030"), std::ios::binary);
    EXPECT_EQ(png.get(), 0x89);
    CGImageRef translucent = read("1030");
    ASSERT_NE(translucent, nullptr);
    EXPECT_EQ(translucent->pixelAt(5, 5) >> 24, 0x80u);
}

TEST_F(CBDiskTileCacheTest, MissingIdsAndUnsafeNamesAreRefused) {
    const auto tile = solidTile(0xFF808080, 16);
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(tile, "1023", kStore, "");
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(tile, "1023", "", kStyle);
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(nullptr, "1023", kStore, kStyle);
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(tile, "../1023", kStore, kStyle);
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(tile, "1023", "..", kStyle);
    cache_->waitUntilIdle();
    EXPECT_EQ(cache_->pendingRecordCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder_.file("tiles")));
    EXPECT_EQ(read("../../index/CBDiskCache.sqlite"), nullptr);

    // A tile never written is a miss and records nothing.
    EXPECT_EQ(read("1000"), nullptr);
    EXPECT_EQ(cache_->pendingRecordCount(), 0u);
}

TEST_F(CBDiskTileCacheTest, FlushWritesOneRowPerTileAndUpdatesItOnUse) {
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF202020, 8), "1012",
                                                             kStore, kStyle);
    cache_->waitUntilIdle();
    EXPECT_TRUE(rows().empty());
    const double beforeFlush = NSDate::date().timeIntervalSinceReferenceDate();
    flush();
    std::vector<IndexRow> first = rows();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].quadKey, "1012");
    EXPECT_EQ(first[0].styleId, kStyle);
    EXPECT_EQ(first[0].storeId, kStore);
    EXPECT_GE(first[0].lastAccess, beforeFlush);

    ASSERT_NE(read("1012"), nullptr);
    const double beforeSecondFlush = NSDate::date().timeIntervalSinceReferenceDate();
    flush();
    std::vector<IndexRow> second = rows();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_GE(second[0].lastAccess, beforeSecondFlush);
    EXPECT_EQ(cache_->pendingRecordCount(), 0u);
}

TEST_F(CBDiskTileCacheTest, ATileWrittenTwiceHasOneRow) {
    for (int i = 0; i < 3; ++i) {
        cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF101010 + i, 8),
                                                                 "1013", kStore, kStyle);
    }
    flush();
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF505050, 8), "1013",
                                                             kStore, kStyle);
    flush();
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(countOf("style"), 1u);
    EXPECT_EQ(countOf("mapstore"), 1u);
}

TEST_F(CBDiskTileCacheTest, AccessesOfTilesWithoutRowsAreDropped) {
    // A tile file the index does not know (written by an earlier, lost flush).
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF303030, 8), "1021",
                                                             kStore, kStyle);
    cache_->waitUntilIdle();
    auto fresh = std::make_shared<CBDiskTileCache>();
    ASSERT_NE(fresh->newTileImageForQuadKeyStringInStoreIdWithStyleId("1021", kStore, kStyle),
              nullptr);
    EXPECT_EQ(fresh->pendingRecordCount(), 1u);
    fresh->saveChangesIfNeeded();
    fresh->waitUntilIdle();
    EXPECT_EQ(fresh->pendingRecordCount(), 0u);
    EXPECT_TRUE(rows(fresh).empty());
    cache_->waitUntilIdle();
}

TEST_F(CBDiskTileCacheTest, UndecodableOrTruncatedFilesAreMisses) {
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF404040), "1031", kStore,
                                                             kStyle);
    cache_->waitUntilIdle();
    const std::string path = tilePath("1031");
    const auto size = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, size / 2);
    LogCapture log;
    EXPECT_EQ(read("1031"), nullptr);
    EXPECT_TRUE(log.contains("cannot be decoded"));

    std::ofstream(tilePath("1032"), std::ios::binary) << "not an image at all";
    EXPECT_EQ(read("1032"), nullptr);
    EXPECT_EQ(cache_->pendingRecordCount(), 1u);  // only the write of 1031
}

TEST_F(CBDiskTileCacheTest, WritesLeaveNoTemporaryFiles) {
    for (int i = 0; i < 5; ++i) {
        cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(
            solidTile(0xFF000000 + i, 32), "10" + std::to_string(i), kStore, kStyle);
    }
    cache_->waitUntilIdle();
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(
             cache_->filePathForStyleIdAndStoreId(kStyle, kStore))) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 5u);
}

TEST_F(CBDiskTileCacheTest, SurvivesARestart) {
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF6699CC), "1033", kStore,
                                                             kStyle);
    flush();
    cache_.reset();

    cache_ = std::make_shared<CBDiskTileCache>();
    CGImageRef image = read("1033");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(closeTo(uniformColor(*image), 0xFF6699CC));
    std::vector<IndexRow> index = rows();
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0].quadKey, "1033");
}

TEST_F(CBDiskTileCacheTest, TheSaveTimerFlushesTheIndex) {
    auto timer = CBDiskTileCache::scheduledSaveTimerForCache(cache_);
    EXPECT_EQ(timer->timeInterval(), 30.0);
    timer->invalidate();

    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF777777, 8), "1001",
                                                             kStore, kStyle);
    cache_->waitUntilIdle();
    auto quick = CBDiskTileCache::scheduledSaveTimerForCache(cache_, 0.01);
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return rows().size() == 1; }, 10.0));
    quick->invalidate();
}

TEST_F(CBDiskTileCacheTest, ReadersNeverSeeATornFile) {
    const uint32_t colors[2] = {0xFFCC3300, 0xFF0033CC};
    cache_->setTransparentTileImages(true);  // PNG: exact colours
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(colors[0]), "1111", kStore,
                                                             kStyle);
    cache_->waitUntilIdle();

    std::atomic<bool> done = false;
    std::atomic<int> bad = 0, reads = 0;
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!done) {
                CGImageRef image = read("1111");
                const uint32_t color = image ? uniformColor(*image) : 0;
                if (color != colors[0] && color != colors[1])
                    ++bad;
                ++reads;
            }
        });
    }
    for (int i = 0; i < 60; ++i) {
        cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(colors[i % 2]), "1111",
                                                                 kStore, kStyle);
        if (i % 10 == 9)
            cache_->waitUntilIdle();
    }
    cache_->waitUntilIdle();
    done = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(bad, 0);
    EXPECT_GT(reads, 0);
}

TEST_F(CBDiskTileCacheTest, ClearingAStoreRemovesItsTilesAndRows) {
    for (const char* style : {kStyle, "night"}) {
        for (const char* store : {kStore, "other"}) {
            cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF999999, 8),
                                                                     "1002", store, style);
        }
    }
    flush();
    ASSERT_EQ(rows().size(), 4u);
    cache_->clearCacheForStoreIdentifier(kStore);
    cache_->waitUntilIdle();
    EXPECT_FALSE(std::filesystem::exists(cache_->filePathForStyleIdAndStoreId(kStyle, kStore)));
    EXPECT_FALSE(std::filesystem::exists(cache_->filePathForStyleIdAndStoreId("night", kStore)));
    EXPECT_TRUE(
        cache_->cachedTileAvailableForQuadkeyInStoreIdWithStyleId("1002", "other", "night"));
    flush();
    std::vector<IndexRow> left = rows();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].storeId, "other");
    EXPECT_EQ(left[1].storeId, "other");

    // The store can be cached again afterwards.
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF999999, 8), "1003",
                                                             kStore, kStyle);
    flush();
    EXPECT_EQ(rows().size(), 3u);

    cache_->clearCacheForStoreIdentifierSync("other");
    EXPECT_FALSE(std::filesystem::exists(cache_->filePathForStyleIdAndStoreId("night", "other")));
}

TEST_F(CBDiskTileCacheTest, TilesOfAnotherBuildOfTheMapAreDropped) {
    auto cacheTile = [&] {
        cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF999999, 8), "1002",
                                                                 kStore, kStyle);
        cache_->waitUntilIdle();
    };
    auto cached = [&] {
        return cache_->cachedTileAvailableForQuadkeyInStoreIdWithStyleId("1002", kStore, kStyle);
    };
    // Tiles from before versions were kept: of an unknown build, dropped.
    cacheTile();
    EXPECT_TRUE(cache_->useVersionForStoreIdentifier(kStore, "uuid-1"));
    EXPECT_FALSE(cached());
    cacheTile();
    EXPECT_FALSE(cache_->useVersionForStoreIdentifier(kStore, "uuid-1"));
    EXPECT_TRUE(cached()) << "the same build keeps its tiles";
    EXPECT_TRUE(cache_->useVersionForStoreIdentifier(kStore, "uuid-2"));
    EXPECT_FALSE(cached()) << "a rebuilt map draws its tiles anew";
    // A version that cannot be read, or an unsafe store id, changes nothing.
    cacheTile();
    EXPECT_FALSE(cache_->useVersionForStoreIdentifier(kStore, ""));
    EXPECT_FALSE(cache_->useVersionForStoreIdentifier("../x", "uuid-3"));
    EXPECT_TRUE(cached());
}

TEST_F(CBDiskTileCacheTest, RemovingEverythingEmptiesFilesAndIndex) {
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF999999, 8), "1002",
                                                             kStore, kStyle);
    flush();
    ASSERT_EQ(rows().size(), 1u);
    std::atomic<bool> completed = false;
    cache_->removeAllTilesWithCompletionBlock([&] { completed = true; });
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return completed.load(); }, 10.0));
    EXPECT_TRUE(std::filesystem::is_empty(folder_.file("tiles")));
    EXPECT_FALSE(cache_->cachedTileAvailableForQuadkeyInStoreIdWithStyleId("1002", kStore, kStyle));
    EXPECT_TRUE(rows().empty());

    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF999999, 8), "1003",
                                                             kStore, kStyle);
    flush();
    EXPECT_EQ(rows().size(), 1u);
}

TEST_F(CBDiskTileCacheTest, ClearingWithAlertsShowsProgressThenTheResult) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF999999, 8), "1002",
                                                             kStore, kStyle);
    flush();
    cache_->removeAllTilesWithAlert(true);
    auto alertOnWindow = [&]() -> std::shared_ptr<UIAlertView> {
        for (const auto& view : window->subviews()) {
            if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view))
                return alert;
        }
        return nullptr;
    };
    auto progress = alertOnWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->title(), "HD Cache clearing in progress");
    EXPECT_EQ(progress->numberOfButtons(), 0);
    ASSERT_EQ(progress->contentView()->subviews().size(), 3u);  // title, message, spinner
    auto spinner =
        std::dynamic_pointer_cast<UIActivityIndicatorView>(progress->contentView()->subviews()[2]);
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(spinner->isAnimating());

    std::shared_ptr<UIAlertView> done;
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] {
            done = alertOnWindow();
            return done && done != progress;
        },
        10.0));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(done->title(), "HD Cache cleared");
    EXPECT_EQ(done->message(), "Did delete HD cache");
    EXPECT_EQ(done->buttonTitleAtIndex(done->cancelButtonIndex()), "OK");
    EXPECT_TRUE(std::filesystem::is_empty(folder_.file("tiles")));
    done->dismissWithClickedButtonIndexAnimated(0, false);
}

TEST_F(CBDiskTileCacheTest, ADamagedIndexIsMadeAfresh) {
    std::filesystem::create_directories(folder_.file("index"));
    std::ofstream(CBDiskTileCache::sqliteFilePath(), std::ios::binary) << std::string(4096, 'x');
    cache_->addTileImageForQuadKeyStringInStoreIdWithStyleId(solidTile(0xFF999999, 8), "1002",
                                                             kStore, kStyle);
    LogCapture log;
    flush();
    EXPECT_TRUE(log.contains("unresolved error"));
    EXPECT_EQ(rows().size(), 1u);
}

TEST_F(CBDiskTileCacheTest, IndexQueriesBelongToTheIndexQueue) {
    EXPECT_EQ(cache_->styleForStyleID(kStyle), nullptr);
    EXPECT_EQ(cache_->mapStoreForId(kStore), nullptr);
    EXPECT_FALSE(cache_->fetchTileForQuadKeysInStoreIdWithStyleId({"1"}, kStore, kStyle));
    cache_->dbQueue()->sync([&] {
        EXPECT_NE(cache_->styleForStyleID(kStyle), nullptr);
        EXPECT_EQ(cache_->styleForStyleID(""), nullptr);
        EXPECT_FALSE(cache_->fetchTileForQuadKeysInStoreIdWithStyleId({}, kStore, kStyle));
        EXPECT_FALSE(cache_->fetchTileForQuadKeysInStoreIdWithStyleId({"1"}, kStore, kStyle));
    });
    cache_->waitUntilIdle();
    // Looking the style up makes its folder.
    EXPECT_TRUE(std::filesystem::is_directory(cache_->filePathForStyleId(kStyle)));
}

TEST_F(CBDiskTileCacheTest, EmptySettingsKeepThePreviousOnes) {
    const std::string directory = CBDiskTileCache::mainCacheDirectory();
    CBDiskTileCache::setMainCacheDirectory("");
    CBDiskTileCache::setSqliteFilePath("");
    EXPECT_EQ(CBDiskTileCache::mainCacheDirectory(), directory);
    EXPECT_EQ(CBDiskTileCache::sqliteFilePath(), folder_.file("index/CBDiskCache.sqlite"));
}
