#include <gtest/gtest.h>

#include "CBGeoData/CLLocation+CBKelvaraAdditions.h"

namespace {

TEST(CBKelvaraLinksTest, TheThreeLinksOfAPlace) {
    const CLLocation markt(53.5575, 13.261);
    EXPECT_EQ(googleUrlForZoomlevel(markt, 15),
              "http://maps.google.com/?ll=53.557500,13.261000&z=15&q=53.557500,13.261000");
    EXPECT_EQ(kelvara2UrlForZoomlevelWithTitle(markt, 15, std::string("Markt")),
              "kelvara2://?ll=53.557500,13.261000&z=15&placemarker=1&placename=Markt");
    EXPECT_EQ(kelvara2HTTPUrlForZoomlevelWithTitle(markt, 14, std::string("Markt")),
              "https://www.openstreetmap.org/?mlat=53.557500&mlon=13.261000"
              "#map=14/53.557500/13.261000");
}

TEST(CBKelvaraLinksTest, TitlesAreQueryValuesAndTheWebLinkNeverCarriesThem) {
    // South and west of zero, and a title with the query's own characters.
    const CLLocation place(-33.8568, -151.2153);
    const std::string title = "Caf\xc3\xa9 & Bar = 100% #1?";
    const std::string own = kelvara2UrlForZoomlevelWithTitle(place, 3, title);
    EXPECT_EQ(own,
              "kelvara2://?ll=-33.856800,-151.215300&z=3&placemarker=1"
              "&placename=Caf%C3%A9%20%26%20Bar%20%3D%20100%25%20%231%3F");
    const std::string web = kelvara2HTTPUrlForZoomlevelWithTitle(place, 3, title);
    EXPECT_EQ(web, kelvara2HTTPUrlForZoomlevelWithTitle(place, 3, std::nullopt));
    EXPECT_EQ(web,
              "https://www.openstreetmap.org/?mlat=-33.856800&mlon=-151.215300"
              "#map=3/-33.856800/-151.215300");
}

}  // namespace
