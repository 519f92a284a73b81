#include <gtest/gtest.h>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "GeoPackageFixture.h"

namespace {

class GeoPackageQueriesTest : public GeoPackageTest {
  protected:
    // The key of the tile holding Neubrandenburg's station.
    static int64_t stationKey(int zoom) {
        CLLocationCoordinate2D station{53.5630, 13.2580};
        double n = std::ldexp(1.0, zoom);
        double phi = station.latitude * M_PI / 180;
        auto x = static_cast<int64_t>((station.longitude + 180) / 360 * n);
        auto y =
            static_cast<int64_t>(n * (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / M_PI) / 2);
        return *CBGeoDataManager::quadKeyForTileXYZ(x, y, zoom);
    }
};

TEST_F(GeoPackageQueriesTest, MapTilesOfStoredKeys) {
    auto tiles = manager_->mapTilesForQuadKeys({stationKey(15), stationKey(14)});
    ASSERT_TRUE(tiles);
    EXPECT_EQ(tiles->size(), 2u);
    for (const auto& tile : *tiles) {
        EXPECT_FALSE(tile->elements().empty());
        EXPECT_TRUE(tile->quadKey() == stationKey(15) || tile->quadKey() == stationKey(14));
    }
    manager_->unlockContextForCurrentThread();
    // Keys of which none is stored give nothing, not an empty list.
    EXPECT_EQ(manager_->mapTilesForQuadKeys({stationKey(9), 1}), std::nullopt);
    manager_->unlockContextForCurrentThread();
}

TEST_F(GeoPackageQueriesTest, AnchorsAreTheAnchoredElementsOfEachTileInTheOrderAsked) {
    const std::vector<int64_t> keys{stationKey(16), 1, stationKey(15)};
    auto anchors = manager_->elementAnchorsForQuadKeys(keys);
    ASSERT_TRUE(anchors);
    manager_->unlockContextForCurrentThread();
    size_t at = 0;
    for (int64_t key : keys) {
        auto tiles = manager_->mapTilesForQuadKeys({key});
        std::vector<std::shared_ptr<CBGeoElement>> anchored;
        for (const auto& tile : tiles.value_or(std::vector<std::shared_ptr<CBGeoMapTile>>{})) {
            for (const auto& element : tile->elements()) {
                if (CLLocationCoordinate2DIsValid(element->coordinate()))
                    anchored.push_back(element);
            }
        }
        manager_->unlockContextForCurrentThread();
        std::sort(anchored.begin(), anchored.end(), [](const auto& a, const auto& b) {
            return a->objectID().primaryKey() < b->objectID().primaryKey();
        });
        // The key nothing is stored under has no rows; the others as many
        // as their elements with a point, each alike in every field read.
        EXPECT_EQ(anchored.empty(), key == 1);
        for (const auto& element : anchored) {
            ASSERT_LT(at, anchors->size());
            const CBGeoElementAnchor& anchor = (*anchors)[at++];
            EXPECT_EQ(anchor.quadKey, key);
            EXPECT_EQ(anchor.objectID, element->objectID());
            EXPECT_EQ(anchor.coordinate.latitude, element->coordinate().latitude);
            EXPECT_EQ(anchor.coordinate.longitude, element->coordinate().longitude);
            EXPECT_EQ(anchor.named, !element->name().value_or("").empty());
            std::vector<int64_t> styles(anchor.styleIds.begin(),
                                        anchor.styleIds.begin() + anchor.styleIdCount);
            EXPECT_EQ(styles, element->styleIds().value_or(std::vector<int64_t>{}));
        }
    }
    EXPECT_EQ(at, anchors->size());
    auto named = std::count_if(anchors->begin(), anchors->end(),
                               [](const CBGeoElementAnchor& anchor) { return anchor.named; });
    EXPECT_GT(named, 0);
    EXPECT_LT(named, static_cast<long>(anchors->size()));
}

TEST_F(GeoPackageQueriesTest, MissingTilesClimbToTheirParents) {
    // The package stores zoom 16 but not 17 or 18.
    int64_t found = 0;
    auto tiles = manager_->mapTilesForQuadKeyOrParent(stationKey(18), &found);
    ASSERT_TRUE(tiles);
    EXPECT_EQ(found, stationKey(16));
    EXPECT_EQ((*tiles)[0]->zoomlevel(), 16);
    // Zoom 11 is not stored either: its parent at 10 answers.
    ASSERT_TRUE(manager_->mapTilesForQuadKeyOrParent(stationKey(11), &found));
    EXPECT_EQ(found, stationKey(10));
    // Far from the package, nothing is stored on the way up (the top levels hold nothing).
    EXPECT_EQ(manager_->mapTilesForQuadKeyOrParent(*CBGeoDataManager::quadKeyForTileXYZ(5, 5, 12)),
              std::nullopt);
    EXPECT_EQ(manager_->mapTilesForQuadKeyOrParent(145), std::nullopt);
    manager_->unlockContextForCurrentThread();
}

TEST_F(GeoPackageQueriesTest, CityTagsAndTranslations) {
    EXPECT_NE(manager_->currentCity(), nullptr);
    auto objects = manager_->getObjects();
    ASSERT_TRUE(objects);
    EXPECT_GT(objects->size(), 10000u);
    auto restaurants =
        manager_->tagsMatchingKeyAndAttribute(std::string("amenity"), std::string("restaurant"));
    ASSERT_TRUE(restaurants);
    EXPECT_EQ(restaurants->size(), 1u);
    auto translated = manager_->findTranslatedTagContaining("RESTAURANT");
    ASSERT_TRUE(translated);
    EXPECT_FALSE(translated->empty());
    EXPECT_TRUE(manager_->findTranslatedTagContaining("zzqqxx")->empty());
}

}  // namespace
