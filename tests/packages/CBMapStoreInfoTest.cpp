#include "Foundation/NSPropertyListSerialization.h"
#include "MapStoreTestSupport.h"
#include "packages/CBMapStoreInfoCountry.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreInfoStore.h"
#include "packages/CBMapStoreInfoWiki.h"

namespace {

Value::Dictionary mapInfo(int64_t pois) {
    return {{"numPOI", Value(pois)},
            {"numShop", Value(12)},
            {"fileSize", Value(1000)},
            {"availableVersion", Value(NSDate::dateWithTimeIntervalSinceReferenceDate(8e8))},
            {"wiki",
             Value(Value::Dictionary{{"de", Value(Value::Dictionary{{"numArticles", Value(40)}})},
                                     {"en", Value(Value::Dictionary{{"numArticles", Value(70)},
                                                                    {"numImages", Value(9)}})}})}};
}

class CBMapStoreInfoTest : public MapStoreHome {
  protected:
    void SetUp() override {
        MapStoreHome::SetUp();
        root_ = file("server");
        writeStatistics("DE-MV", 1800);
        engine_ = std::make_shared<CBMapStoreEngine>(writeSampleCatalogue(file("catalogue.sqlite")),
                                                     true);
        server_ = std::make_unique<StoreServer>(root_);
        CBMapStoreURLManager::setBaseURL(server_->url());
    }
    void writeStatistics(const std::string& code, int64_t pois) {
        std::filesystem::create_directories(root_ + "/map");
        Value plist(Value::Dictionary{
            {"maps", Value(Value::Dictionary{{"neubrandenburg", Value(mapInfo(pois))}})}});
        ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(
            plist, root_ + "/map/" + code + "_master_Stats.plist",
            NSPropertyListSerialization::Format::Binary));
    }
    // Asks for the map's record; the block's answer (or nothing) after the wait.
    std::shared_ptr<CBMapStoreInfoMap> ask(bool* called, std::shared_ptr<CBMapStoreInfoMap>* fresh,
                                           double wait = 5.0) {
        *called = false;
        auto stored = engine_->infoForMapIdentifierInCountryCodeAndFederalRegionCodeWithUpdateBlock(
            "neubrandenburg", "DE", std::string("DE-MV"), [=](const auto& info) {
                *called = true;
                *fresh = info;
            });
        runMainLoopUntil([=] { return *called; }, wait);
        return stored;
    }
    std::string root_;
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::unique_ptr<StoreServer> server_;
};

TEST_F(CBMapStoreInfoTest, RecordsReadTheirFields) {
    CBMapStoreInfoMap info(mapInfo(1800));
    EXPECT_EQ(info.numberOfPois(), 1800);
    EXPECT_EQ(info.numberOfShops(), 12);
    EXPECT_FALSE(info.numberOfPubs());
    EXPECT_EQ(info.availableVersion()->timeIntervalSinceReferenceDate(), 8e8);
    EXPECT_EQ(info.numberOfStars(), 2);
    EXPECT_EQ(info.wikiLanguages(), (std::vector<std::string>{"de", "en"}));
    EXPECT_EQ(info.wikiInfoForLanguage("en")->numberOfImages(), 9);
    EXPECT_FALSE(info.wikiInfoForLanguage("fr"));
    for (auto [pois, stars] : std::vector<std::pair<int, int>>{
             {500, 0}, {501, 1}, {1500, 1}, {1501, 2}, {2500, 2}, {2501, 3}})
        EXPECT_EQ(CBMapStoreInfoMap({{"numPOI", Value(pois)}}).numberOfStars(), stars) << pois;
}

TEST_F(CBMapStoreInfoTest, FetchesOnceThenAnswersFromTheStoreForAWeek) {
    bool called = false;
    std::shared_ptr<CBMapStoreInfoMap> fresh;
    EXPECT_FALSE(ask(&called, &fresh));
    ASSERT_TRUE(called);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->numberOfPois(), 1800);

    writeStatistics("DE-MV", 2600);
    auto stored = ask(&called, &fresh, 0.3);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->numberOfPois(), 1800);
    EXPECT_FALSE(called);  // fresh enough: no fetch

    // Older than 604800 s: the stored one answers at once, the fetch follows.
    auto old = engine_->infoStore()->storedInfoForCode("DE-MV");
    engine_->infoStore()->storeInfo(std::make_shared<CBMapStoreInfoCountry>(
        "DE-MV", old->statistics(), NSDate::dateWithTimeIntervalSinceNow(-604801)));
    stored = ask(&called, &fresh);
    EXPECT_EQ(stored->numberOfPois(), 1800);
    ASSERT_TRUE(called && fresh);
    EXPECT_EQ(fresh->numberOfPois(), 2600);
    EXPECT_EQ(fresh->numberOfStars(), 3);

    // Kept on disk for the next engine.
    CBMapStoreInfoStore again(engine_->infoStore()->folder());
    EXPECT_EQ(again.storedInfoForCode("DE-MV")
                  ->mapStoreInfoMapForIdentifier("neubrandenburg")
                  ->numberOfPois(),
              2600);
}

// The manual catalogue check offline: the statistics stay, and the waiting
// caller hears nil instead of waiting for ever.
TEST_F(CBMapStoreInfoTest, AnExpiredRecordSurvivesAFailedFetch) {
    bool called = false;
    std::shared_ptr<CBMapStoreInfoMap> fresh;
    ask(&called, &fresh);
    ASSERT_TRUE(fresh);
    server_->stop();
    engine_->expireStoredInfos();
    auto stored = ask(&called, &fresh);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->numberOfPois(), 1800);
    EXPECT_TRUE(called);
    EXPECT_FALSE(fresh);
    EXPECT_TRUE(engine_->infoStore()->storedInfoForCode("DE-MV"));
}

TEST_F(CBMapStoreInfoTest, MissingOrMalformedStatisticsCallBackWithNil) {
    bool called = false;
    std::shared_ptr<CBMapStoreInfoCountry> answer =
        std::make_shared<CBMapStoreInfoCountry>("x", Value::Dictionary{}, NSDate::date());
    EXPECT_FALSE(engine_->infoForCountryCodeAndFederalRegionCodeWithUpdateBlock(
        "LI", std::nullopt, [&](const auto& info) {
            called = true;
            answer = info;
        }));
    ASSERT_TRUE(runMainLoopUntil([&] { return called; }));
    EXPECT_FALSE(answer);

    std::ofstream(root_ + "/map/US_master_Stats.plist") << "<plist><dict><key>";
    called = false;
    engine_->infoForCountryCodeAndFederalRegionCodeWithUpdateBlock("US", std::nullopt,
                                                                   [&](const auto& info) {
                                                                       called = true;
                                                                       answer = info;
                                                                   });
    ASSERT_TRUE(runMainLoopUntil([&] { return called; }));
    EXPECT_FALSE(answer);
    EXPECT_FALSE(engine_->infoStore()->storedInfoForCode("US"));
    // A code that cannot be a path is never asked for.
    called = false;
    engine_->infoForCountryCodeAndFederalRegionCodeWithUpdateBlock(
        "../DE", std::nullopt, [&](const auto&) { called = true; });
    EXPECT_TRUE(runMainLoopUntil([&] { return called; }));
}

}  // namespace
