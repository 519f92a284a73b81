#include <gtest/gtest.h>

#include <string>

#include "Foundation/NSBundle.h"
#include "mapkit/MapkitTestSupport.h"
#include "model/CBWikipediaOfflineLinks.h"
#include "wikipedia/CBWikipediaArticlePage.h"

namespace {

constexpr const char* kTemplate =
    "<title>$TITLE</title><base data-bundle=\"$MAIN_BUNDLE_PATH\" data-width=\"$WIDTH\">"
    "<h1>$TITLE</h1>$CONTENT<a href=\"$SOURCE_URL\">source</a>";

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

std::string page(const CBWikipediaArticlePage::Article& article,
                 const CBWikipediaOfflineLinks* links = nullptr) {
    return CBWikipediaArticlePage::pageForArticle(kTemplate, article, 320, "/app/bundle", links);
}

TEST(CBWikipediaArticlePageTest, EachPlaceholderIsFilledOnceWithEscapedTitleAndAddress) {
    const auto filled = page({"https://de.wikipedia.org/wiki/A\"B", "Tor <b> $CONTENT & $WIDTH",
                              bytes("<p>Body with $TITLE and $SOURCE_URL</p>")});
    EXPECT_EQ(filled,
              "<title>Tor &lt;b&gt; $CONTENT &amp; $WIDTH</title>"
              "<base data-bundle=\"/app/bundle\" data-width=\"320.0\">"
              "<h1>Tor &lt;b&gt; $CONTENT &amp; $WIDTH</h1>"
              "<p>Body with $TITLE and $SOURCE_URL</p>"
              "<a href=\"https://de.wikipedia.org/wiki/A&quot;B\">source</a>");
}

TEST(CBWikipediaArticlePageTest, AMissingOrBrokenBodyStillGivesThePageWithItsTitle) {
    EXPECT_EQ(page({"u", "Lieps (See)", std::nullopt}),
              "<title>Lieps (See)</title><base data-bundle=\"/app/bundle\" data-width=\"320.0\">"
              "<h1>Lieps (See)</h1><a href=\"u\">source</a>");
    // Latin-1 bytes, a cut sequence at the end, a title that is no UTF-8.
    const auto repaired = page({"u", "Friedl\xe4nder Tor", bytes("<p>Friedl\xe4nder</p>\xc3")});
    EXPECT_NE(repaired.find("<h1>Friedl\xef\xbf\xbdnder Tor</h1>"), std::string::npos);
    EXPECT_NE(repaired.find("<p>Friedl\xef\xbf\xbdnder</p>\xef\xbf\xbd<a"), std::string::npos);
}

TEST(CBWikipediaArticlePageTest, SourceSetsAreLeftToThePlainSource) {
    const auto filled = page({"u", "t", bytes("<img src=\"a.png\" srcset=\"b.png 2x\">")});
    EXPECT_NE(filled.find("<img src=\"a.png\" srcset-unsupported=\"b.png 2x\">"),
              std::string::npos);
}

TEST(CBWikipediaArticlePageTest, LinksToStoredArticlesAreMarkedInBothSpellingsOnce) {
    const CBWikipediaOfflineLinks links({"https://de.wikipedia.org/wiki/Friedl%C3%A4nder_Tor",
                                         "https://de.wikipedia.org/wiki/Lieps_(See)",
                                         "https://de.wikipedia.org/wiki/Broken_%ZZ"});
    const std::string body =
        "<a href=\"https://de.wikipedia.org/wiki/Friedl%C3%A4nder_Tor\">escaped</a>"
        "<a href=\"https://de.wikipedia.org/wiki/Friedl\xc3\xa4nder_Tor\">typed</a>"
        "<a class=\"x\" href=\"https://de.wikipedia.org/wiki/Lieps_(See)\" title=\"t\">plain</a>"
        "<a href=\"https://de.wikipedia.org/wiki/Tollensesee\">elsewhere</a>"
        "<a href=\"https://de.wikipedia.org/wiki/Broken_%ZZ\">broken</a>"
        "<a href='https://de.wikipedia.org/wiki/Lieps_(See)'>single quotes</a>"
        "<a href=\"https://de.wikipedia.org/wiki/Lieps_(See)";
    EXPECT_EQ(links.markedBody(body),
              "<a href=\"https://de.wikipedia.org/wiki/Friedl%C3%A4nder_Tor\" "
              "data-offline=\"true\">escaped</a>"
              "<a href=\"https://de.wikipedia.org/wiki/Friedl\xc3\xa4nder_Tor\" "
              "data-offline=\"true\">typed</a>"
              "<a class=\"x\" href=\"https://de.wikipedia.org/wiki/Lieps_(See)\" "
              "data-offline=\"true\" title=\"t\">plain</a>"
              "<a href=\"https://de.wikipedia.org/wiki/Tollensesee\">elsewhere</a>"
              "<a href=\"https://de.wikipedia.org/wiki/Broken_%ZZ\" "
              "data-offline=\"true\">broken</a>"
              "<a href='https://de.wikipedia.org/wiki/Lieps_(See)'>single quotes</a>"
              "<a href=\"https://de.wikipedia.org/wiki/Lieps_(See)");
    // The page marks its body; the template's own source link is not part of it.
    const auto filled = page({"https://de.wikipedia.org/wiki/Lieps_(See)", "Lieps",
                              bytes("<a href=\"https://de.wikipedia.org/wiki/Lieps_(See)\">x</a>")},
                             &links);
    EXPECT_NE(filled.find("(See)\" data-offline=\"true\">x</a>"), std::string::npos);
    EXPECT_NE(filled.find("(See)\">source</a>"), std::string::npos);
}

TEST(CBWikipediaArticlePageTest, TheBundleTemplateHoldsEveryPlaceholderAndItsOwnStyle) {
    // The page has no outside style sheet (the web view reads only the
    // images folder) and styles offline links.
    NSBundle::setMainBundlePath(sourceResourcesPath());
    const std::string tpl = CBWikipediaArticlePage::pageTemplate();
    NSBundle::setMainBundlePath("");
    for (const char* placeholder : {"$WIDTH", "$SOURCE_URL", "$TITLE", "$CONTENT"})
        EXPECT_NE(tpl.find(placeholder), std::string::npos) << placeholder;
    EXPECT_NE(tpl.find("a[data-offline=\"true\"]"), std::string::npos);
    EXPECT_EQ(tpl.find("<link"), std::string::npos);
}

}  // namespace
