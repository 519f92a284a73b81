#include <gtest/gtest.h>

#include "Foundation/NSBundle.h"
#include "PackagesTestSupport.h"
#include "store/CBMapMissingRequest.h"

namespace {

class CBMapMissingRequestTest : public ::testing::Test {
  protected:
    void SetUp() override { NSBundle::setMainBundlePath(sourceResourcesPath()); }
    void TearDown() override { NSBundle::setMainBundlePath(""); }
};

TEST_F(CBMapMissingRequestTest, OnlyASearchTextGivesTheBlockWithTheSearchLine) {
    CBMapMissingRequest request;
    request.searchTerm = "Atlantis";
    auto html = request.htmlDescription();
    EXPECT_EQ(html.rfind("<p>&nbsp;</p><div style='", 0), 0u);
    EXPECT_NE(html.find("<strong>Please do not edit below this line</strong><br />"
                        "Request for a missing map<br />"
                        "<strong>Search</strong>: 'Atlantis' <br /></div>"),
              std::string::npos)
        << html;
    EXPECT_EQ(html.find("Country"), std::string::npos);
}

TEST_F(CBMapMissingRequestTest, ABoxGivesItsCornersAndALinkToItsCentre) {
    CBMapMissingRequest request;
    request.bbox = CBBoundingBox({52.7, 13.8}, {52.3, 13.1});
    auto html = request.htmlDescription();
    EXPECT_NE(html.find("NE [[coordinate 52.7000, 13.8000]] - SW [[coordinate 52.3000, 13.1000]]"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("&amp;mlat=52.500000&amp;mlon=13.450000'>View in OSM</a>"),
              std::string::npos)
        << html;
}

TEST_F(CBMapMissingRequestTest, ACountryNameWithoutCodeStillPrintsTheLine) {
    CBMapMissingRequest request;
    request.countryName = "Germany";
    EXPECT_NE(request.htmlDescription().find("<strong>Country</strong>: (null), Germany <br />"),
              std::string::npos);
}

// Search texts and catalogue names reach the HTML escaped, so they cannot
// add markup or break out of an attribute.
TEST_F(CBMapMissingRequestTest, EveryValueIsEscaped) {
    CBMapMissingRequest request;
    request.searchTerm = "<script>alert('x')</script> & \"co\"";
    request.group = "A<b>";
    request.countryCode = "X'";
    request.countryName = "N&M";
    request.regionCode = "\"R";
    request.regionName = "<i>";
    auto html = request.htmlDescription();
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("'&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;co&quot;'"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<strong>Group</strong>: A&lt;b&gt; <br />"), std::string::npos);
    EXPECT_NE(html.find("<strong>Country</strong>: X&#39;, N&amp;M <br />"), std::string::npos);
    EXPECT_NE(html.find("<strong>Region</strong>: &quot;R, &lt;i&gt; <br />"), std::string::npos);
}

}  // namespace
