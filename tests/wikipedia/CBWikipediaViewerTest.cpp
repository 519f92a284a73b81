#include <algorithm>

#include "Foundation/NSUserDefaults.h"
#include "Host/HostScreenTexts.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UISegmentedControl.h"
#include "ViewerTestSupport.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"

namespace {

using Launch = std::vector<std::string>;

bool onScreen(const std::shared_ptr<UIWindow>& window, const std::string& text) {
    const auto texts = HostVisibleTexts(window);
    return std::any_of(texts.begin(), texts.end(),
                       [&](const HostScreenText& shown) { return shown.text == text; });
}

TEST_F(WikipediaViewerTest, AnArticleShowsAsItsPageWithPictureAndMarkedLinks) {
    auto viewer = open("Fangelturm (Neubrandenburg)");
    window_->layoutIfNeeded();
    EXPECT_EQ(viewer->title(), "Fangelturm (Neubrandenburg)");
    EXPECT_FALSE(viewer->navigationItem()->titleView());
    const std::string source = viewer->webView()->pageSource();
    EXPECT_NE(source.find("Haus_der_Kultur_und_Bildung\" data-offline=\"true\""),
              std::string::npos);
    EXPECT_NE(source.find("Landkreis_Mecklenburgische_Seenplatte\">"), std::string::npos);
    EXPECT_TRUE(onScreen(window_, "Hinweis: Dies ist ein automatisch erzeugter"));
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../wikipedia/viewer-fangelturm"));
    // The end of the page: offline links apart from the source link.
    scrollToEnd(*viewer);
    play("expect \"In der Nähe\"");
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../wikipedia/viewer-fangelturm-end"));
    const auto crumbs =
        NSUserDefaults::standardUserDefaults()->dictionaryForKey(CrashInformation::kDictionaryKey);
    ASSERT_TRUE(crumbs);
    EXPECT_EQ(crumbs->at("vc"), Value(std::string("CBWikipediaViewer")));
}

TEST_F(WikipediaViewerTest, TypedAddressesOfStoredArticlesAreMarkedToo) {
    // This article writes its neighbours as typed: Friedländer_Tor in UTF-8.
    auto viewer = open("Haus der Kultur und Bildung");
    const std::string source = viewer->webView()->pageSource();
    EXPECT_NE(source.find("Friedl\xc3\xa4nder_Tor\" data-offline=\"true\""), std::string::npos);
    EXPECT_EQ(source.find("Friedl%C3%A4nder_Tor"), std::string::npos);
}

}  // namespace

namespace {

// The middle of a toolbar item's button, in window points.
CGPoint centreOfItem(const std::shared_ptr<UIBarButtonItem>& item) {
    auto view = item ? item->view() : nullptr;
    if (!view)
        return {-1, -1};
    const CGRect frame = view->convertRectToView(view->bounds(), nullptr);
    return {CGRectGetMidX(frame), CGRectGetMidY(frame)};
}

// The map button: the one item with a picture of its own (the share item
// draws the system's icon).
std::shared_ptr<UIBarButtonItem> itemWithImage(const CBWikipediaViewer& viewer) {
    for (const auto& item : viewer.toolbarItems())
        if (item->image() && !item->systemItem())
            return item;
    return nullptr;
}

std::shared_ptr<UIBarButtonItem> actionItem(const CBWikipediaViewer& viewer) {
    for (const auto& item : viewer.toolbarItems())
        if (item->systemItem() == UIBarButtonSystemItemAction)
            return item;
    return nullptr;
}

std::string tapAt(CGPoint point) {
    return "tap " + std::to_string(int(point.x)) + " " + std::to_string(int(point.y)) + "\n";
}

TEST_F(WikipediaViewerTest, LinksToStoredArticlesOpenANewViewerInEitherSpelling) {
    auto first = open("Fangelturm (Neubrandenburg)");
    auto doneItem = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, nullptr);
    first->navigationItem()->setRightBarButtonItem(doneItem);
    scrollToEnd(*first);
    play("tap \"Haus der Kultur und Bildung\"\nidle");
    auto second = topViewer();
    ASSERT_TRUE(second && second != first);
    ASSERT_TRUE(waitForPage(*second, "Haus der Kultur und Bildung"));
    EXPECT_EQ(second->wikipediaManager(), manager_);
    EXPECT_EQ(second->allOfflineLinks(), first->allOfflineLinks());
    EXPECT_EQ(second->basePath(), manager_->currentImgPath());
    EXPECT_EQ(second->navigationItem()->rightBarButtonItem(), doneItem);
    EXPECT_FALSE(first->tappedLinkRequest());
    // Its neighbours are written in plain UTF-8.
    scrollToEnd(*second);
    play("tap \"Friedländer Tor\"\nidle\nexpect-not \"Leave the offline articles?\"");
    auto third = topViewer();
    ASSERT_TRUE(third && third != second);
    EXPECT_EQ(third->article()->title(), "Friedländer Tor");
    EXPECT_TRUE(launched_.empty());
}

TEST_F(WikipediaViewerTest, AddressesStoredWithEscapedBracketsAreFoundByTheSecondLookUp) {
    openStore(
        {{"Lieps (See)", "https://de.wikipedia.org/wiki/Lieps_%28See%29", "<p>Lieps</p>"},
         {"Müritz (See)", "https://de.wikipedia.org/wiki/M%C3%BCritz_%28See%29", "<p>Müritz</p>"},
         {"Tollensesee", "https://de.wikipedia.org/wiki/Tollensesee",
          "<body style=\"margin:0\"><p><a href=\"https://de.wikipedia.org/wiki/Lieps_(See)\">"
          "Lieps</a></p><p><a href=\"https://de.wikipedia.org/wiki/Müritz_(See)\">Müritz</a>"
          "</p></body>"}});
    auto viewer = open("Tollensesee");
    const std::string source = viewer->webView()->pageSource();
    EXPECT_NE(source.find("Lieps_(See)\" data-offline=\"true\""), std::string::npos);
    EXPECT_NE(source.find("Müritz_(See)\" data-offline=\"true\""), std::string::npos);
    play("tap \"Lieps\"\nidle");
    auto lieps = topViewer();
    ASSERT_NE(lieps, viewer);
    EXPECT_EQ(lieps->article()->title(), "Lieps (See)");
    navigation_->popViewControllerAnimated(false);
    // Escapes already in the address stay as they are.
    play("tap \"Müritz\"\nidle");
    ASSERT_NE(topViewer(), viewer);
    EXPECT_EQ(topViewer()->article()->title(), "Müritz (See)");
    EXPECT_EQ(CBWikipediaViewer::escapedUrlStringForString(
                  "https://de.wikipedia.org/wiki/M%C3%BCritz_(See)[1] x"),
              "https://de.wikipedia.org/wiki/M%C3%BCritz_%28See%29%5B1%5D%20x");
    EXPECT_EQ(CBWikipediaViewer::unescapedUrlStringForString("M%C3%BCritz_%28See%29"),
              "Müritz_(See)");
    EXPECT_EQ(CBWikipediaViewer::unescapedUrlStringForString("100%_sure"), "100%_sure");
    EXPECT_TRUE(launched_.empty());
}

TEST_F(WikipediaViewerTest, LinksLeavingTheArticlesAskFirstAndOpenOnlyWhenAgreed) {
    auto viewer = open("Brigitte-Reimann-Literaturhaus");
    const std::string county =
        "https://de.wikipedia.org/wiki/Landkreis_Mecklenburgische_Seenplatte";
    play(
        "tap \"Mecklenburgische Seenplatte\"\nidle\nexpect \"Leave the offline articles?\"\n"
        "expect \"*" +
        county + "*\"");
    ASSERT_TRUE(viewer->tappedLinkRequest());
    EXPECT_EQ(viewer->tappedLinkRequest()->URL().absoluteString(), county);
    EXPECT_EQ(topViewer(), viewer);
    play("tap \"Cancel\"\nidle\nexpect-not \"Leave the offline articles?\"");
    EXPECT_FALSE(viewer->tappedLinkRequest());
    EXPECT_TRUE(launched_.empty());

    scrollToEnd(*viewer);
    play(
        "tap \"http://www.literaturzentrum-nb.de/018.html\"\nidle\ntap \"Open in Browser\"\n"
        "idle");
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(launched_[0], (Launch{"xdg-open", "http://www.literaturzentrum-nb.de/018.html"}));
    EXPECT_FALSE(viewer->tappedLinkRequest());
}

TEST_F(WikipediaViewerTest, AHostileBodyRunsNothingAndLeavesNothing) {
    openStore({{"Hostile", "https://de.wikipedia.org/wiki/Hostile",
                "<base href=\"http://127.0.0.1:9/\"><script>while(1){}</script>"
                "<body style=\"margin:0\"><p><a href=\"javascript:alert(1)\">Script</a></p>"
                "<p><a href=\"tel:+49395\">Call</a></p><img src=\"http://127.0.0.1:9/x.png\">"
                "<img src=\"file:///etc/passwd\"><p>Body end</p></body>"},
               {"<b>Tor</b> $CONTENT", "https://de.wikipedia.org/wiki/Tor", std::nullopt},
               {"Broken", "https://de.wikipedia.org/wiki/Broken", "<p>Friedl\xe4nder</p>"}});
    auto viewer = open("Hostile");
    EXPECT_TRUE(viewer->webView()->localContentOnly());
    play(
        "expect \"Body end\"\ntap \"Script\"\nidle\ntap \"Call\"\nidle\n"
        "expect-not \"Leave the offline articles?\"\nexpect \"Body end\"");
    EXPECT_FALSE(viewer->tappedLinkRequest());
    EXPECT_TRUE(launched_.empty());
    EXPECT_EQ(topViewer(), viewer);

    // A title of markup and a missing body; a body that is no UTF-8.
    open("<b>Tor</b> $CONTENT");
    play("expect \"<b>Tor</b> $CONTENT\"");
    open("Broken");
    play("expect \"Friedl\xef\xbf\xbdnder\"");
}

// An article of 800 rows of 50 CSS table cells asks for more than a page
// may hold: it opens with what fits and says, at its end and in the log,
// that the rest is left out.
TEST_F(WikipediaViewerTest, AnArticleTooLargeOpensWithWhatFitsAndSaysSo) {
    std::string rows;
    for (int row = 0; row < 800; ++row) {
        rows += "<div style=\"display:table-row\">";
        for (int cell = 0; cell < 50; ++cell)
            rows += "<div style=\"display:table-cell\">" + std::to_string(cell % 10) + "</div>";
        rows += "</div>";
    }
    openStore({{"Tables", "https://de.wikipedia.org/wiki/Tables",
                "<p>Table start</p><div style=\"display:table\">" + rows + "</div>"}});
    LogCapture log;
    auto viewer = open("Tables");
    play("expect \"Table start\"");
    // The foot of the page, at its left: the table is wider than the screen.
    const auto scroll = viewer->webView()->scrollView();
    scroll->setContentOffset({0, scroll->maximumContentOffset().y});
    play("expect \"This page is too large*\"");
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../wikipedia/viewer-too-large-end"));
    EXPECT_EQ(log.count("UIWebView: the page is too large: more than 32768 elements"), 1u);
}

TEST_F(WikipediaViewerTest, TextSizeStepsStopAtThreeEitherWay) {
    auto viewer = open("Tollensesee");
    const auto control = viewer->fontSizeControl();
    ASSERT_TRUE(control);
    const CGRect larger = control->convertRectToView(control->rectForSegmentAtIndex(0), nullptr);
    const CGRect smaller = control->convertRectToView(control->rectForSegmentAtIndex(1), nullptr);
    const std::string tapLarger = tapAt({CGRectGetMidX(larger), CGRectGetMidY(larger)});
    const std::string tapSmaller = tapAt({CGRectGetMidX(smaller), CGRectGetMidY(smaller)});
    const CGFloat height = viewer->webView()->contentHeight();
    play(tapLarger + tapLarger + tapLarger);
    EXPECT_EQ(viewer->fontChanges(), 3);
    const double threeUp = viewer->webView()->textZoom();
    EXPECT_NEAR(threeUp,
                UIWebView::kTextZoomStep * UIWebView::kTextZoomStep * UIWebView::kTextZoomStep,
                1e-9);
    EXPECT_GT(viewer->webView()->contentHeight(), height);
    play(tapLarger + "idle");
    EXPECT_EQ(viewer->fontChanges(), 3);
    EXPECT_EQ(viewer->webView()->textZoom(), threeUp);
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../wikipedia/viewer-larger-text"));
    play(tapSmaller);
    EXPECT_EQ(viewer->fontChanges(), 2);
    EXPECT_NEAR(viewer->webView()->textZoom(), threeUp / UIWebView::kTextZoomStep, 1e-9);
    for (int i = 0; i < 6; ++i)
        play(tapSmaller);
    EXPECT_EQ(viewer->fontChanges(), -3);
}

// Counts the pages the viewer hands to its web view.
class CountingViewer : public CBWikipediaViewer {
  public:
    using CBWikipediaViewer::CBWikipediaViewer;
    int pages = 0;
    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView& view,
                                                         const NSURLRequest& request,
                                                         UIWebViewNavigationType type) override {
        if (type == UIWebViewNavigationTypeOther)
            ++pages;
        return CBWikipediaViewer::webViewShouldStartLoadWithRequestNavigationType(view, request,
                                                                                  type);
    }
};

TEST_F(WikipediaViewerTest, OfTwoQuickArticlesOnlyTheSecondPageIsShown) {
    auto viewer = std::make_shared<CountingViewer>(services());
    viewer->setBasePath(manager_->currentImgPath());
    navigation_->pushViewControllerAnimated(viewer, false);
    viewer->setArticle(article("Tollensesee"));
    viewer->setArticle(article("Lieps (See)"));
    EXPECT_EQ(viewer->title(), "Lieps (See)");
    ASSERT_TRUE(waitForPage(*viewer, "Lieps (See)"));
    NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(viewer->pages, 1);
    EXPECT_EQ(viewer->webView()->pageTitle(), "Lieps (See)");
}

TEST_F(WikipediaViewerTest, TheMapButtonShowsTheArticleOnTheMainMapUnlessOnAMapAlready) {
    auto onMap = open("Tollensesee", true);
    EXPECT_FALSE(itemWithImage(*onMap));
    EXPECT_EQ(onMap->toolbarItems().size(), 7u);
    navigation_->popViewControllerAnimated(false);

    auto viewer = open("Tollensesee");
    const auto pin = itemWithImage(*viewer);
    ASSERT_TRUE(pin);
    EXPECT_EQ(viewer->toolbarItems().size(), 7u);
    EXPECT_EQ(viewer->toolbarItems()[5], pin);
    play(tapAt(centreOfItem(pin)));
    ASSERT_EQ(host_->presented.size(), 1u);
    EXPECT_TRUE(host_->centered[0]);
    ASSERT_EQ(host_->presented[0].size(), 1u);
    auto annotation =
        std::dynamic_pointer_cast<CBWikipediaArticleAnnotation>(host_->presented[0][0]);
    ASSERT_TRUE(annotation);
    const auto tollensesee = article("Tollensesee");
    EXPECT_EQ(annotation->uniqueIdentifier(), tollensesee->objectID().URIRepresentation());
    EXPECT_EQ(annotation->title(), "Tollensesee");
    EXPECT_EQ(annotation->coordinate().latitude, tollensesee->coordinate().latitude);
}

TEST_F(WikipediaViewerTest, TheActionSheetOpensTheArticleOrItsAuthorsOnline) {
    auto viewer = open("Tollensesee");
    const std::string action = tapAt(centreOfItem(actionItem(*viewer)));
    play(action + "idle\nexpect \"Tollensesee\"\nexpect \"Show authors\"\ntap \"Cancel\"\nidle");
    EXPECT_TRUE(launched_.empty());
    play(action + "idle\ntap \"Show authors\"\nidle");
    play(action + "idle\ntap \"Open in Browser\"\nidle");
    ASSERT_EQ(launched_.size(), 2u);
    EXPECT_EQ(launched_[0],
              (Launch{"xdg-open", "https://de.wikipedia.org/wiki/Tollensesee?action=history"}));
    EXPECT_EQ(launched_[1], (Launch{"xdg-open", "https://de.wikipedia.org/wiki/Tollensesee"}));
}

TEST_F(WikipediaViewerTest, AnArticlePinIsItsArticleAndFindsItAgainOnlyInItsStore) {
    const auto tollensesee = article("Tollensesee");
    const CBWikipediaArticleAnnotation pin(*tollensesee);
    EXPECT_EQ(pin.uniqueIdentifier(),
              CBWikipediaArticleAnnotation(*article("Tollensesee")).uniqueIdentifier());
    EXPECT_NE(pin.uniqueIdentifier(),
              CBWikipediaArticleAnnotation(*article("Lieps (See)")).uniqueIdentifier());
    // The store closed and opened again, as after a visit to another map.
    manager_->resetWikipediaForMapIdentifier("liechtenstein");
    EXPECT_FALSE(pin.articleInManager(*manager_));
    manager_->resetWikipediaForMapIdentifier("neubrandenburg");
    const auto found = pin.articleInManager(*manager_);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->title(), "Tollensesee");
}

}  // namespace
