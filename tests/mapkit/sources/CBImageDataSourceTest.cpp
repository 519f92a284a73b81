#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "CBGeoData/CBBoundingBox.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSUserDefaults.h"
#include "SourceTileFixture.h"
#include "TileServerProcess.h"
#include "foundation/NSString+Base64.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBTileRequest.h"
#include "mapkit/MapViewHome.h"
#include "mapkit/MapkitTestSupport.h"
#include "platform/UIKit/UIKitTestSupport.h"

namespace {

// Keeps tiles in a folder under their URL-safe names, as the store screens do.
class FolderCache : public CBImageDataSourceCacheDelegate {
  public:
    explicit FolderCache(std::string folder) : folder_(std::move(folder)) {}
    std::optional<std::string> imageDataSourcePathForCachedImageWithUrl(CBImageDataSource&,
                                                                        const NSURL& url) override {
        return folder_ + "/" + urlSafeCacheFileName(url.absoluteString());
    }
    size_t files() const {
        std::error_code ignored;
        if (!std::filesystem::is_directory(folder_, ignored))
            return 0;
        // Files being written atomically carry ".tmp." until they are complete.
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            count += entry.path().filename().string().find(".tmp.") == std::string::npos;
        return count;
    }

  private:
    std::string folder_;
};

bool waitFor(const std::function<bool()>& condition, double seconds = 5) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class CBImageDataSourceTest : public ::testing::Test {
  protected:
    MapViewHome home_;

    void SetUp() override {
        cache_ = std::make_shared<FolderCache>(folder_.file("thunderforest"));
        source_ = std::make_shared<CBImageDataSource>();
        source_->setCacheDelegate(cache_);
        source_->setCacheVolumePath(folder_.path());
        source_->setReservedDiskSpace(0);
    }
    void useServer(const TileServerProcess& server, const std::string& key) {
        source_->setUrlPatternType(2);
        source_->setUrlPattern("http://" + server.host() +
                               "/neighbourhood/%i/%i/%i.png?apikey=" + key);
    }
    // One tile of each level 2 to 6 around central Europe, side by side.
    CGImageRef worldStrip() {
        auto context = flippedBitmap(5 * 256, 256);
        for (int z = 2; z <= 6; ++z) {
            const int n = 1 << z;
            const int x = int((14.0 + 180) / 360 * n);
            const int y = int((1 - std::asinh(std::tan(50.0 * M_PI / 180)) / M_PI) / 2 * n);
            drawTileInto(*context, *source_, nullptr, CGRectMake(0, 0, 256, 256), x, y, z,
                         CGPointMake((z - 2) * 256.0, 0), 256);
        }
        return context->createImage();
    }

    TemporaryFolder folder_;
    std::shared_ptr<FolderCache> cache_;
    std::shared_ptr<CBImageDataSource> source_;
};

}  // namespace

TEST_F(CBImageDataSourceTest, PatternsAreFilledAsTextInTheOrderOfTheirType) {
    source_->setUrlPattern("http://h/a%20b/%i/%i/%i.png?q=%25s");
    EXPECT_EQ(source_->urlForXYZ(3, 5, 4)->absoluteString(), "http://h/a%20b/3/5/4.png?q=%25s");
    source_->setUrlPatternType(2);
    EXPECT_EQ(source_->urlForXYZ(3, 5, 4)->absoluteString(), "http://h/a%20b/4/3/5.png?q=%25s");
    source_->setPathPattern("/tiles/%d-%d-%d.png");
    EXPECT_EQ(*source_->pathForXYZ(3, 5, 4), "/tiles/3-5-4.png");
    source_->setUrlPattern("http://h/%i/%i.png");
    EXPECT_FALSE(source_->urlForXYZ(1, 2, 3));
    source_->setUrlPattern(std::nullopt);
    EXPECT_FALSE(source_->urlForXYZ(1, 2, 3));
}

TEST(CBImageDataSourceNames, CacheFileNamesAreOnePathComponentInTheUrlSafeAlphabet) {
    // This URL's standard Base64 holds "/" and "+"; a long one used to break lines.
    const std::string url = "http://127.0.0.1:8091/neighbourhood/11/1100/671.png?apikey=>>>???";
    const std::string name = urlSafeCacheFileName(url);
    EXPECT_EQ(
        name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
        std::string::npos);
    EXPECT_EQ(*stringFromBase64String([&] {
        std::string standard = name;
        std::replace(standard.begin(), standard.end(), '-', '+');
        std::replace(standard.begin(), standard.end(), '_', '/');
        return standard;
    }()),
              url);
    const std::string longURL = "http://127.0.0.1/" + std::string(300, 'x');
    const std::string hashed = urlSafeCacheFileName(longURL);
    EXPECT_EQ(hashed.rfind("sha256.", 0), 0u);
    EXPECT_LE(hashed.size(), 255u);
    EXPECT_NE(hashed, urlSafeCacheFileName(longURL + "y"));
}

TEST_F(CBImageDataSourceTest, TheWorldMapComesFromTheTileServiceAndStaysAfterItStops) {
    TileServerProcess server;
    ASSERT_TRUE(server.running());
    useServer(server, CBMapLayers::kOnlineTileServiceKey);
    EXPECT_TRUE(matchesReference(worldStrip(), "../mapkit/online-world-z2-6"));
    ASSERT_TRUE(waitFor([&] { return cache_->files() == 5; }));
    const long requests = server.tileRequests();
    EXPECT_EQ(requests, 5);

    // Cached tiles are read before any request: none goes out, and the
    // picture is the same once the service is gone.
    EXPECT_TRUE(matchesReference(worldStrip(), "../mapkit/online-world-z2-6"));
    EXPECT_EQ(server.tileRequests(), requests);
    server.stop();
    EXPECT_TRUE(matchesReference(worldStrip(), "../mapkit/online-world-z2-6"));
}

TEST_F(CBImageDataSourceTest, ErrorPicturesAreShownButNeverCached) {
    TileServerProcess server;
    ASSERT_TRUE(server.running());
    useServer(server, "0123456789abcdef0123456789abcdef");
    auto context = flippedBitmap(256, 256);
    drawTileInto(*context, *source_, nullptr, CGRectMake(0, 0, 256, 256), 1, 1, 2,
                 CGPointMake(0, 0), 256);
    EXPECT_TRUE(matchesReference(context->createImage(), "../mapkit/online-refused-key"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(cache_->files(), 0u);
    // The next drawing asks again instead of keeping the refusal.
    drawTileInto(*context, *source_, nullptr, CGRectMake(0, 0, 256, 256), 1, 1, 2,
                 CGPointMake(0, 0), 256);
    EXPECT_EQ(server.tileRequests(), 2);
}

TEST_F(CBImageDataSourceTest, ATileThatCanBeRedrawnIsAskedForAgainWhenItsImageArrives) {
    TileServerProcess server({"--delay", "1000"});
    ASSERT_TRUE(server.running());
    useServer(server, CBMapLayers::kOnlineTileServiceKey);
    std::atomic<int> redraws = 0;
    CBTileRequest request;
    request.x = 1;
    request.y = 1;
    request.zoom = 2;
    request.rect = CGRectMake(0, 0, 256, 256);
    request.redraw = [&] { ++redraws; };
    auto context = flippedBitmap(256, 256);
    // The drawing thread does not wait for the service: the tile is drawn
    // without its picture, twice, while one download runs.
    source_->drawTileRequestInContext(request, *context);
    source_->drawTileRequestInContext(request, *context);
    EXPECT_EQ(context->data()[3], 0);
    ASSERT_TRUE(waitFor([&] { return redraws == 2; }));
    EXPECT_EQ(server.tileRequests(), 1);

    // Drawn again, it shows what arrived without asking the service.
    cache_ = nullptr;
    source_->setCacheDelegate({});
    source_->drawTileRequestInContext(request, *context);
    EXPECT_EQ(context->data()[3], 0xFF);
    EXPECT_EQ(server.tileRequests(), 1);
}

TEST_F(CBImageDataSourceTest, NoPatternDrawsNothingAndAFailedDownloadCachesNothing) {
    auto context = flippedBitmap(256, 256);
    drawTileInto(*context, *source_, nullptr, CGRectMake(0, 0, 256, 256), 0, 0, 0,
                 CGPointMake(0, 0), 256);
    EXPECT_EQ(context->data()[3], 0);
    TileServerProcess server;
    useServer(server, CBMapLayers::kOnlineTileServiceKey);
    // Level 12 does not exist at the service.
    drawTileInto(*context, *source_, nullptr, CGRectMake(0, 0, 256, 256), 0, 0, 12,
                 CGPointMake(0, 0), 256);
    EXPECT_EQ(context->data()[3], 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(cache_->files(), 0u);
}

TEST_F(CBImageDataSourceTest, FreeSpaceBelowTheReserveNeverWrapsIntoSpaceToWrite) {
    const uint64_t free = source_->availableDiskSpaceForCaching();
    ASSERT_GT(free, 0u);
    // Free space just above the reserve, and a tile larger than the difference.
    source_->setReservedDiskSpace(free - 10 * 1024);
    source_->cacheImageDataAtPath(Value::Data(20 * 1024, 7), folder_.file("big/tile"));
    // A reserve above the free space: the old subtraction wrapped round here.
    source_->setReservedDiskSpace(free + 1024);
    source_->cacheImageDataAtPath(Value::Data(16, 7), folder_.file("small/tile"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(std::filesystem::exists(folder_.file("big/tile")));
    EXPECT_FALSE(std::filesystem::exists(folder_.file("small/tile")));

    source_->setReservedDiskSpace(0);
    source_->cacheImageDataAtPath(Value::Data(16, 7), folder_.file("fits/tile"));
    EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(folder_.file("fits/tile")); }));
}

TEST_F(CBImageDataSourceTest, UnknownFreeSpaceCountsAsNone) {
    LogCapture log;
    source_->setCacheVolumePath(folder_.file("missing/volume"));
    EXPECT_EQ(source_->availableDiskSpaceForCaching(), 0u);
    EXPECT_TRUE(log.contains("Error Obtaining System Memory Info"));
}

TEST_F(CBImageDataSourceTest, HeaderFieldsEmptyToNothing) {
    source_->setValueForHTTPHeaderField("a", std::nullopt);
    EXPECT_FALSE(source_->httpHeaderFields());
    source_->setValueForHTTPHeaderField("v", "X-One");
    EXPECT_EQ(source_->httpHeaderFields()->at("x-one"), "v");
    source_->setValueForHTTPHeaderField(std::nullopt, "X-One");
    EXPECT_FALSE(source_->httpHeaderFields());
}

TEST_F(CBImageDataSourceTest, DelegatesAreHeldWeakly) {
    EXPECT_EQ(source_->cacheDelegate(), cache_);
    cache_.reset();
    EXPECT_FALSE(source_->cacheDelegate());
    EXPECT_FALSE(source_->wmsDelegate());
    auto connection = std::make_shared<CBImageDataSourceConnectionDelegate>();
    source_->setConnectionDelegate(connection);
    EXPECT_EQ(source_->connectionDelegate(), connection);
}
