#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>

#include "Dispatch/NSRunLoop.h"
#include "MapKit/MKGazetteer.h"
#include "MapKit/MKLocalSearch.h"

namespace {

class MKLocalSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "gazetteer-" + std::to_string(getpid()) + ".tsv";
        std::ofstream(path_) << "# name, latitude, longitude, radius\n"
                                "Liechtenstein\t47.14\t9.55\t12000\n"
                                "Malbun\t47.1027934\t9.6083946\t500\n"
                                "Groß Nemerow\t53.47\t13.22\t1500\n"
                                "Neubrandenburg\t53.557\t13.261\t5000\n"
                                "Alt-Meiershof\t53.499\t13.182\t500\n"
                                "Datzeberg\t53.55\t13.28\t1000\tNeubrandenburg\t\t17034\n"
                                "Rathaus Vaduz\t47.139\t9.522\t200\tVaduz\tStädtle\t9490\t"
                                "+423 236 60 80\thttps://www.vaduz.li/\n"
                                "Bad web address\t47.1\t9.5\t100\t\t\t\t\tnot a url\n"
                                "Too many fields\t47.1\t9.5\t100\ta\tb\tc\td\te\tf\n"
                                "Broken line without enough fields\n"
                                "Nowhere\tninety\t9.5\t100\n"
                                "Off the earth\t95\t9.5\t100\n";
        MKGazetteer::setSharedPath(path_);
    }
    void TearDown() override {
        MKGazetteer::setSharedPath(std::nullopt);
        std::remove(path_.c_str());
    }
    // Runs a search to its answer.
    std::pair<std::optional<MKLocalSearchResponse>, std::optional<NSError>> search(
        const std::string& query) {
        auto search = std::make_shared<MKLocalSearch>(MKLocalSearchRequest{query});
        bool answered = false;
        std::pair<std::optional<MKLocalSearchResponse>, std::optional<NSError>> result;
        search->startWithCompletionHandler([&](const auto& response, const auto& error) {
            answered = true;
            result = {response, error};
        });
        EXPECT_TRUE(search->isSearching());
        EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return answered; }, 5));
        EXPECT_FALSE(search->isSearching());
        return result;
    }
    std::string path_;
};

}  // namespace

TEST_F(MKLocalSearchTest, FindsAPlaceByAnyCaseAndAccentsWithItsCircularRegion) {
    auto [response, error] = search("  malbun ");
    ASSERT_TRUE(response) << (error ? error->localizedDescription() : "");
    ASSERT_EQ(response->mapItems.size(), 1u);
    const auto& item = response->mapItems[0];
    EXPECT_EQ(item.name(), "Malbun");
    ASSERT_TRUE(item.placemark().region());
    EXPECT_DOUBLE_EQ(item.placemark().region()->center().latitude, 47.1027934);
    EXPECT_DOUBLE_EQ(item.placemark().region()->radius(), 500);
    EXPECT_TRUE(item.placemark().region()->containsCoordinate({47.1028, 9.6084}));
    EXPECT_FALSE(item.placemark().region()->containsCoordinate({47.14, 9.55}));

    std::tie(response, error) = search("GROß NEMEROW");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->mapItems[0].name(), "Groß Nemerow");
}

TEST_F(MKLocalSearchTest, WholeNamesComeBeforePrefixesWordsAndInnerMatches) {
    const auto gazetteer = MKGazetteer::shared(nullptr);
    ASSERT_TRUE(gazetteer);
    EXPECT_EQ(gazetteer->places().size(), 8u) << "the bad lines are skipped";
    std::vector<std::string> names;
    for (const auto& place : gazetteer->placesMatching("me", 10))
        names.push_back(place.name);
    // "Meiershof" starts a word of Alt-Meiershof; "Nemerow" only holds "me".
    EXPECT_EQ(names, (std::vector<std::string>{"Alt-Meiershof", "Groß Nemerow"}));
    names.clear();
    for (const auto& place : gazetteer->placesMatching("n", 10))
        names.push_back(place.name);
    // Prefix, word start, then inner matches, the larger place first.
    EXPECT_EQ(names, (std::vector<std::string>{"Neubrandenburg", "Groß Nemerow", "Liechtenstein",
                                               "Malbun"}));
    EXPECT_EQ(gazetteer->placesMatching("n", 1).size(), 1u);
}

TEST_F(MKLocalSearchTest, MapItemsCarryTheAddressPhoneAndWebAddressTheListKnows) {
    auto [response, error] = search("Rathaus Vaduz");
    ASSERT_TRUE(response);
    const auto& town = response->mapItems.at(0);
    EXPECT_EQ(town.placemark().locality(), "Vaduz");
    EXPECT_EQ(town.placemark().thoroughfare(), "Städtle");
    EXPECT_EQ(town.placemark().postalCode(), "9490");
    EXPECT_EQ(town.phoneNumber(), "+423 236 60 80");
    ASSERT_TRUE(town.url());
    EXPECT_EQ(town.url()->absoluteString(), "https://www.vaduz.li/");

    // Empty fields are unknown; a place known by name and point only has no
    // address at all.
    std::tie(response, error) = search("Datzeberg");
    ASSERT_TRUE(response);
    const auto& suburb = response->mapItems.at(0);
    EXPECT_EQ(suburb.placemark().locality(), "Neubrandenburg");
    EXPECT_EQ(suburb.placemark().postalCode(), "17034");
    EXPECT_FALSE(suburb.placemark().thoroughfare());
    EXPECT_FALSE(suburb.phoneNumber());
    EXPECT_FALSE(suburb.url());
    std::tie(response, error) = search("Malbun");
    ASSERT_TRUE(response);
    EXPECT_FALSE(response->mapItems.at(0).placemark().addressDictionary());

    // A web address that is not a URL is dropped, the place kept.
    std::tie(response, error) = search("Bad web address");
    ASSERT_TRUE(response);
    EXPECT_FALSE(response->mapItems.at(0).url());
}

TEST_F(MKLocalSearchTest, NoMatchNoQueryAndNoPlaceListAreErrors) {
    auto [response, error] = search("Atlantis");
    EXPECT_FALSE(response);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, MKErrorDomain);
    EXPECT_EQ(error->code, MKErrorPlacemarkNotFound);
    std::tie(response, error) = search("   ");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, MKErrorPlacemarkNotFound);

    MKGazetteer::setSharedPath(path_ + ".missing");
    std::tie(response, error) = search("Malbun");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, MKErrorServerFailure);
}

TEST_F(MKLocalSearchTest, ACancelledSearchNeverAnswers) {
    auto search = std::make_shared<MKLocalSearch>(MKLocalSearchRequest{"Malbun"});
    bool answered = false;
    search->startWithCompletionHandler([&](const auto&, const auto&) { answered = true; });
    search->cancel();
    NSRunLoop::mainRunLoop()->runUntil([&] { return !search->isSearching(); }, 5);
    NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.1);
    EXPECT_FALSE(answered);
}
