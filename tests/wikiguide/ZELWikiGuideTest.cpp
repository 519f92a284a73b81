#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "location/CBLocationManager.h"
#include "mapkit/MapkitTestSupport.h"
#include "wikiguide/ZELWikiGuide.h"
#include "wikiguide/ZELWikiGuideLoader.h"

namespace {

namespace fs = std::filesystem;

Value article(const std::string& title, std::optional<double> along = std::nullopt) {
    Value::Dictionary entry{{"title", Value(title)},
                            {"url", Value("https://de.wikipedia.org/wiki/" + title)},
                            {"image", Value("https://example.org/" + title + ".jpg")},
                            {"latitude", Value(53.56)},
                            {"longitude", Value(13.26)}};
    if (along)
        entry["distanceAlongWalk"] = Value(*along);
    return Value(entry);
}

Value segment(std::vector<double> numbers) {
    Value::Array members;
    for (double n : numbers)
        members.emplace_back(n);
    return Value(Value::Dictionary{{"coordinates", Value(members)}});
}

Value walk(Value::Array segments, std::optional<double> total, size_t stops) {
    Value::Dictionary path{{"title", Value("Tore")}, {"segments", Value(std::move(segments))}};
    if (total)
        path["totalDistance"] = Value(*total);
    Value::Array articles;
    for (size_t i = 0; i < stops; ++i)
        articles.push_back(article("Stop" + std::to_string(i), 100.0 * static_cast<double>(i)));
    return Value(Value::Dictionary{{"title", Value("Walk")},
                                   {"type", Value("walk")},
                                   {"articles", Value(articles)},
                                   {"path", Value(path)}});
}

std::shared_ptr<ZELWikiGuideGroup> groupFrom(const Value& dictionary) {
    return ZELJSONObject::createWithJson<ZELWikiGuideGroup>(&dictionary);
}

Value guideDictionary() {
    Value gates(Value::Dictionary{
        {"title", Value("Tore")},
        {"groupKey", Value("gates")},
        {"articles", Value(Value::Array{article("Stargarder_Tor"), article("Friedländer_Tor")})}});
    Value top(Value::Dictionary{{"title", Value("Top")},
                                {"type", Value("top")},
                                {"articles", Value(Value::Array{article("Marienkirche")})}});
    Value root(Value::Dictionary{
        {"title", Value("Neubrandenburg")},
        {"groups", Value(Value::Array{top, gates,
                                      walk({segment({53.55, 13.26, 53.56, 13.26})}, 1112.0, 2)})}});
    return Value(Value::Dictionary{{"rootGroup", root}});
}

class ZELWikiGuideFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("wikiguide-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "neubrandenburg_wikipedia").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string path_;
};

}  // namespace

TEST(ZELWikiGuideModelTest, TypesMapOnlyTheExactWords) {
    for (const auto& [word, type] : std::vector<std::pair<std::string, int>>{
             {"top", 1}, {"sight", 2}, {"walk", 100}, {"Walk", 0}, {"tour", 0}}) {
        Value dictionary(Value::Dictionary{{"type", Value(word)}});
        EXPECT_EQ(groupFrom(dictionary)->type(), type) << word;
    }
    EXPECT_EQ(groupFrom(Value(Value::Dictionary{}))->type(), 0);
}

TEST(ZELWikiGuideModelTest, WalkTimeAndStopDistances) {
    const auto group = groupFrom(walk({segment({53.55, 13.26, 53.56, 13.26})}, 3000.0, 4));
    EXPECT_DOUBLE_EQ(group->timeIntervalForWalk(), 7200.0);
    // A stop without a distance reads as -1 in its place.
    Value dictionary = walk({}, 1000.0, 0);
    dictionary.mutableDictionary()["articles"] =
        Value(Value::Array{article("A", 0.0), article("B"), article("C", 250.0)});
    EXPECT_EQ(groupFrom(dictionary)->distancesAlongWalk(), (std::vector<double>{0.0, -1.0, 250.0}));
    // Without a route there is no walk time, articles or not.
    Value plain(Value::Dictionary{{"articles", Value(Value::Array{article("A")})}});
    EXPECT_EQ(groupFrom(plain)->timeIntervalForWalk(), 0.0);
}

TEST(ZELWikiGuideModelTest, ArticlesKnowTheirGroupAndInvalidArticlesDropTheArray) {
    const auto group = groupFrom(walk({}, 10.0, 3));
    for (const auto& stop : group->articles())
        EXPECT_EQ(stop->group(), group);
    Value broken(Value::Dictionary{
        {"articles",
         Value(Value::Array{article("A"), Value(Value::Dictionary{{"title", Value("no url")}})})}});
    const auto parent = groupFrom(broken);
    ASSERT_TRUE(parent);
    EXPECT_TRUE(parent->articles().empty());
}

TEST(ZELWikiGuideModelTest, TreeWalksAndCounts) {
    const auto guide =
        ZELJSONObject::createWithJson<ZELWikiGuide>(&static_cast<const Value&>(guideDictionary()));
    ASSERT_TRUE(guide);
    EXPECT_EQ(guide->walksCount(), 1u);
    const auto root = guide->rootGroup();
    EXPECT_EQ(root->recursiveSubGroups().size(), 3u);
    const auto all = root->recursiveArticles();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0]->title(), "Marienkirche");
    EXPECT_EQ(all[1]->title(), "Stargarder_Tor");
}

// A guide file without "totalDistance" showed "0 m" and a walk time without
// its distance part, and a route of several segments got only the last one's
// length: the total now comes from every segment.
TEST(ZELWikiGuideModelTest, MissingTotalDistanceIsTheWholeRoute) {
    const auto group = groupFrom(
        walk({segment({53.55, 13.26, 53.56, 13.26}), segment({53.56, 13.26, 53.56, 13.28})},
             std::nullopt, 2));
    const auto path = group->path();
    const auto& cumulated = path->cumulatedDistances();
    ASSERT_EQ(cumulated.size(), 2u);
    const double expected = cumulated[0].back() + cumulated[1].back();
    EXPECT_GT(cumulated[0].back(), 1000.0);
    ASSERT_TRUE(path->totalDistance());
    EXPECT_NEAR(*path->totalDistance(), expected, 1e-6);
    EXPECT_NEAR(group->timeIntervalForWalk(), 2 * 900.0 + expected / 1000.0 * 1200.0, 1e-6);
}

// A segment with an odd count of numbers left set-up but unset (0, 0)
// coordinates in the drawn route: the route holds whole pairs only.
TEST(ZELWikiGuideModelTest, OddSegmentLeavesNoUnsetCoordinates) {
    const auto group =
        groupFrom(walk({segment({53.55, 13.26, 53.56, 13.26}), segment({48.1, 11.5, 48.2}),
                        segment({53.57, 13.27, 53.58, 13.28, 53.59, 13.29})},
                       500.0, 1));
    const auto path = group->path();
    EXPECT_EQ(path->pathSegmentLocations().size(), 2u);
    const auto route = path->coordinatePath();
    ASSERT_EQ(route->segmentCount(), 2u);
    EXPECT_EQ(route->numberOfCoordinatesAtSegment(0), 2u);
    EXPECT_EQ(route->numberOfCoordinatesAtSegment(1), 3u);
    for (size_t s = 0; s < route->segmentCount(); ++s)
        for (size_t i = 0; i < route->numberOfCoordinatesAtSegment(s); ++i)
            EXPECT_GT(route->coordinateAtIndexOfSegment(i, s).latitude, 50.0);
    EXPECT_DOUBLE_EQ(*path->totalDistance(), 500.0);
}

TEST(ZELWikiGuideModelTest, ImageNamesAndEncodedUrls) {
    const auto stop = groupFrom(walk({}, 1.0, 1))->articles().front();
    EXPECT_EQ(stop->imageFileName().size(), 64u);
    EXPECT_EQ(ZELWikiGuideItem::encodedUrlFromString("https://de.wikipedia.org/wiki/A_(B)")
                  ->absoluteString(),
              "https://de.wikipedia.org/wiki/A_(B)");
    EXPECT_EQ(ZELWikiGuideItem::encodedUrlFromString("https://de.wikipedia.org/wiki/Großer_See")
                  ->absoluteString(),
              "https://de.wikipedia.org/wiki/Gro%C3%9Fer_See");
    EXPECT_FALSE(ZELWikiGuideItem::encodedUrlFromString("https://x.org/a b"));
    EXPECT_FALSE(ZELWikiGuideItem::encodedUrlFromString(std::nullopt));
}

// Pairs that are no place on earth used to reach the drawn route and its
// box; an empty first segment left the walk with nothing to follow.
TEST(ZELWikiGuideModelTest, RoutePointsOffTheEarthAndEmptySegmentsAreLeftOut) {
    const auto group = groupFrom(walk({segment({}), segment({53.55, 13.26, NAN, 13.26, 95.0, 13.0,
                                                             53.56, INFINITY, 53.56, 13.27})},
                                      std::nullopt, 2));
    const auto path = group->path();
    ASSERT_EQ(path->pathSegmentLocations().size(), 2u);
    EXPECT_TRUE(path->pathSegmentLocations()[0].empty());
    EXPECT_EQ(path->pathSegmentLocations()[1].size(), 2u);
    const auto route = path->coordinatePath();
    ASSERT_EQ(route->segmentCount(), 1u);
    EXPECT_EQ(route->numberOfCoordinatesAtSegment(0), 2u);
    EXPECT_TRUE(std::isfinite(*path->totalDistance()));
    EXPECT_GT(*path->totalDistance(), 500.0);
}

// Stands in for the walk screen's analyzer: how far along the walk the
// walker is.
struct Walker : CBLocationManagerPathAnalyzer {
    std::optional<double> behind;
    void updateUserLocation(std::shared_ptr<CLLocation>) override {}
    std::optional<double> distanceBehind() const override { return behind; }
};

class ZELWikiGuideSubtitleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSSetApplicationHome(home_.path());
        NSUserDefaults::resetStandardUserDefaults();
        NSBundle::setMainBundlePath(sourceResourcesPath());
        NSUserDefaults::standardUserDefaults()->setBoolForKey(true, "km");
    }
    void TearDown() override {
        service_->setCurrentPathAnalyzer({});
        service_->setLocation(nullptr);
        NSBundle::setMainBundlePath("");
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
    }
    TemporaryFolder home_;
    std::shared_ptr<CBLocationManager> service_ = CBLocationManager::sharedInstance();
};

TEST_F(ZELWikiGuideSubtitleTest, AStopOfAFollowedWalkTellsItsNumberAndHowFarAlongItLies) {
    Value dictionary = walk({segment({53.55, 13.26, 53.56, 13.26})}, 1112.0, 0);
    dictionary.mutableDictionary()["articles"] = Value(
        Value::Array{article("A", 0.0), article("B", 400.0), article("C"), article("D", NAN)});
    const auto group = groupFrom(dictionary);
    const auto stops = group->articles();
    // Not followed: the distance from here, or nothing without a position.
    EXPECT_FALSE(stops[1]->subtitle());
    service_->setLocation(std::make_shared<CLLocation>(53.56, 13.26));
    const auto fromHere = stops[1]->subtitle();
    ASSERT_TRUE(fromHere);
    EXPECT_EQ(fromHere->find("Stop"), std::string::npos);

    auto walker = std::make_shared<Walker>();
    service_->setCurrentPathAnalyzer(walker);
    // Before the first fix on the route the walker is at its start.
    EXPECT_EQ(stops[1]->subtitle(), "Stop 2 · 400 m from you along the walk");
    walker->behind = 550.0;
    EXPECT_EQ(stops[1]->subtitle(), "Stop 2 · 150 m from you along the walk");
    EXPECT_EQ(stops[0]->subtitle(), "Stop 1 · 550 m from you along the walk");
    // Stops without a usable distance, and an article of no walk, keep the
    // distance from here.
    const auto stray = groupFrom(walk({}, 1.0, 1))->articles()[0];  // its group is gone
    for (const auto& other : {stops[2], stops[3], stray})
        EXPECT_EQ(other->subtitle()->find("Stop"), std::string::npos) << *other->title();
    // The service keeps the analyzer weakly.
    walker.reset();
    EXPECT_EQ(stops[1]->subtitle()->find("Stop"), std::string::npos);
}

TEST_F(ZELWikiGuideFileTest, RoundTripsAndNeedsTheRightIdentifier) {
    ASSERT_TRUE(ZELWikiGuideLoader::saveWikiGuideWithIdentifierToPath(guideDictionary(),
                                                                      "neubrandenburg", path_));
    const auto guide =
        ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath("neubrandenburg", path_);
    ASSERT_TRUE(guide);
    EXPECT_EQ(guide->rootGroup()->title(), "Neubrandenburg");
    EXPECT_EQ(guide->rootGroup()->recursiveArticles().size(), 5u);
    EXPECT_FALSE(ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath("berlin", path_));
    EXPECT_FALSE(ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(std::nullopt, path_));
    EXPECT_FALSE(ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(
        "neubrandenburg", (dir_ / "missing").string()));
    // The file is scrambled: no plain property list header.
    const auto bytes = dataWithContentsOfFile(path_);
    ASSERT_TRUE(bytes);
    EXPECT_NE(std::string(bytes->begin(), bytes->begin() + 6), "bplist");
    EXPECT_FALSE(ZELWikiGuideLoader::saveWikiGuideWithIdentifierToPath(guideDictionary(),
                                                                       std::nullopt, path_ + "x"));
    EXPECT_FALSE(fs::exists(path_ + "x"));
}

TEST_F(ZELWikiGuideFileTest, GarbageAndGuidesWithoutRootLoadAsNil) {
    ASSERT_TRUE(writeDataToFile(Value::Data(300, 0x5a), path_, true));
    EXPECT_FALSE(ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath("neubrandenburg", path_));
    ASSERT_TRUE(ZELWikiGuideLoader::saveWikiGuideWithIdentifierToPath(
        Value(Value::Dictionary{{"title", Value("x")}}), "neubrandenburg", path_));
    EXPECT_FALSE(ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath("neubrandenburg", path_));
}
