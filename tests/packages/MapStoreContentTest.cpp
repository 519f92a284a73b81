#include <cmath>

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

// A picture pixel's alpha at a place, the picture's frame given in degrees.
uint32_t alphaAt(const UIImage& picture, double west, double north, double east, double south,
                 double longitude, double latitude) {
    const auto& image = *picture.CGImage();
    const double aspect = std::cos((north + south) / 2 * M_PI / 180);
    const double width = (east - west) * aspect, height = north - south;
    const double room = double(image.width()) - 2 * 1.5 * picture.scale();
    const double unit = room / std::max(width, height);
    const double left = (double(image.width()) - width * unit) / 2;
    const double top = (double(image.height()) - height * unit) / 2;
    const auto x = size_t(left + (longitude - west) * aspect * unit);
    const auto y = size_t(top + (north - latitude) * unit);
    return image.pixelAt(x, y) >> 24;
}

TEST_F(MapStoreContentTest, EveryGroupHasItsPictureDrawnNorthUp) {
    auto groups = std::make_shared<CBMapStoreEngine>()->sortedGroups();
    ASSERT_TRUE(groups);
    for (const auto& group : *groups) {
        auto picture = UIImage::imageNamed("continents/cont_" + group->groupCode().value_or(""));
        ASSERT_NE(picture, nullptr) << group->groupCode().value_or("");
        EXPECT_EQ(picture->size().width, 32);
        EXPECT_EQ(picture->size().height, 32);
    }
    auto europe = UIImage::imageNamed("continents/cont_europe");
    ASSERT_NE(europe, nullptr);
    // Prague is land, the Bay of Biscay water.
    EXPECT_EQ(alphaAt(*europe, -11, 71.5, 42, 34, 14.4, 50.1), 255u);
    EXPECT_EQ(alphaAt(*europe, -11, 71.5, 42, 34, -6, 45.5), 0u);
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
