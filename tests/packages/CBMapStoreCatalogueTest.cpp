#include <fstream>

#include "MapStoreTestSupport.h"
#include "packages/CBMapStoreCatalogue.h"
#include "packages/CBMapStoreMap.h"

namespace {

class CBMapStoreCatalogueTest : public MapStoreHome {};

class RecordingDelegate : public CBMapStoreEngineDelegate {
  public:
    void mapStoreWillUpdate() override { events.push_back("will"); }
    void mapStoreUpdated() override { events.push_back("updated"); }
    std::vector<std::string> events;
};

bool validates(const std::string& path, std::string* reason = nullptr) {
    return CBMapStoreCatalogue::validateCatalogueAtPath(path, CBMapStoreEngine::mapStoreModel(),
                                                        reason);
}

TEST_F(CBMapStoreCatalogueTest, RefusesIdentifiersAndCodesThatCannotBePaths) {
    EXPECT_TRUE(validates(writeSampleCatalogue(file("good.sqlite"))));
    const std::vector<std::string> bad = {"../evil",    "a/b", "",
                                          "with space", "ü",   std::string(65, 'x')};
    for (const std::string& identifier : bad) {
        auto catalogue = sampleCatalogue();
        catalogue.maps[1].identifier = identifier;
        std::string reason;
        EXPECT_FALSE(validates(writeSampleCatalogue(file("bad.sqlite"), catalogue), &reason))
            << identifier;
        EXPECT_NE(reason.find("identifier"), std::string::npos) << reason;
    }
    auto catalogue = sampleCatalogue();
    catalogue.regions[0].code = "DE/MV";
    catalogue.maps[0].regionCode = "DE/MV";
    catalogue.maps[1].regionCode = "DE/MV";
    EXPECT_FALSE(validates(writeSampleCatalogue(file("bad.sqlite"), catalogue)));
    EXPECT_TRUE(validates(writeSampleCatalogue(file("edge.sqlite"), [] {
        auto edge = sampleCatalogue();
        edge.maps[0].identifier = std::string(64, 'A');
        return edge;
    }())));
}

TEST_F(CBMapStoreCatalogueTest, RefusesDuplicatesBoxesAndWhatIsNoCatalogue) {
    auto duplicate = sampleCatalogue();
    duplicate.maps[1].identifier = duplicate.maps[0].identifier;
    EXPECT_FALSE(validates(writeSampleCatalogue(file("duplicate.sqlite"), duplicate)));
    auto crossed = sampleCatalogue();
    std::swap(crossed.maps[0].box.north, crossed.maps[0].box.south);
    EXPECT_FALSE(validates(writeSampleCatalogue(file("crossed.sqlite"), crossed)));
    auto empty = sampleCatalogue();
    empty.maps.clear();
    EXPECT_FALSE(validates(writeSampleCatalogue(file("empty.sqlite"), empty)));
    std::ofstream(file("garbage.sqlite")) << "not a database at all";
    EXPECT_FALSE(validates(file("garbage.sqlite")));
    EXPECT_FALSE(validates(file("missing.sqlite")));
}

TEST_F(CBMapStoreCatalogueTest, AnUpdateIsValidatedBeforeItReplacesTheCatalogue) {
    auto engine =
        std::make_shared<CBMapStoreEngine>(writeSampleCatalogue(file("old.sqlite")), true);
    auto delegate = std::make_shared<RecordingDelegate>();
    engine->setDelegate(delegate);
    ASSERT_TRUE(engine->mapForIdentifier("neustrelitz"));

    auto broken = sampleCatalogue();
    broken.maps[0].identifier = "../../etc";
    writeSampleCatalogue(file("staged-bad.sqlite"), broken);
    std::string reason;
    EXPECT_FALSE(engine->installCatalogueFromPath(file("staged-bad.sqlite"), &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_FALSE(std::filesystem::exists(CBMapStoreEngine::downloadedCataloguePath()));
    EXPECT_TRUE(engine->mapForIdentifier("neustrelitz"));

    auto newer = sampleCatalogue();
    newer.maps.erase(newer.maps.begin() + 1);
    newer.maps[0].name = "Neubrandenburg (new)";
    newer.maps[0].titles.clear();
    writeSampleCatalogue(file("staged.sqlite"), newer);
    EXPECT_TRUE(engine->installCatalogueFromPath(file("staged.sqlite")));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"will", "updated"}));
    EXPECT_FALSE(std::filesystem::exists(file("staged.sqlite")));
    EXPECT_EQ(engine->storePath(), CBMapStoreEngine::downloadedCataloguePath());
    EXPECT_FALSE(engine->mapForIdentifier("neustrelitz"));
    EXPECT_EQ(engine->mapForIdentifier("neubrandenburg")->localName(), "Neubrandenburg (new)");
    // A new engine prefers the downloaded catalogue once it validates.
    EXPECT_EQ(CBMapStoreEngine::currentCataloguePath(),
              CBMapStoreEngine::downloadedCataloguePath());
}

TEST_F(CBMapStoreCatalogueTest, ABrokenDownloadedCatalogueFallsBackToTheBundledOne) {
    std::filesystem::create_directories(
        std::filesystem::path(CBMapStoreEngine::downloadedCataloguePath()).parent_path());
    std::ofstream(CBMapStoreEngine::downloadedCataloguePath()) << "truncated";
    EXPECT_EQ(CBMapStoreEngine::currentCataloguePath(), CBMapStoreEngine::bundledCataloguePath());
}

}  // namespace
