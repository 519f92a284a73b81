#include <gtest/gtest.h>

#include "Foundation/NSBundle.h"
#include "app/CBKelvaraLink.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

// The reasons are the application's own texts.
class CBKelvaraLinkTest : public ::testing::Test {
  protected:
    void SetUp() override { NSBundle::setMainBundlePath(sourceResourcesPath()); }
    void TearDown() override { NSBundle::setMainBundlePath(""); }
};

std::string errorOf(const std::string& url) {
    std::string error;
    EXPECT_FALSE(CBKelvaraLink::parse(url, &error)) << url;
    return error;
}

TEST(CBKelvaraLink, ReadsTheLongAndTheShortKeys) {
    auto link = CBKelvaraLink::parse(
        "kelvara2://?ll=53.5575,13.2610&z=15&placemarker=1&placename=Markt", nullptr);
    ASSERT_TRUE(link);
    EXPECT_DOUBLE_EQ(link->coordinate.latitude, 53.5575);
    EXPECT_DOUBLE_EQ(link->coordinate.longitude, 13.2610);
    EXPECT_EQ(link->zoomLevel, 15);
    EXPECT_TRUE(link->placemarker);
    EXPECT_EQ(link->placeName, "Markt");

    auto shortLink = CBKelvaraLink::parse("kelvara2://?m=53.5,13.2&n=Gro%C3%9Fer+Markt", nullptr);
    ASSERT_TRUE(shortLink);
    EXPECT_DOUBLE_EQ(shortLink->coordinate.latitude, 53.5);
    EXPECT_FALSE(shortLink->zoomLevel);
    EXPECT_EQ(shortLink->placeName, "Gro\u00DFer Markt");
    // A name asks for a pin unless the link says otherwise.
    EXPECT_TRUE(shortLink->placemarker);

    auto noPin = CBKelvaraLink::parse("kelvara2://?ll=1,2&z=3&placemarker=0&placename=", nullptr);
    ASSERT_TRUE(noPin);
    EXPECT_FALSE(noPin->placemarker);
    EXPECT_FALSE(noPin->placeName);
}

// URL schemes know no letter case: a link the desktop hands over as
// "KELVARA2://" is the application's and is read like any other.
TEST_F(CBKelvaraLinkTest, TheSchemeIsReadInAnyLetterCase) {
    for (const std::string scheme : {"kelvara2:", "KELVARA2:", "Kelvara2:", "kElVaRa2:"}) {
        const std::string url = scheme + "//?ll=53.5575,13.2610&z=15";
        EXPECT_TRUE(CBKelvaraLink::isKelvaraLink(url)) << url;
        const auto link = CBKelvaraLink::parse(url, nullptr);
        ASSERT_TRUE(link) << url;
        EXPECT_DOUBLE_EQ(link->coordinate.latitude, 53.5575);
        EXPECT_EQ(link->zoomLevel, 15);
    }
    // What is claimed as the application's is judged on what it says, never
    // refused as another scheme.
    std::string error;
    EXPECT_FALSE(CBKelvaraLink::parse("KELVARA2://?ll=north", &error));
    EXPECT_NE(error, "This is not a kelvara2 link.");
    for (const std::string other : {"kelvara3://?ll=1,2", "kelvara://?ll=1,2",
                                    "xkelvara2://?ll=1,2", " kelvara2://?ll=1,2", "KELVARA2"}) {
        EXPECT_FALSE(CBKelvaraLink::isKelvaraLink(other)) << other;
        EXPECT_EQ(errorOf(other), "This is not a kelvara2 link.");
    }
}

TEST_F(CBKelvaraLinkTest, RefusesBrokenLinksWithAReadableReason) {
    EXPECT_EQ(errorOf("http://?ll=1,2"), "This is not a kelvara2 link.");
    EXPECT_EQ(errorOf("kelvara2://"), "The link names no place (it has no \"ll\").");
    EXPECT_EQ(errorOf("kelvara2://?z=3"), "The link names no place (it has no \"ll\").");
    EXPECT_EQ(errorOf("kelvara2://?ll=abc,13"),
              "The link's position \"abc,13\" is not LATITUDE,LONGITUDE.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53.5"),
              "The link's position \"53.5\" is not LATITUDE,LONGITUDE.");
    EXPECT_EQ(errorOf("kelvara2://?ll=91,13"),
              "The link's position \"91,13\" is not on the globe.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,181"),
              "The link's position \"53,181\" is not on the globe.");
    EXPECT_EQ(errorOf("kelvara2://?ll=nan,13"),
              "The link's position \"nan,13\" is not LATITUDE,LONGITUDE.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&z=x"),
              "The link's zoom level \"x\" is not a whole number.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&z=15.5"),
              "The link's zoom level \"15.5\" is not a whole number.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&z=99"), "The link's zoom level 99 is out of range.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&placemarker=yes"),
              "The link's placemarker \"yes\" is not 0 or 1.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&placename=a%0Ab"),
              "The link's place name holds control characters.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&placename=%ZZ"),
              "The link's place name is not valid text.");
    // Bytes that are no UTF-8: a lone continuation byte, a cut sequence.
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&placename=%80abc"),
              "The link's place name is not valid text.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&placename=Caf%C3"),
              "The link's place name is not valid text.");
    EXPECT_EQ(errorOf("kelvara2://?ll=53,13&placename=" + std::string(10000, 'x')),
              "The link's place name is longer than 255 characters.");
    // 255 characters of two bytes each still fit.
    std::string umlauts;
    for (int i = 0; i < 255; ++i)
        umlauts += "%C3%A4";
    EXPECT_TRUE(CBKelvaraLink::parse("kelvara2://?ll=53,13&placename=" + umlauts, nullptr));
}

}  // namespace
