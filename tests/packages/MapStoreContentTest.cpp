#include "Foundation/NSPropertyListSerialization.h"
#include "MapStoreTestSupport.h"
#include "UIKit/UIImage.h"
#include "packages/CBMapStoreCatalogue.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreGroup.h"
#include "packages/CBMapStoreMap.h"

#ifdef KELVARA_MAPSTORE_ROOT

namespace fs = std::filesystem;

namespace {

// The server content and the bundled catalogue the build makes from the
// sample packages.
class MapStoreContentTest : public MapStoreHome {
  protected:
    void SetUp() override {
        MapStoreHome::SetUp();
        // The source bundle with the generated catalogue and country names.
        const fs::path bundle = file("bundle");
        fs::copy(mapStoreSourceResources(), bundle, fs::copy_options::recursive);
        fs::copy(KELVARA_GENERATED_RESOURCES, bundle,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        NSBundle::setMainBundlePath(bundle.string());
    }
    const fs::path root_ = KELVARA_MAPSTORE_ROOT;
};

TEST_F(MapStoreContentTest, TheBundledCatalogueListsTheSamplesWithTheirPlaces) {
    auto path = CBMapStoreEngine::bundledCataloguePath();
    ASSERT_TRUE(path);
    std::string reason;
    EXPECT_TRUE(CBMapStoreCatalogue::validateCatalogueAtPath(
        *path, CBMapStoreEngine::mapStoreModel(), &reason))
        << reason;
    auto engine = std::make_shared<CBMapStoreEngine>();
    auto groups = engine->sortedGroups();
    ASSERT_TRUE(groups);
    ASSERT_EQ(groups->size(), 2u);
    EXPECT_EQ((*groups)[0]->groupCode(), "US");
    EXPECT_EQ((*groups)[0]->sortedRegions().front()->localName(), "Michigan");
    ASSERT_EQ((*groups)[1]->sortedCountries().size(), 2u);
    EXPECT_EQ((*groups)[1]->sortedCountries()[0]->localName(), "Germany");

    auto germany = engine->countryForCountryCode("DE");
    EXPECT_TRUE(germany->bbox()->includesCoordinate({53.5574, 13.2610}));
    EXPECT_TRUE(germany->bbox()->includesCoordinate({52.52, 13.40}));  // Berlin
    EXPECT_FALSE(germany->bbox()->includesCoordinate({48.85, 2.35}));  // Paris
    auto us = engine->countryForCountryCode("US");
    EXPECT_TRUE(us->bbox()->includesCoordinate({41.95, -85.63}));

    auto neubrandenburg = engine->mapIncludingCoordinate({53.5574, 13.2610});
    ASSERT_TRUE(neubrandenburg);
    EXPECT_EQ(neubrandenburg->identifier(), "neubrandenburg");
    EXPECT_EQ(neubrandenburg->title(), "Neubrandenburg, Mecklenburg-Vorpommern");
    EXPECT_NE(neubrandenburg->places()->find("Neubrandenburg"), std::string::npos);
    EXPECT_EQ(engine->mapIncludingCoordinate({47.14, 9.52})->identifier(), "liechtenstein");
    EXPECT_EQ(engine->mapIncludingCoordinate({41.94, -85.63})->identifier(), "three-rivers");
    EXPECT_FALSE(engine->mapIncludingCoordinate({52.52, 13.40}));

    engine->searchDelayShort = engine->searchDelayLong = 0.01;
    std::vector<std::string> found;
    bool done = false;
    ASSERT_TRUE(engine->mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock(
        "vaduz", {}, {}, [&](const auto& maps) {
            for (const auto& map : maps)
                found.push_back(map->identifier().value_or(""));
            done = true;
        }));
    ASSERT_TRUE(runMainLoopUntil([&] { return done; }));
    EXPECT_EQ(found, std::vector<std::string>{"liechtenstein"});
}

TEST_F(MapStoreContentTest, TheServerFolderHoldsPackagesStatisticsCoversAndNotices) {
    EXPECT_GT(fs::file_size(root_ / "mapStore.zip"), 1000u);
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"DE-MV", "neubrandenburg"}, {"LI", "liechtenstein"}, {"US-MI", "three-rivers"}};
    for (const auto& [code, identifier] : samples) {
        EXPECT_EQ(fs::file_size(root_ / "map" / code / (identifier + ".zip")),
                  fs::file_size(fs::path(KELVARA_PACKAGES_DIR) / (identifier + ".zip")));
        auto statistics = NSPropertyListSerialization::propertyListWithContentsOfFile(
            (root_ / "map" / (code + "_master_Stats.plist")).string());
        ASSERT_TRUE(statistics);
        const Value* info = statistics->get("maps")->get(identifier);
        ASSERT_TRUE(info) << code;
        EXPECT_GT(info->get("numPOI")->integerValue().value_or(0), 10) << identifier;
        EXPECT_TRUE(info->get("availableVersion")->dateValue());
        EXPECT_EQ(*info->get("coverSource")->stringValue(),
                  "mapCovers/" + code + "/" + identifier + ".jpg");
        auto cover = UIImage::imageWithContentsOfFile(
            (root_ / "mapCovers" / code / (identifier + ".jpg")).string());
        ASSERT_TRUE(cover) << identifier;
        EXPECT_EQ(cover->size().width, 240);
        EXPECT_EQ(cover->size().height, 320);
    }
    for (const char* language : {"en", "de"}) {
        auto notice = NSPropertyListSerialization::propertyListWithContentsOfFile(
            (root_ / "serverNotification" /
             (std::string("serverNotification.") + language + ".bin"))
                .string());
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->get("version")->integerValue(), 1);
        EXPECT_TRUE(notice->get("title")->stringValue());
        EXPECT_TRUE(fs::exists(root_ / *notice->get("link")->stringValue()));
    }
}

}  // namespace

#endif
