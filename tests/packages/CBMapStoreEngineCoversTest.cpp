#include "Foundation/NSData+Files.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "MapStoreTestSupport.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "packages/CBMapStoreMap.h"

namespace {

class CBMapStoreEngineCoversTest : public MapStoreHome {
  protected:
    void SetUp() override {
        MapStoreHome::SetUp();
        root_ = file("server");
        engine_ = std::make_shared<CBMapStoreEngine>(writeSampleCatalogue(file("catalogue.sqlite")),
                                                     true);
        map_ = engine_->mapForIdentifier("liechtenstein");
        ASSERT_TRUE(map_);
        other_ = engine_->mapForIdentifier("neustrelitz");
        server_ = std::make_unique<StoreServer>(root_);
        CBMapStoreURLManager::setBaseURL(server_->url());
    }
    // A JPEG cover of `width` pixels (told apart by their widths).
    void writeCover(const std::string& path, CGFloat width) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        UIGraphicsBeginImageContextWithOptions({width, 10}, true, 1);
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        ASSERT_TRUE(writeDataToFile(UIImageJPEGRepresentation(image, 0.8), path, true));
    }
    void writeStatistics(const std::string& code, const std::string& coverSource) {
        std::filesystem::create_directories(root_ + "/map");
        Value::Dictionary info{{"numPOI", Value(10)}};
        if (!coverSource.empty())
            info["coverSource"] = Value(coverSource);
        Value plist(
            Value::Dictionary{{"maps", Value(Value::Dictionary{{"liechtenstein", Value(info)}})}});
        ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(
            plist, root_ + "/map/" + code + "_master_Stats.plist",
            NSPropertyListSerialization::Format::XML));
    }
    // The cover the completion gets, after waiting for it.
    std::shared_ptr<UIImage> awaitCover(bool* returnedNothing) {
        bool called = false;
        std::shared_ptr<UIImage> delivered;
        auto returned = engine_->coverImageForMapCompletion(map_, [&](const auto& image) {
            called = true;
            delivered = image;
        });
        *returnedNothing = !returned;
        if (returned)
            return returned;
        EXPECT_TRUE(runMainLoopUntil([&] { return called; }));
        return delivered;
    }
    std::string root_;
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<CBMapStoreMap> map_, other_;
    std::unique_ptr<StoreServer> server_;
};

TEST_F(CBMapStoreEngineCoversTest, OwnCoverThenInstalledCoverThenCachedCover) {
    writeCover(*CBMapStoreEngine::cachedCoverPathForMap(*map_), 30);
    auto image = engine_->coverImageForMapDownloadCoverIfNeededCompletion(map_, false, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size().width, 30);
    writeCover(*CBMapStoreEngine::defaultCoverPathForMapWithIdentifier("liechtenstein"), 20);
    EXPECT_EQ(engine_->coverImageForMapDownloadCoverIfNeededCompletion(map_, false, nullptr)
                  ->size()
                  .width,
              20);
    writeCover(*CBMapStoreEngine::customCoverPathForMapWithIdentifier("liechtenstein"), 10);
    map_->blurredCoverImage = image;
    EXPECT_EQ(engine_->coverImageForMapDownloadCoverIfNeededCompletion(map_, false, nullptr)
                  ->size()
                  .width,
              10);
    EXPECT_EQ(map_->coverImage->size().width, 10);
    EXPECT_FALSE(map_->blurredCoverImage);
    EXPECT_TRUE(engine_->customCoverExistsForMap(map_));

    engine_->resetCustomCoverForMap(map_);
    EXPECT_FALSE(engine_->customCoverExistsForMap(map_));
    EXPECT_FALSE(map_->coverImage);
    // A cover file that does not decode is passed over.
    std::ofstream(*CBMapStoreEngine::defaultCoverPathForMapWithIdentifier("liechtenstein"))
        << "half a JPEG";
    EXPECT_EQ(engine_->coverImageForMapDownloadCoverIfNeededCompletion(map_, false, nullptr)
                  ->size()
                  .width,
              30);
}

TEST_F(CBMapStoreEngineCoversTest, WithoutAFileTheGeneratedCover) {
    auto image = engine_->coverImageForMapDownloadCoverIfNeededCompletion(other_, false, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size().width, 240);
    EXPECT_EQ(image->size().height, 320);
    EXPECT_EQ(other_->coverImage, image);
    // A record without a source: generated at once.
    writeStatistics("LI", "");
    bool returnedNothing = false;
    auto cover = awaitCover(&returnedNothing);
    ASSERT_TRUE(cover);
    EXPECT_TRUE(returnedNothing);  // decided when the record arrived
    EXPECT_EQ(cover->size().width, 240);
    cover = awaitCover(&returnedNothing);
    EXPECT_FALSE(returnedNothing);  // the stored record decides at once
    EXPECT_EQ(cover->size().width, 240);
}

TEST_F(CBMapStoreEngineCoversTest, DownloadsTheCatalogueCoverIntoTheCacheWhole) {
    writeStatistics("LI", "mapCovers/LI/liechtenstein.jpg");
    writeCover(root_ + "/mapCovers/LI/liechtenstein.jpg", 44);
    bool returnedNothing = false;
    auto cover = awaitCover(&returnedNothing);
    ASSERT_TRUE(cover);
    EXPECT_TRUE(returnedNothing);
    EXPECT_EQ(cover->size().width, 44);
    EXPECT_EQ(map_->coverImage, cover);
    const std::string cached = *CBMapStoreEngine::cachedCoverPathForMap(*map_);
    ASSERT_TRUE(std::filesystem::exists(cached));
    EXPECT_EQ(std::distance(
                  std::filesystem::directory_iterator(std::filesystem::path(cached).parent_path()),
                  std::filesystem::directory_iterator()),
              1);  // no temporary file left beside it
    // Now it is the first cover file that exists.
    EXPECT_EQ(engine_->coverImageForMapCompletion(map_, nullptr)->size().width, 44);
}

TEST_F(CBMapStoreEngineCoversTest, AFailedFetchEndsInTheGeneratedCover) {
    // The source names a file the server does not have.
    writeStatistics("LI", "mapCovers/LI/missing.jpg");
    bool returnedNothing = false;
    auto cover = awaitCover(&returnedNothing);
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->size().width, 240);
    EXPECT_FALSE(std::filesystem::exists(*CBMapStoreEngine::cachedCoverPathForMap(*map_)));

    // A body that is no image is not kept.
    writeStatistics("LI", "mapCovers/LI/broken.jpg");
    std::filesystem::create_directories(root_ + "/mapCovers/LI");
    std::ofstream(root_ + "/mapCovers/LI/broken.jpg") << "<html>not found</html>";
    engine_->expireStoredInfos();
    map_->coverImage.reset();
    cover = awaitCover(&returnedNothing);
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->size().width, 240);
    EXPECT_FALSE(std::filesystem::exists(*CBMapStoreEngine::cachedCoverPathForMap(*map_)));

    // No server at all: the statistics fail and the cover is generated.
    server_->stop();
    auto neustrelitz = other_;
    bool called = false;
    std::shared_ptr<UIImage> delivered;
    EXPECT_FALSE(engine_->coverImageForMapCompletion(neustrelitz, [&](const auto& image) {
        called = true;
        delivered = image;
    }));
    ASSERT_TRUE(runMainLoopUntil([&] { return called; }));
    ASSERT_TRUE(delivered);
    EXPECT_EQ(delivered->size().width, 240);
}

}  // namespace
