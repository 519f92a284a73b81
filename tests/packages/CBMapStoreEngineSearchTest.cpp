#include "MapStoreTestSupport.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreMap.h"

namespace {

class CBMapStoreEngineSearchTest : public MapStoreHome {
  protected:
    void SetUp() override {
        MapStoreHome::SetUp();
        engine_ = std::make_shared<CBMapStoreEngine>(writeSampleCatalogue(file("catalogue.sqlite")),
                                                     true);
        engine_->searchDelayShort = engine_->searchDelayLong = 0.01;
    }
    // Starts a search and waits for its answer; nullopt when none came.
    std::optional<std::vector<std::string>> search(
        const std::optional<std::string>& text,
        const std::vector<std::shared_ptr<CBMapStoreCountry>>& countries = {},
        const std::vector<std::shared_ptr<CBMapStoreFederalRegion>>& regions = {},
        bool* accepted = nullptr) {
        std::optional<std::vector<std::string>> found;
        bool ok = engine_->mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock(
            text, countries, regions, [&](const auto& maps) {
                found.emplace();
                for (const auto& map : maps)
                    found->push_back(map->identifier().value_or(""));
            });
        if (accepted)
            *accepted = ok;
        runMainLoopUntil([&] { return found.has_value(); }, ok ? 5.0 : 0.2);
        return found;
    }
    std::shared_ptr<CBMapStoreEngine> engine_;
};

TEST_F(CBMapStoreEngineSearchTest, ShortOrMissingTextIsRefusedWithoutAnswer) {
    bool accepted = true;
    EXPECT_FALSE(search(std::nullopt, {}, {}, &accepted));
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(search("  ne \t", {}, {}, &accepted));
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(search("", {}, {}, &accepted));
    EXPECT_FALSE(accepted);
}

TEST_F(CBMapStoreEngineSearchTest, WholeTermsFirstThenPriorityThenName) {
    // "Neu-Schellenberg" holds "neu" as a whole term; of the others
    // Neustrelitz has the higher priority.
    auto found = search("neu");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, (std::vector<std::string>{"liechtenstein", "neustrelitz", "neubrandenburg"}));
    // Places count, case and accents fold.
    EXPECT_EQ(*search("VADUZ"), std::vector<std::string>{"liechtenstein"});
    EXPECT_EQ(*search("furstentum"), std::vector<std::string>{"liechtenstein"});
    // "neuendorf" as a whole place puts Neubrandenburg first.
    EXPECT_EQ(*search("neuendorf"), std::vector<std::string>{"neubrandenburg"});
    EXPECT_EQ(*search("three riv"), std::vector<std::string>{"three-rivers"});
    EXPECT_TRUE(search("atlantis")->empty());
}

TEST_F(CBMapStoreEngineSearchTest, TheSameTextAgainIsNotSearchedAgain) {
    ASSERT_TRUE(search("stargard"));
    bool accepted = true;
    EXPECT_FALSE(search("stargard", {}, {}, &accepted));
    EXPECT_FALSE(accepted);
    engine_->cancelSearch();
    EXPECT_TRUE(search("stargard", {}, {}, &accepted));
    EXPECT_TRUE(accepted);

    // Pending: the second call for the same text is accepted and waits.
    engine_->searchDelayShort = engine_->searchDelayLong = 0.3;
    int answers = 0;
    auto count = [&](const auto&) { ++answers; };
    EXPECT_TRUE(engine_->mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock("schaan", {},
                                                                                     {}, count));
    EXPECT_TRUE(engine_->mapsMatchingInCountriesAndFederalRegionsWithCompletionBlock("schaan", {},
                                                                                     {}, count));
    runMainLoopUntil([&] { return answers > 0; }, 5.0);
    runMainLoopUntil([] { return false; }, 0.4);
    EXPECT_EQ(answers, 1);
}

TEST_F(CBMapStoreEngineSearchTest, RegionsNarrowBeforeCountries) {
    auto germany = engine_->countryForCountryCode("DE");
    auto liechtenstein = engine_->countryForCountryCode("LI");
    EXPECT_EQ(*search("neu", {liechtenstein}), std::vector<std::string>{"liechtenstein"});
    EXPECT_EQ(*search("neu", {germany}),
              (std::vector<std::string>{"neustrelitz", "neubrandenburg"}));
    // The same text in another scope is a new question.
    auto michigan = engine_->mapForIdentifier("three-rivers")->region();
    EXPECT_TRUE(search("neu", {germany}, {michigan})->empty());
    EXPECT_EQ(*search("rivers", {germany}, {michigan}), std::vector<std::string>{"three-rivers"});
}

}  // namespace
