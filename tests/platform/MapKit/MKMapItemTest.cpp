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

}  // namespace
