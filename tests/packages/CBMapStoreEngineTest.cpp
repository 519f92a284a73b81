#include "MapStoreTestSupport.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreGroup.h"
#include "packages/CBMapStoreMap.h"

namespace {

class CBMapStoreEngineTest : public MapStoreHome {
  protected:
    void SetUp() override {
        MapStoreHome::SetUp();
        engine_ = std::make_shared<CBMapStoreEngine>(writeSampleCatalogue(file("catalogue.sqlite")),
                                                     true);
    }
    std::vector<std::string> identifiers(const std::vector<std::shared_ptr<CBMapStoreMap>>& maps) {
        std::vector<std::string> ids;
        for (const auto& map : maps)
            ids.push_back(map->identifier().value_or(""));
        return ids;
    }
    std::shared_ptr<CBMapStoreEngine> engine_;
};

TEST_F(CBMapStoreEngineTest, GroupsAreSortedByNameWithUSAndEuropeFirst) {
    auto groups = engine_->sortedGroups();
    ASSERT_TRUE(groups);
    std::vector<std::string> codes;
    for (const auto& group : *groups)
        codes.push_back(group->groupCode().value_or(""));
    EXPECT_EQ(codes, (std::vector<std::string>{"US", "europe", "africa", "asia"}));
    auto europe = (*groups)[1];
    ASSERT_EQ(europe->sortedCountries().size(), 2u);
    EXPECT_EQ(europe->sortedCountries()[0]->countryCode(), "DE");
    EXPECT_EQ((*groups)[0]->sortedRegions().front()->regionCode(), "US-MI");
}

TEST_F(CBMapStoreEngineTest, LooksUpCountriesAndMapsByCode) {
    auto germany = engine_->countryForCountryCode("DE");
    ASSERT_TRUE(germany);
    EXPECT_EQ(germany->maps().size(), 2u);
    EXPECT_NEAR(germany->bbox()->NE().latitude, 55.0, 1e-9);
    EXPECT_FALSE(engine_->countryForCountryCode("FR"));

    EXPECT_FALSE(engine_->mapForIdentifier(std::nullopt));
    EXPECT_FALSE(engine_->mapForIdentifier("nowhere"));
    auto map = engine_->mapForIdentifier("neubrandenburg");
    ASSERT_TRUE(map);
    EXPECT_EQ(map->title(), "Neubrandenburg, Mecklenburg-Vorpommern");
    EXPECT_EQ(map->shortTitle(), "Neubrandenburg");
    EXPECT_EQ(map->subtitle(), "Neubrandenburg, Burg Stargard, Neuendorf");
    EXPECT_EQ(map->code(), "DE-MV");
    EXPECT_EQ(map->firstLetter(), "N");
    EXPECT_EQ(*map->filePath(), CBCoreDataManager::applicationDocumentsDirectory() +
                                    "/maps/neubrandenburg/neubrandenburg.sqlite");
    auto liechtenstein = engine_->mapForIdentifier("liechtenstein");
    // A map of a whole country carries the country's name after its own.
    EXPECT_EQ(liechtenstein->title(), "Liechtenstein, Liechtenstein");
    EXPECT_LT(liechtenstein->compare(*map), 0);
}

TEST_F(CBMapStoreEngineTest, FindsTheMapOfACoordinateByBoxThenShape) {
    auto map = engine_->mapIncludingCoordinate({53.5574, 13.2610});
    ASSERT_TRUE(map);
    EXPECT_EQ(map->identifier(), "neubrandenburg");
    // Inside Neustrelitz's box but outside its triangle.
    EXPECT_FALSE(engine_->mapIncludingCoordinate({53.39, 13.03}));
    EXPECT_EQ(engine_->mapIncludingCoordinate({53.34, 13.12})->identifier(), "neustrelitz");
    EXPECT_FALSE(engine_->mapIncludingCoordinate({0, 0}));
}

TEST_F(CBMapStoreEngineTest, MapsInABoxComeHighestPriorityFirstAtMostFifteen) {
    std::vector<std::shared_ptr<CBMapStoreMap>> found;
    bool done = false;
    engine_->mapsInBoundingBoxWithCompletionBlock(CBBoundingBox({54.0, 14.0}, {53.0, 13.0}),
                                                  [&](const auto& maps) {
                                                      found = maps;
                                                      done = true;
                                                  });
    ASSERT_TRUE(runMainLoopUntil([&] { return done; }));
    EXPECT_EQ(identifiers(found), (std::vector<std::string>{"neustrelitz", "neubrandenburg"}));

    auto catalogue = sampleCatalogue();
    for (int i = 0; i < 20; ++i) {
        auto extra = catalogue.maps.front();
        extra.identifier = "extra-" + std::to_string(i);
        extra.priority = 100 + i;
        catalogue.maps.push_back(extra);
    }
    auto crowded = std::make_shared<CBMapStoreEngine>(
        writeSampleCatalogue(file("crowded.sqlite"), catalogue), true);
    done = false;
    crowded->mapsInBoundingBoxWithCompletionBlock(CBBoundingBox({54.0, 14.0}, {53.0, 13.0}),
                                                  [&](const auto& maps) {
                                                      found = maps;
                                                      done = true;
                                                  });
    ASSERT_TRUE(runMainLoopUntil([&] { return done; }));
    ASSERT_EQ(found.size(), CBMapStoreEngine::kMapsInBoundingBoxLimit);
    EXPECT_EQ(found.front()->identifier(), "extra-19");
}

TEST_F(CBMapStoreEngineTest, URLsAndPathsOnlyForPlainIdentifiers) {
    auto map = engine_->mapForIdentifier("three-rivers");
    EXPECT_FALSE(engine_->urlForMap(map));  // no server known
    CBMapStoreURLManager::setBaseURL("http://127.0.0.1:8123/");
    EXPECT_EQ(engine_->urlForMap(map), "http://127.0.0.1:8123/map/US-MI/three-rivers.zip");
    EXPECT_FALSE(engine_->urlForMap(nullptr));
    EXPECT_EQ(engine_->basePathForMaps(),
              CBCoreDataManager::applicationDocumentsDirectory() + "/maps");
    EXPECT_FALSE(CBMapStoreEngine::customCoverPathForMapWithIdentifier("../x"));
    EXPECT_EQ(
        *CBMapStoreEngine::customCoverPathForMapWithIdentifier("three-rivers"),
        CBCoreDataManager::applicationDocumentsDirectory() + "/covers/three-rivers_custom.jpg");
}

TEST_F(CBMapStoreEngineTest, AMissingCatalogueAnswersNothing) {
    auto missing = std::make_shared<CBMapStoreEngine>(file("missing.sqlite"), true);
    EXPECT_FALSE(missing->sortedGroups());
    EXPECT_FALSE(missing->mapForIdentifier("neubrandenburg"));
    EXPECT_FALSE(std::filesystem::exists(file("missing.sqlite")));
}

}  // namespace
