#include <algorithm>
#include <fstream>
#include <sstream>

#include "LocalHTTPServer.h"
#include "Net/NSURLError.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/WebDocumentContainer.h"
#include "WebViewTestSupport.h"
#include "platform/Foundation/RecordedLaunches.h"

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class UIWebViewTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({320, 480});
        webView = std::make_shared<UIWebView>(CGRect{0, 0, 320, 480});
        window->addSubview(webView);
        delegate = std::make_shared<RecordingWebViewDelegate>();
        webView->setDelegate(delegate);
    }
    void TearDown() override { UIKitTest::TearDown(); }
    // Loads markup with the package folder as its base and waits for the end.
    void loadInPackage(const std::string& html) {
        const int before = delegate->finished + delegate->failed;
        webView->loadHTMLStringBaseURL(html, webFileURL("package/index.html"));
        ASSERT_TRUE(delegate->waitForLoads(before + 1));
    }

    RecordedLaunches launched;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIWebView> webView;
    std::shared_ptr<RecordingWebViewDelegate> delegate;
};

// Four links stacked 40 points high from the top of the page.
const char* kLinkPage = R"HTML(<body style="margin:0">
<a href="next.html" style="display:block;height:40px">Next</a>
<a href=" JavaScript:alert(1)" style="display:block;height:40px">Script</a>
<a href="../outside.html" style="display:block;height:40px">Outside</a>
<a href="mailto:guide@example.org?subject=Walk" style="display:block;height:40px">Mail</a>
<div style="height:2000px"></div><p id="end">End</p></body>)HTML";

TEST_F(UIWebViewTest, SamplePageWithImageTableAndLinksMatchesReference) {
    loadInPackage(readText(webTestData("package/index.html")));
    EXPECT_EQ(delegate->started, 1);
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_EQ(webView->pageTitle(), "Harbour walk");
    EXPECT_GT(webView->contentHeight(), 200);
    EXPECT_EQ(webView->scrollView()->contentSize().height, webView->contentHeight());
    EXPECT_TRUE(matchesReference(window->renderImage(2), "webview-sample"));
}

TEST_F(UIWebViewTest, TappedLinkAsksTheDelegateWithTheResolvedURL) {
    loadInPackage(kLinkPage);
    delegate->asked.clear();
    delegate->allow = false;
    TouchDriver(window).tap({30, 20});
    ASSERT_EQ(delegate->asked.size(), 1u);
    EXPECT_EQ(delegate->asked[0].first, webFileURL("package/next.html").absoluteString());
    EXPECT_EQ(delegate->asked[0].second, UIWebViewNavigationTypeLinkClicked);
    EXPECT_FALSE(webView->isLoading());
}

TEST_F(UIWebViewTest, PageTextsAreFoundAndTheirLinksTapped) {
    loadInPackage(readText(webTestData("package/index.html")));
    auto page = std::dynamic_pointer_cast<UIView>(webView->scrollView()->subviews().front());
    std::vector<UIVisibleText> texts = page->visibleTexts();
    auto find = [&](const std::string& text) {
        return std::find_if(texts.begin(), texts.end(),
                            [&](const UIVisibleText& t) { return t.text == text; });
    };
    EXPECT_NE(find("Harbour walk"), texts.end());
    EXPECT_NE(find("Fish market"), texts.end());
    EXPECT_NE(find("Two hours along the old docks."), texts.end());
    const auto link = find("Next stop");
    ASSERT_NE(link, texts.end());
    delegate->asked.clear();
    delegate->allow = false;
    const CGRect onScreen = page->convertRectToView(link->rect, nullptr);
    TouchDriver(window).tap({CGRectGetMidX(onScreen), CGRectGetMidY(onScreen)});
    ASSERT_EQ(delegate->asked.size(), 1u);
    EXPECT_EQ(delegate->asked[0].first, webFileURL("package/next.html").absoluteString());
}

TEST_F(UIWebViewTest, AllowedFileLinkInsideTheFolderLoadsThePage) {
    loadInPackage(kLinkPage);
    ASSERT_TRUE(webView->activateLinkAtPoint({30, 20}));
    ASSERT_TRUE(delegate->waitForLoads(2));
    EXPECT_EQ(delegate->finished, 2);
    EXPECT_EQ(webView->pageTitle(), "Next stop");
    EXPECT_EQ(webView->request()->URL().absoluteString(),
              webFileURL("package/next.html").absoluteString());
}

TEST_F(UIWebViewTest, ScriptLinksAreIgnoredAndFileLinksOutsideTheFolderRefused) {
    loadInPackage(kLinkPage);
    delegate->asked.clear();
    EXPECT_TRUE(webView->activateLinkAtPoint({30, 60}));
    EXPECT_TRUE(webView->activateLinkAtPoint({30, 100}));
    EXPECT_TRUE(delegate->asked.empty());
    EXPECT_FALSE(webView->isLoading());
    EXPECT_TRUE(launched.empty());
    EXPECT_FALSE(webView->activateLinkAtPoint({30, 300}));
}

TEST_F(UIWebViewTest, OtherSchemesGoToTheDesktopAfterTheDelegateAgrees) {
    loadInPackage(kLinkPage);
    delegate->asked.clear();
    webView->activateLinkAtPoint({30, 140});
    ASSERT_EQ(delegate->asked.size(), 1u);
    EXPECT_EQ(delegate->asked[0].first, "mailto:guide@example.org?subject=Walk");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0],
              (std::vector<std::string>{"xdg-open", "mailto:guide@example.org?subject=Walk"}));
    delegate->allow = false;
    webView->activateLinkAtPoint({30, 140});
    EXPECT_EQ(launched.size(), 1u);
}

TEST_F(UIWebViewTest, FragmentLinksScrollToTheirAnchor) {
    loadInPackage(std::string(kLinkPage) + R"(<a href="#end">To the end</a>)");
    EXPECT_EQ(webView->scrollView()->contentOffset().y, 0);
    webView->loadHTMLStringBaseURL(
        R"(<body style="margin:0"><a href="#end" style="display:block;height:40px">End</a>)"
        R"(<div style="height:3000px"></div><p id="end">End</p></body>)",
        webFileURL("package/index.html"));
    ASSERT_TRUE(delegate->waitForLoads(2));
    webView->activateLinkAtPoint({30, 20});
    EXPECT_GT(webView->scrollView()->contentOffset().y, 2000);
}

TEST_F(UIWebViewTest, TextSizeStepsAreNativeAndChangeTheHeight) {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "<p>The lighthouse keeper walked the pier every evening at six.</p>";
    loadInPackage(text);
    const CGFloat height = webView->contentHeight();
    webView->increaseFontSize();
    EXPECT_NEAR(webView->textZoom(), UIWebView::kTextZoomStep, 1e-9);
    EXPECT_GT(webView->contentHeight(), height * 1.05);
    EXPECT_EQ(webView->scrollView()->contentSize().height, webView->contentHeight());
    webView->decreaseFontSize();
    webView->decreaseFontSize();
    EXPECT_LT(webView->contentHeight(), height);
    for (int i = 0; i < 20; ++i)
        webView->decreaseFontSize();
    EXPECT_EQ(webView->textZoom(), UIWebView::kMinimumTextZoom);
}

TEST_F(UIWebViewTest, HostilePagesLoadWithoutHarm) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<div><span>";
    deep += "bottom";
    loadInPackage(deep);
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_GT(webView->contentHeight(), 0);
    window->renderImage(1);

    loadInPackage(
        "<table><tr><td>a<td>b</tr><p><b><i>x</b></i></table></div></span><<>>&bogus;"
        "<script>while(true){}</script><style>p{color:red</style><!-- open");
    EXPECT_EQ(delegate->finished, 2);
    // A negative row span made the layout library free memory it never owned.
    loadInPackage("<table><td rowspan=-1>l<tr><td rowspan=99999>x</table>");
    window->renderImage(1);

    // A header that claims 200000 x 200000 pixels, a missing image, a style
    // sheet outside the folder: left out, the page still shows.
    loadInPackage(R"(<link rel="stylesheet" href="../outside.css"><img src="huge.png">)"
                  R"(<img src="missing.png"><img src="file:///etc/passwd"><p>text</p>)");
    EXPECT_EQ(delegate->finished, 4);
    EXPECT_GT(webView->contentHeight(), 0);
    window->renderImage(1);
}

// A page that crashed the layout library in 43 bytes: the tokenizer that
// limits markup once read "<:" as a tag and let the table through unclamped.
TEST_F(UIWebViewTest, TablesTheParserFindsAreBoundedToo) {
    loadInPackage("<:\"<table><td rowspan=-1><tr><td rowspan=9>");
    EXPECT_EQ(delegate->finished, 1);
    window->renderImage(1);
}

// Style sheets import each other once, only so deep, and only from the
// page's folder or host: each sheet of a chain gives one box its height.
TEST_F(UIWebViewTest, StyleImportsAreBounded) {
    const auto folder = std::filesystem::path(testing::TempDir()) / "imports";
    std::filesystem::create_directories(folder);
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder / name) << text;
    };
    std::string boxes = "<body style=\"margin:0\">";
    for (int i = 1; i <= 12; ++i) {
        write("chain" + std::to_string(i) + ".css", "@import \"chain" + std::to_string(i + 1) +
                                                        ".css\"; #d" + std::to_string(i) +
                                                        " { height: 10px }");
        boxes += "<div id=\"d" + std::to_string(i) + "\"></div>";
    }
    write("self.css", "@import \"self.css\"; @import url(self.css); #s { height: 100px }");
    write("a.css", "@import \"b.css\"; #a { height: 1000px }");
    write("b.css", "@import \"a.css\"; #b { height: 1000px }");
    const NSURL base = *NSURL::URLWithString("file://" + folder.string() + "/page.html");
    auto load = [&](const std::string& html, const NSURL& url) {
        const int before = delegate->finished + delegate->failed;
        webView->loadHTMLStringBaseURL(html, url);
        ASSERT_TRUE(delegate->waitForLoads(before + 1));
    };
    load("<link rel=\"stylesheet\" href=\"chain1.css\">" + boxes, base);
    EXPECT_EQ(webView->contentHeight(), 10 * WebDocumentContainer::kMaximumImportDepth);
    load(
        "<link rel=\"stylesheet\" href=\"self.css\"><style>@import \"a.css\";</style>"
        "<body style=\"margin:0\"><div id=s></div><div id=a></div><div id=b></div>",
        base);
    EXPECT_EQ(webView->contentHeight(), 2100);
    // A text zoom parses the page anew: its styles hold again.
    webView->setTextZoom(1.5);
    EXPECT_EQ(webView->contentHeight(), 2100);

    // An online page takes style sheets from its own host only.
    LocalHTTPServer server;
    std::vector<std::string> served;
    server.server().Get(R"(/.*\.css)",
                        [&](const httplib::Request& request, httplib::Response& response) {
                            served.push_back(request.path);
                            response.set_content("#x { height: 10px }", "text/css");
                        });
    server.start();
    const std::string other = server.url("/other.css");
    const std::string elsewhere = "http://localhost" + other.substr(other.rfind(':'));
    load("<link rel=\"stylesheet\" href=\"/own.css\"><style>@import \"" + elsewhere +
             "\";</style><div id=x></div>",
         *NSURL::URLWithString(server.url("/page")));
    EXPECT_EQ(served, std::vector<std::string>{"/own.css"});
}

TEST_F(UIWebViewTest, MissingFileFailsTheLoad) {
    webView->loadRequest(NSURLRequest(webFileURL("package/absent.html")));
    ASSERT_TRUE(delegate->waitForLoads(1));
    EXPECT_EQ(delegate->failed, 1);
    EXPECT_EQ(delegate->error->code, NSURLErrorFileDoesNotExist);
}

TEST_F(UIWebViewTest, HTTPPagesLoadWithTheirImagesThroughTheNetwork) {
    LocalHTTPServer server;
    const std::string image = readText(webTestData("package/landscape.png"));
    server.server().Get("/page", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>Online</title><p>Hello</p><img src=\"/img.png\">",
                             "text/html");
    });
    server.server().Get("/img.png", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(image, "image/png");
    });
    server.start();
    webView->loadRequest(NSURLRequest(*NSURL::URLWithString(server.url("/page"))));
    ASSERT_TRUE(delegate->waitForLoads(1));
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_EQ(webView->pageTitle(), "Online");
    EXPECT_GT(webView->contentHeight(), 70);

    webView->loadRequest(NSURLRequest(*NSURL::URLWithString(server.url("/absent"))));
    ASSERT_TRUE(delegate->waitForLoads(2));
    EXPECT_EQ(delegate->failed, 1);
    EXPECT_EQ(delegate->error->code, NSURLErrorBadServerResponse);
}

TEST_F(UIWebViewTest, LocalContentOnlyFetchesNothingAndKeepsLinksInThePageFolder) {
    LocalHTTPServer server;
    int requests = 0;
    const std::string image = readText(webTestData("package/landscape.png"));
    server.server().Get(R"(/.*)", [&](const httplib::Request&, httplib::Response& response) {
        ++requests;
        response.set_content(image, "image/png");
    });
    server.start();
    // A hostile body: a base pointing at the server, remote images and
    // style sheets, a relative link that the base would send away.
    const std::string page = "<base href=\"" + server.url("/") + "\">" +
                             "<link rel=\"stylesheet\" href=\"" + server.url("/style.css") +
                             "\"><style>@import url(\"" + server.url("/more.css") +
                             "\");</style><body style=\"margin:0\"><a href=\"next.html\" "
                             "style=\"display:block;height:40px\">Next</a><img src=\"" +
                             server.url("/img.png") + "\"><div style=\"background-image:url(" +
                             server.url("/bg.png") + ")\">x</div><img src=\"landscape.png\">";
    webView->setLocalContentOnly(true);
    loadInPackage(page);
    EXPECT_EQ(requests, 0);
    // The folder's own picture is there.
    EXPECT_GT(webView->contentHeight(), 100);
    delegate->asked.clear();
    delegate->allow = false;
    ASSERT_TRUE(webView->activateLinkAtPoint({30, 20}));
    ASSERT_EQ(delegate->asked.size(), 1u);
    EXPECT_EQ(delegate->asked[0].first, webFileURL("package/next.html").absoluteString());

    // The same page in an ordinary view goes to the network and follows its base.
    webView->setLocalContentOnly(false);
    delegate->allow = true;
    loadInPackage(page);
    EXPECT_GT(requests, 0);
    delegate->asked.clear();
    delegate->allow = false;
    ASSERT_TRUE(webView->activateLinkAtPoint({30, 20}));
    ASSERT_EQ(delegate->asked.size(), 1u);
    EXPECT_EQ(delegate->asked[0].first, server.url("/next.html"));
}

TEST_F(UIWebViewTest, RefusedLoadStartsNothing) {
    delegate->allow = false;
    webView->loadRequest(NSURLRequest(webFileURL("package/index.html")));
    EXPECT_FALSE(webView->isLoading());
    NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.1);
    EXPECT_EQ(delegate->started, 0);
}

}  // namespace

TEST_F(UIWebViewTest, APageMadeWhileTheViewTurnedTakesTheWidthTheViewHasWhenItArrives) {
    std::string words;
    for (int i = 0; i < 400; ++i)
        words += "word ";
    const int before = delegate->finished + delegate->failed;
    webView->loadHTMLStringBaseURL("<body><p>" + words + "</p></body>",
                                   webFileURL("package/index.html"));
    // Turned before the page arrives, and laid out while it had none.
    webView->setFrame(CGRectMake(0, 0, 568, 320));
    webView->layoutIfNeeded();
    ASSERT_TRUE(delegate->waitForLoads(before + 1));
    EXPECT_EQ(webView->scrollView()->contentSize().width, 568);
    const CGFloat turned = webView->contentHeight();
    // Laid out at the phone's upright width, the same words need more lines.
    webView->setFrame(CGRectMake(0, 0, 320, 480));
    webView->layoutIfNeeded();
    EXPECT_GT(webView->contentHeight(), turned * 1.4);
}

TEST_F(UIWebViewTest, AViewResizedBeforeItShowsScrollsOverItsWholeSize) {
    // Made upright, turned before it goes on screen.
    auto turned = std::make_shared<UIWebView>(CGRect{0, 0, 320, 480});
    turned->setFrame(CGRectMake(0, 0, 568, 320));
    window->addSubview(turned);
    EXPECT_EQ(turned->scrollView()->UIView::frame(), CGRectMake(0, 0, 568, 320));
}
