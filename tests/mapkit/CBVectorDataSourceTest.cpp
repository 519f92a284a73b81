#include "mapkit/CBVectorDataSource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "FailureImage.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "mapkit/VectorTileFixture.h"

namespace {

// Places of the sample city the reference tiles show.
struct Place {
    const char* name;
    double latitude, longitude;
    int zoom;
};
constexpr Place kReferenceTiles[] = {
    {"centre", 53.5574, 13.2610, 12},
    {"centre", 53.5574, 13.2610, 13},
    {"centre", 53.5574, 13.2610, 14},
    {"river", 53.5480, 13.2450, 15},
    {"oldtown", 53.5570, 13.2590, 16},
    {"park", 53.5490, 13.2560, 16},
    {"oldtown", 53.5570, 13.2590, 17},
    {"station", 53.5627, 13.2580, 18},
    // Districts of houses and an industrial estate: streets, houses and
    // labels inside their land use, never a blank fill.
    {"oststadt", 53.5766, 13.2813, 16},
    {"oststadt", 53.5766, 13.2813, 17},
    {"suedstadt", 53.5500, 13.2700, 16},
    {"suedstadt", 53.5500, 13.2700, 17},
    {"industry", 53.5566, 13.2376, 16},
    {"industry", 53.5566, 13.2376, 17},
};

std::vector<uint32_t> pixels(CGContext& context) {
    std::vector<uint32_t> result(context.width() * context.height());
    for (size_t y = 0; y < context.height(); ++y) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(context.data() + y * context.bytesPerRow());
        std::copy(row, row + context.width(), result.begin() + y * context.width());
    }
    return result;
}

std::vector<uint32_t> pixels(const CGImage& image) {
    std::vector<uint32_t> result(image.width() * image.height());
    for (size_t y = 0; y < image.height(); ++y)
        for (size_t x = 0; x < image.width(); ++x)
            result[y * image.width() + x] = image.pixelAt(x, y);
    return result;
}

// Share of pixels with a channel more than 24 apart.
double differingShare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size())
        return 1;
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            if (std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)) > 24) {
                ++differing;
                break;
            }
        }
    }
    return double(differing) / a.size();
}

size_t distinctColours(const std::vector<uint32_t>& image) {
    return std::set<uint32_t>(image.begin(), image.end()).size();
}

std::string referencePath(const Place& place) {
    const char* data = getenv("KELVARA_TEST_DATA");
    return std::string(data ? data : "tests/data") + "/tiles/" + place.name + "-" +
           std::to_string(place.zoom) + ".png";
}

bool writePNG(CGContext& context, const std::string& path) {
    auto destination = CGImageDestination::createWithURL(path, kUTTypePNG);
    auto image = context.createImage();
    if (!destination || !image)
        return false;
    destination->addImage(image);
    return destination->finalize();
}

class CBVectorDataSourceTest : public VectorTileTest {};

TEST_F(CBVectorDataSourceTest, TilesMatchTheReferenceImages) {
    // KELVARA_WRITE_REFERENCE_TILES=1 renders the references anew (look at them).
    const bool write = getenv("KELVARA_WRITE_REFERENCE_TILES") != nullptr;
    for (const Place& place : kReferenceTiles) {
        SCOPED_TRACE(referencePath(place));
        auto context = render(tileAt(place.latitude, place.longitude, place.zoom));
        auto rendered = pixels(*context);
        EXPECT_GT(distinctColours(rendered), 20u) << "a map, not a blank tile";
        if (write) {
            EXPECT_TRUE(writePNG(*context, referencePath(place)));
            continue;
        }
        auto source = CGImageSource::createWithURL(referencePath(place));
        ASSERT_NE(source, nullptr);
        auto reference = source->createImageAtIndex(0);
        ASSERT_NE(reference, nullptr);
        const double share = differingShare(rendered, pixels(*reference));
        EXPECT_LT(share, 0.01) << keepFailureImage(
            std::string(place.name) + "-" + std::to_string(place.zoom) + ".actual",
            [&](const std::string& path) { return writePNG(*context, path); });
    }
}

TEST_F(CBVectorDataSourceTest, LabelsCrossingATileEdgeShowOnBothSides) {
    // The centre at zoom 14: "Katharinenviertel" and "Ihlenfelder Vorstadt"
    // cross into the tile east of it. Rows with dark label ink at one side of
    // the shared edge have ink at the other side too.
    const Tile west = tileAt(53.5574, 13.2610, 14);
    const Tile east{west.x + 1, west.y, west.z};
    auto left = pixels(*render(west));
    auto right = pixels(*render(east));
    // Dark label ink within 12 pixels of the shared edge, per row.
    auto ink = [](const std::vector<uint32_t>& image, size_t row, size_t from) {
        for (size_t x = from; x < from + 12; ++x) {
            const uint32_t p = image[row * kPixels + x];
            if (((p >> 16) & 0xFF) < 110 && ((p >> 8) & 0xFF) < 110 && (p & 0xFF) < 130)
                return true;
        }
        return false;
    };
    int inked = 0, both = 0;
    for (size_t row = 0; row < kPixels; ++row) {
        const bool before = ink(left, row, kPixels - 12), after = ink(right, row, 0);
        inked += before || after;
        both += before && after;
    }
    EXPECT_GT(inked, 10) << "labels at the edge";
    EXPECT_GE(both, inked * 3 / 4) << "rows where a label stops at the edge";
}

TEST_F(CBVectorDataSourceTest, CacheableZoomsAreStoredAndDrawnFromTheCache) {
    auto cache = display_->diskCache();
    const int last = cache->lastCachedZoomlevel();
    const Tile cached = tileAt(53.5574, 13.2610, last);
    const Tile live = tileAt(53.5574, 13.2610, last + 1);
    auto first = pixels(*render(cached));
    render(live);
    cache->waitUntilIdle();
    EXPECT_TRUE(source_->cachedTileAvailableForXYZ(cached.x, cached.y, cached.z));
    EXPECT_FALSE(source_->cachedTileAvailableForXYZ(live.x, live.y, live.z));

    // Without any geo data the cached tile still shows, the live one not.
    display_->setGeoDataManager(nullptr);
    auto again = pixels(*render(cached));
    EXPECT_LT(differingShare(first, again), 0.05) << "JPEG of the same tile (edges of text blur)";
    EXPECT_EQ(distinctColours(pixels(*render(live, false))), 1u);
}

TEST_F(CBVectorDataSourceTest, PrerenderingStoresOnlyMissingDrawableTiles) {
    const Tile tile = tileAt(53.5565, 13.2585, 15);
    EXPECT_FALSE(source_->cachedTileAvailableForXYZ(tile.x, tile.y, tile.z));
    source_->prerenderXYZ(tile.x, tile.y, tile.z);
    display_->diskCache()->waitUntilIdle();
    EXPECT_TRUE(source_->cachedTileAvailableForXYZ(tile.x, tile.y, tile.z));

    // Far out at sea there is no map tile: nothing is stored.
    const Tile sea = tileAt(56.0, 5.0, 15);
    source_->prerenderXYZ(sea.x, sea.y, sea.z);
    display_->diskCache()->waitUntilIdle();
    EXPECT_FALSE(source_->cachedTileAvailableForXYZ(sea.x, sea.y, sea.z));
    manager_->unlockContextForCurrentThread();
}

TEST_F(CBVectorDataSourceTest, MissingTilesDrawNoElements) {
    // Climbs to the root and finds nothing: the tile stays empty.
    auto context = render(tileAt(-40.0, -100.0, 17), false);
    EXPECT_EQ(distinctColours(pixels(*context)), 1u);
    EXPECT_EQ(pixels(*context).front(), 0u);
}

TEST_F(CBVectorDataSourceTest, TransparentCacheTilesHaveNoBackground) {
    display_->setCacheTransparentTileImages(true);
    display_->diskCache()->setTransparentTileImages(true);
    auto image = pixels(*render(tileAt(53.5490, 13.2560, 14), false));
    size_t clear = std::count(image.begin(), image.end(), 0u);
    EXPECT_GT(clear, 0u);
}

TEST_F(CBVectorDataSourceTest, ThreadsDrawTheSamePixelsAsOneThread) {
    display_->disableDiskCache();
    // Tiles far enough apart that no icon or label meets another tile's.
    const std::vector<Tile> tiles{tileAt(53.5574, 13.2610, 17), tileAt(53.5490, 13.2560, 17),
                                  tileAt(53.5627, 13.2580, 17), tileAt(53.5480, 13.2450, 17)};
    std::vector<std::vector<uint32_t>> single;
    for (const Tile& tile : tiles)
        single.push_back(pixels(*render(tile)));
    manager_->unlockContextForCurrentThread();
    source_->resetCollisionDetectionMemory();

    std::vector<std::vector<uint32_t>> parallel(tiles.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < tiles.size(); ++i) {
        threads.emplace_back([&, i] { parallel[i] = pixels(*render(tiles[i])); });
    }
    for (auto& thread : threads)
        thread.join();
    for (size_t i = 0; i < tiles.size(); ++i)
        EXPECT_EQ(differingShare(single[i], parallel[i]), 0.0) << i;
}

}  // namespace

TEST(CBVectorDataSourceBoxesTest, BoxesOverlapOnlyWhereTheyShareArea) {
    const CGRect box = CGRectMake(10, 10, 20, 10);
    EXPECT_TRUE(CBVectorDataSource::boxesOverlap(box, CGRectMake(29, 19, 5, 5)));
    EXPECT_TRUE(CBVectorDataSource::boxesOverlap(box, CGRectMake(15, 12, 2, 2)));   // inside
    EXPECT_FALSE(CBVectorDataSource::boxesOverlap(box, CGRectMake(30, 10, 5, 5)));  // edge
    EXPECT_FALSE(CBVectorDataSource::boxesOverlap(box, CGRectMake(10, 20, 5, 5)));
    EXPECT_FALSE(CBVectorDataSource::boxesOverlap(box, CGRectMake(15, 15, 0, 3)));  // no width
    for (const CGRect& other : {CGRectMake(29, 19, 5, 5), CGRectMake(30, 10, 5, 5),
                                CGRectMake(-5, 12, 40, 1), CGRectMake(0, 0, 3, 3)})
        EXPECT_EQ(CBVectorDataSource::boxesOverlap(box, other), CGRectIntersectsRect(box, other));
}
