// Every map tile of every sample package that carries a fill type, at every
// zoom level the packages hold: the fill alone must paint what the tile's
// elements paint, since a tile whose fill is all it holds is drawn as that
// fill and nothing more. A district marked "uniform" while it holds streets
// and houses fails here; so does a fill that paints nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "ImageIO/CGImageSource.h"
#include "mapkit/CBElementPathCache.h"
#include "mapkit/VectorTileFixture.h"

namespace {

constexpr size_t kCheckPixels = 96;

class FillTilesOfEveryPackageTest : public VectorTileTest {
  protected:
    static std::shared_ptr<NSManagedObjectContext> open(const std::string& path, bool readOnly) {
        auto model = NSManagedObjectModel::modelWithContentsOfFile(
            resourcesPath() + "/Quillmere.bundle/CBGeoObject.model");
        if (!model)
            return nullptr;
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
        Value::Dictionary options{{NSReadOnlyPersistentStoreOption, Value(readOnly)}};
        if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, options, nullptr))
            return nullptr;
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        return context;
    }

    // The store's row of a tile, fetched through the context.
    static std::shared_ptr<CBGeoMapTile> rowOf(NSManagedObjectContext& context, const Tile& tile) {
        NSFetchRequest fetch("maptile");
        fetch.predicate = NSPredicate::predicateWithFormat(
            "quadKey = " +
            std::to_string(*CBGeoDataManager::quadKeyForTileXYZ(tile.x, tile.y, tile.z)));
        auto found = context.executeFetchRequest(fetch);
        return found && found->size() == 1 ? std::static_pointer_cast<CBGeoMapTile>(found->front())
                                           : nullptr;
    }

    // The tile on a transparent bitmap, painted by draw.
    template <typename Draw>
    std::vector<uint32_t> paint(const CBTileRequest& request, Draw draw) {
        auto context = CGContext::createBitmapContext(kCheckPixels, kCheckPixels);
        const CGFloat scale = kCheckPixels / request.rect.size.width;
        context->translateCTM(0, kCheckPixels);
        context->scaleCTM(1, -1);
        context->scaleCTM(scale, scale);
        context->translateCTM(-request.rect.origin.x, -request.rect.origin.y);
        context->clipToRect(request.rect);
        draw(*context);
        return pixelsOf(*context);
    }

    static std::vector<uint32_t> pixelsOf(CGContext& context) {
        std::vector<uint32_t> result;
        for (size_t y = 0; y < context.height(); ++y) {
            const auto* row =
                reinterpret_cast<const uint32_t*>(context.data() + y * context.bytesPerRow());
            result.insert(result.end(), row, row + context.width());
        }
        return result;
    }

    // Pixels with a channel more than 24 apart.
    static size_t differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
        size_t count = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            for (int shift = 0; shift < 32; shift += 8) {
                if (std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)) > 24) {
                    ++count;
                    break;
                }
            }
        }
        return count;
    }
};

TEST_F(FillTilesOfEveryPackageTest, AFillPaintsExactlyWhatItsTileHolds) {
    for (const char* package : {"neubrandenburg", "liechtenstein", "three-rivers"}) {
        SCOPED_TRACE(package);
        const std::string path = packagesDirectory() + "/" + package + "/" + package + ".sqlite";
        auto context = open(path, true);
        ASSERT_TRUE(context) << path;
        NSFetchRequest fetch("maptile");
        fetch.predicate = NSPredicate::predicateWithFormat("fillTypeID != nil");
        auto tiles = context->executeFetchRequest(fetch);
        ASSERT_TRUE(tiles);
        std::map<int, size_t> perZoom;
        size_t failures = 0;
        for (const auto& row : *tiles) {
            auto tile = std::static_pointer_cast<CBGeoMapTile>(row);
            auto xyz = CBGeoDataManager::tileXYZForQuadKey(*tile->quadKey());
            ASSERT_TRUE(xyz);
            const int x = int(xyz->x), y = int(xyz->y);
            const CGRect rect = projector_->rectForXYZ(x, y, xyz->z);
            const CBTileRequest request = display_->tileRequestForRectXYZAtScale(
                rect, x, y, xyz->z, float(kCheckPixels / rect.size.width));
            auto fill = paint(request, [&](CGContext& bitmap) {
                CBVectorDataSource::drawFillForMapTileAtZoomlevelAndScaleInRectAndContext(
                    *tile, request, bitmap);
            });
            auto elements = paint(request, [&](CGContext& bitmap) {
                auto layers = CBGeoDisplayManager::sortedElementsForMapTiles({tile});
                if (!layers)
                    return;
                CBElementPathCache paths(*request.projector);
                source_->drawObjectsAtZoomlevelAndScaleInContext(*layers, request, paths, bitmap);
            });
            ++perZoom[xyz->z];
            const size_t blank = std::count(fill.begin(), fill.end(), 0u);
            const size_t apart = differing(fill, elements);
            if ((blank > 0 || apart * 100 > fill.size()) && ++failures <= 5)
                ADD_FAILURE() << "tile " << *tile->quadKey() << " at zoom " << xyz->z << ": "
                              << blank << " pixels the fill leaves blank, " << apart
                              << " pixels where its elements paint something else";
        }
        EXPECT_EQ(failures, 0u) << "tiles whose fill hides what they hold";
        for (const auto& [zoom, count] : perZoom)
            std::printf("%s: %zu fill tiles at zoom %d\n", package, count, zoom);
    }
}

// A package made elsewhere may mark a tile with a fill no style knows, or
// with a fill beside its streets and houses, or list an element far outside
// a tile: each tile still shows what it holds, clipped to itself.
TEST_F(FillTilesOfEveryPackageTest, WronglyMarkedTilesStillDrawWhatTheyHold) {
    const Tile station = tileAt(53.5627, 13.2580, 18);
    const Tile stationRow{station.x / 4, station.y / 4, 16};  // its tile in the package
    const Tile market = tileAt(53.5574, 13.2610, 16);
    {
        auto context = open(storePath(), false);
        ASSERT_TRUE(context);
        auto row = rowOf(*context, stationRow);
        auto far = rowOf(*context, tileAt(53.5300, 13.3100, 16));
        auto marketRow = rowOf(*context, market);
        ASSERT_TRUE(row && far && marketRow);
        ASSERT_FALSE(far->elements().empty());
        row->setValueForKey("fillTypeID", Value(int64_t(9999)));
        row->addObjectForKey("elements", far->elements().front());
        marketRow->setValueForKey("fillTypeID", Value(int64_t(211)));
        NSError error;
        ASSERT_TRUE(context->save(&error)) << error.localizedDescription();
    }
    // The station as its reference shows it: nothing of the far element, no fill.
    const auto shown = pixelsOf(*render(station));
    const char* data = getenv("KELVARA_TEST_DATA");
    auto source = CGImageSource::createWithURL(std::string(data ? data : "tests/data") +
                                               "/tiles/station-18.png");
    ASSERT_NE(source, nullptr);
    auto reference = source->createImageAtIndex(0);
    ASSERT_NE(reference, nullptr);
    std::vector<uint32_t> expected;
    for (size_t y = 0; y < reference->height(); ++y)
        for (size_t x = 0; x < reference->width(); ++x)
            expected.push_back(reference->pixelAt(x, y));
    EXPECT_LT(double(differing(shown, expected)), 0.01 * double(shown.size()));

    // The market under a district fill: the fill, then every street and house.
    const auto filled = pixelsOf(*render(market));
    EXPECT_GT(std::set<uint32_t>(filled.begin(), filled.end()).size(), 20u)
        << "a map, not a blank fill";
}

}  // namespace
