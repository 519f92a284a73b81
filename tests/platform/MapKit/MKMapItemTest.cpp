#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MapKit/MKMapItem.h"

namespace {

class MKMapItemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MKMapItem::setLauncher([this](const std::string& uri) {
            opened.push_back(uri);
            return answer;
        });
    }
    void TearDown() override { MKMapItem::setLauncher(nullptr); }
    std::vector<std::string> opened;
    bool answer = true;
};

TEST_F(MKMapItemTest, OpensAGeoURIWithTheNameAsOneQueryValue) {
    MKMapItem item{MKPlacemark(CLLocationCoordinate2DMake(53.5577, 13.261))};
    EXPECT_EQ(item.geoURI(), "geo:53.557700,13.261000");
    item.setName("Café & Bar (Markt)");
    EXPECT_TRUE(item.openInMapsWithLaunchOptions());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0],
              "geo:53.557700,13.261000?q=53.557700,13.261000(Caf%C3%A9%20%26%20Bar%20%28Markt%29)");
}

TEST_F(MKMapItemTest, AFailedLaunchIsReported) {
    answer = false;
    MKMapItem item{MKPlacemark(CLLocationCoordinate2DMake(-33.5, 151.25))};
    EXPECT_FALSE(item.openInMapsWithLaunchOptions());
    EXPECT_EQ(opened, std::vector<std::string>{"geo:-33.500000,151.250000"});
    EXPECT_FALSE(item.placemark().addressDictionary());
}

TEST(MKPlacemarkTest, ReadsLocalityStreetAndPostalCodeFromTheAddressDictionary) {
    const CLLocationCoordinate2D markt{53.5577, 13.261};
    MKPlacemark full(markt, Value::Dictionary{{"City", Value("Neubrandenburg")},
                                              {"Street", Value("Marktplatz 1")},
                                              {"Thoroughfare", Value("Marktplatz")},
                                              {"ZIP", Value("17033")}});
    EXPECT_EQ(full.locality(), "Neubrandenburg");
    EXPECT_EQ(full.thoroughfare(), "Marktplatz") << "the street's name before the street line";
    EXPECT_EQ(full.postalCode(), "17033");

    // An address record with only a street line; empty and non-text values
    // are unknown.
    MKPlacemark line(
        markt, Value::Dictionary{
                   {"Street", Value("Marktplatz 1")}, {"City", Value("")}, {"ZIP", Value(17033)}});
    EXPECT_EQ(line.thoroughfare(), "Marktplatz 1");
    EXPECT_FALSE(line.locality());
    EXPECT_FALSE(line.postalCode());

    MKPlacemark bare(markt);
    EXPECT_FALSE(bare.locality());
    EXPECT_FALSE(bare.thoroughfare());
    EXPECT_FALSE(bare.postalCode());
}

}  // namespace
