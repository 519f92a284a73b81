#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "LocalHTTPServer.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIWebView.h"
#include "UIKitTestSupport.h"
#include "mapkit/MapkitTestSupport.h"
#include "platform/Foundation/RecordedLaunches.h"
#include "widgets/CBTextViewController.h"
#include "widgets/CBWebBrowser.h"

namespace fs = std::filesystem;

namespace {

// Two local pages, each a link 40 points high at the top, and a browser in a
// navigation controller on a phone-sized window.
class CBWebBrowserTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        NSBundle::setMainBundlePath(sourceResourcesPath());
        folder_ = fs::temp_directory_path() / ("kelvara-browser-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        page("first.html", "First page",
             R"(<a href="second.html" style="display:block;)"
             R"(height:40px">To the second</a><p>Kelvara help</p>)");
        page("second.html", "Second page", "<p>The second page.</p>");
        window_ = makeWindow({320, 568});
        browser_ = std::make_shared<CBWebBrowser>();
        navigation_ = std::make_shared<UINavigationController>(browser_);
        window_->setRootViewController(navigation_);
        settle();
    }
    void TearDown() override {
        window_.reset();
        navigation_.reset();
        browser_.reset();
        fs::remove_all(folder_);
        NSBundle::setMainBundlePath("");
        UIKitTest::TearDown();
    }
    void page(const std::string& name, const std::string& title, const std::string& body) {
        std::ofstream(folder_ / name) << "<html><head><title>" << title << "</title></head>"
                                      << "<body style=\"margin:0\">" << body << "</body></html>";
    }
    NSURL fileURL(const std::string& name) const {
        return *NSURL::URLWithString("file://" + (folder_ / name).string());
    }
    // Runs the main loop until the browser has a page (or a failure) and
    // nothing is loading.
    bool waitForPage() {
        return NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                return !browser_->webView()->isLoading() &&
                       (!browser_->title().empty() || !browser_->errorMessage().empty());
            },
            20);
    }
    bool load(const NSURL& url) {
        browser_->setTitle("");
        browser_->loadURL(url);
        return waitForPage();
    }
    bool tapTopLink() {
        browser_->setTitle("");
        return browser_->webView()->activateLinkAtPoint({20, 20});
    }
    void settle() {
        CAFrameClock::shared().advance(1);
        window_->layoutIfNeeded();
    }

    fs::path folder_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<CBWebBrowser> browser_;
    std::shared_ptr<UINavigationController> navigation_;
    RecordedLaunches launched_;
};

TEST_F(CBWebBrowserTest, LocalPagesFollowTheirLinksAndGoBackAndForward) {
    browser_->loadURL(fileURL("first.html"));
    // The first page is covered while it loads.
    EXPECT_TRUE(browser_->isLoadingScreenShown());
    settle();
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../widgets/web-browser-loading"));
    ASSERT_TRUE(waitForPage());
    EXPECT_FALSE(browser_->isLoadingScreenShown());
    EXPECT_EQ(browser_->title(), "First page");
    EXPECT_FALSE(browser_->canGoBack());
    // Local pages offer neither the desktop's browser nor their source.
    EXPECT_TRUE(browser_->pageActions().empty());
    EXPECT_FALSE(browser_->performPageAction("View Source"));
    settle();
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../widgets/web-browser-local"));

    ASSERT_TRUE(tapTopLink());
    // Later pages are not covered unless asked for.
    EXPECT_FALSE(browser_->isLoadingScreenShown());
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(browser_->title(), "Second page");
    EXPECT_TRUE(browser_->canGoBack());
    EXPECT_FALSE(browser_->canGoForward());

    browser_->setTitle("");
    browser_->goBack();
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(browser_->title(), "First page");
    EXPECT_TRUE(browser_->canGoForward());
    browser_->setTitle("");
    browser_->goForward();
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(browser_->title(), "Second page");

    // A new page from the middle of the history drops what lay ahead.
    browser_->setTitle("");
    browser_->goBack();
    ASSERT_TRUE(waitForPage());
    browser_->setShowLoadingScreenAfterFirstLoad(true);
    ASSERT_TRUE(tapTopLink());
    EXPECT_TRUE(browser_->isLoadingScreenShown());
    ASSERT_TRUE(waitForPage());
    EXPECT_FALSE(browser_->canGoForward());
    EXPECT_TRUE(launched_.empty());
}

class CBWebBrowserWebTest : public CBWebBrowserTest {
  protected:
    void SetUp() override {
        CBWebBrowserTest::SetUp();
        server_.server().Get("/venue", [this](const httplib::Request&, httplib::Response& reply) {
            reply.set_content("<title>Venue</title><body style=\"margin:0\"><a href=\"" +
                                  server_.url("/booking") +
                                  "\" style=\"display:block;height:40px\">Book</a></body>",
                              "text/html");
        });
        server_.server().Get("/booking", [](const httplib::Request&, httplib::Response& reply) {
            reply.set_content("<title>Booking</title><p>Table for two</p>", "text/html");
        });
        server_.start();
    }
    LocalHTTPServer server_;
};

TEST_F(CBWebBrowserWebTest, WebLinksGoToTheDesktopUnlessOpenedInternally) {
    ASSERT_TRUE(load(*NSURL::URLWithString(server_.url("/venue"))));
    EXPECT_EQ(browser_->title(), "Venue");
    ASSERT_TRUE(tapTopLink());
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return !launched_.empty(); }, 20));
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(launched_[0], (std::vector<std::string>{"xdg-open", server_.url("/booking")}));
    EXPECT_EQ(browser_->currentURL()->absoluteString(), server_.url("/venue"));

    browser_->setOpenLinkInternally(true);
    ASSERT_TRUE(tapTopLink());
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(browser_->title(), "Booking");
    EXPECT_EQ(launched_.size(), 1u);
}

TEST_F(CBWebBrowserWebTest, AWebPageOpensOutsideAndShowsItsSource) {
    ASSERT_TRUE(load(*NSURL::URLWithString(server_.url("/booking"))));
    EXPECT_EQ(browser_->pageActions(),
              (std::vector<std::string>{"Open in Browser", "View Source"}));
    EXPECT_TRUE(browser_->performPageAction("Open in Browser"));
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(launched_[0].back(), server_.url("/booking"));

    EXPECT_TRUE(browser_->performPageAction("View Source"));
    auto source = std::dynamic_pointer_cast<CBTextViewController>(navigation_->topViewController());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->title(), "Source");
    EXPECT_EQ(source->text(), "<title>Booking</title><p>Table for two</p>");
    EXPECT_FALSE(browser_->performPageAction("Print"));
}

TEST_F(CBWebBrowserWebTest, APageThatCannotLoadLeavesAMessage) {
    ASSERT_TRUE(load(*NSURL::URLWithString(server_.url("/booking"))));
    ASSERT_TRUE(load(*NSURL::URLWithString(server_.url("/absent"))));
    EXPECT_EQ(browser_->errorMessage().rfind("The page could not be loaded.\n", 0), 0u)
        << browser_->errorMessage();
    EXPECT_TRUE(browser_->webView()->isHidden());
    EXPECT_FALSE(browser_->isLoadingScreenShown());
    // The desktop's browser may still reach it; there is no source to show.
    EXPECT_EQ(browser_->pageActions(), std::vector<std::string>{"Open in Browser"});
    settle();
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../widgets/web-browser-failed"));

    // The next page that loads replaces the message.
    ASSERT_TRUE(load(*NSURL::URLWithString(server_.url("/booking"))));
    EXPECT_EQ(browser_->errorMessage(), "");
    EXPECT_FALSE(browser_->webView()->isHidden());
}

}  // namespace
