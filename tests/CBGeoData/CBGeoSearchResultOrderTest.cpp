#include <gtest/gtest.h>

#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "Foundation/NSBundle.h"
#include "GeoEntityFixture.h"
#include "LogCapture.h"

namespace {

// Ordering and house-number matching of hits, on objects made in memory.
class SearchResultOrderTest : public GeoEntityTest {
  protected:
    void SetUp() override {
        GeoEntityTest::SetUp();
        NSBundle::setMainBundlePath(resourcesPath());
        manager_ = CBGeoDataManager::create();
    }
    void TearDown() override {
        manager_.reset();
        NSBundle::setMainBundlePath("");
        GeoEntityTest::TearDown();
    }

    std::shared_ptr<CBGeoObject> place(const std::string& name,
                                       const std::vector<std::string>& houseNumbers = {}) {
        auto object = CBGeoObject::objectInContext(context_);
        object->updateNameAndCanonicalNameForString(name);
        for (const std::string& number : houseNumbers) {
            auto address = CBGeoAddress::addressInContext(context_);
            address->setValueForKey("houseNumber", Value(number));
            object->addAddress(address);
        }
        return object;
    }

    CBGeoDataManager::SearchResults order(const std::string& text,
                                          const CBGeoDataManager::Objects& objects,
                                          bool addresses = true) {
        auto request =
            manager_->geoSearchRequestFromSearchText(manager_->canonicalStringFromString(text));
        auto results = manager_->arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(
            request, objects, addresses);
        return results.value_or(CBGeoDataManager::SearchResults{});
    }

    static std::vector<std::string> describe(const CBGeoDataManager::SearchResults& results) {
        std::vector<std::string> lines;
        for (const auto& result : results) {
            std::string line = result->object()->name().value_or("?");
            if (result->address())
                line += " " + result->address()->houseNumber().value_or("?");
            lines.push_back(line);
        }
        return lines;
    }

    std::shared_ptr<CBGeoDataManager> manager_;
};

TEST_F(SearchResultOrderTest, ExactHitsLeadThenAddressHitsThenTheRest) {
    auto mainStreet = place("Main Street", {"12", "12a", "112", "123", "No.12", "7"});
    auto mainSquare = place("Main Square", {"12B"});
    auto mainStation = place("Main");
    auto main2 = place("main");
    // Objects arrive in name order from the fetch.
    auto results = order("Main 12", {mainStation, main2, mainSquare, mainStreet});
    // "main 12" equals no canonical name: only the address step orders here.
    EXPECT_EQ(describe(results),
              (std::vector<std::string>{"Main Street No.12", "Main Street 12a", "Main Street 12",
                                        "Main Square 12B", "Main", "main"}));

    results = order("main", {mainStation, mainSquare, main2, mainStreet});
    // Exact hits in reverse order of arrival, then the others in name order.
    EXPECT_EQ(describe(results),
              (std::vector<std::string>{"main", "Main", "Main Square", "Main Street"}));
}

TEST_F(SearchResultOrderTest, AddressesOnlyWhenWanted) {
    auto street = place("Main Street", {"12"});
    EXPECT_EQ(describe(order("main 12", {street}, false)),
              (std::vector<std::string>{"Main Street"}));
    EXPECT_EQ(describe(order("main 13", {street})), (std::vector<std::string>{"Main Street"}));
}

TEST_F(SearchResultOrderTest, FullNameOrdersAsTheManagerDoes) {
    auto street = place("Main Street", {"12", "7"});
    auto main = place("main");
    auto square = place("Main Square");
    const CBGeoDataManager::Objects objects{main, square, street};
    auto request =
        manager_->geoSearchRequestFromSearchText(manager_->canonicalStringFromString("main 12"));
    for (bool addresses : {true, false}) {
        auto full =
            manager_->arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjectsIncludeAddresses(
                request, objects, addresses);
        ASSERT_TRUE(full);
        EXPECT_EQ(describe(*full), describe(order("main 12", objects, addresses)));
    }
    EXPECT_EQ(describe(order("main 12", objects)),
              (std::vector<std::string>{"Main Street 12", "main", "Main Square"}));
    // No request or no objects: no list at all.
    EXPECT_FALSE(
        manager_->arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjectsIncludeAddresses(
            nullptr, objects, true));
    EXPECT_FALSE(
        manager_->arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjectsIncludeAddresses(
            request, std::nullopt, true));
}

TEST_F(SearchResultOrderTest, HouseNumberTextIsMatchedLiterally) {
    // Pattern characters in what the user typed are literal text: "5(" finds
    // the number 5(b) instead of breaking the expression, and "1+" does not
    // find 11 (as the pattern 1+ would).
    auto street = place("Old Lane", {"5(b", "11", "1+"});
    LogCapture log;
    auto hits = describe(order("old 5(", {street}));
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits.front(), "Old Lane 5(b");
    EXPECT_FALSE(log.contains("U_REGEX"));
    auto plus = describe(order("old 1+", {street}));
    EXPECT_EQ(std::count(plus.begin(), plus.end(), "Old Lane 11"), 0);
}

TEST_F(SearchResultOrderTest, ResultValuesFollowTheAddress) {
    auto street = place("Main Street", {"12"});
    street->setValueForKey("latitude", Value(53.5));
    street->setValueForKey("longitude", Value(13.2));
    auto address = street->addresses().front();
    address->setValueForKey("latitude", Value(53.6));
    address->setValueForKey("longitude", Value(13.3));
    address->setValueForKey("street", Value("Main Street"));

    auto plain = CBGeoSearchResult::geoSearchResultWithObject(street);
    auto withAddress = CBGeoSearchResult::geoSearchResultWithObjectAndAddress(street, address);
    EXPECT_EQ(CBGeoSearchResult::geoSearchResultWithObject(nullptr), nullptr);
    EXPECT_DOUBLE_EQ(plain->coordinate().latitude, 53.5);
    EXPECT_DOUBLE_EQ(withAddress->coordinate().latitude, 53.6);
    EXPECT_EQ(plain->subtitle(), std::nullopt);
    EXPECT_TRUE(withAddress->subtitle());
    EXPECT_EQ(plain->title(), street->title());
    // The same address found twice is one annotation.
    auto again = CBGeoSearchResult::geoSearchResultWithObjectAndAddress(street, address);
    EXPECT_EQ(again->uniqueIdentifier(), withAddress->uniqueIdentifier());
    EXPECT_NE(plain->uniqueIdentifier(), withAddress->uniqueIdentifier());
}

}  // namespace
