#include "sdk/update/BITUpdateViewController.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "../../platform/Foundation/RecordedLaunches.h"
#include "../../platform/UIKit/UIKitTestSupport.h"
#include "../SdkServiceProcess.h"
#include "../SdkTestSupport.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSUserDefaults.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWebView.h"
#include "UIKit/UIWindow.h"
#include "sdk/update/BITAppStoreHeader.h"
#include "sdk/update/BITWebTableViewCell.h"

namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

// The running build is "42".
constexpr const char* kThreeBuilds = R"({"company": "Kelvara Ltd", "versions": [
  {"title": "Kelvara", "version": "43", "shortversion": "1.1", "timestamp": 1767268800,
   "appsize": 1572864, "id": 9,
   "notes": "<ul><li>Faster map tiles</li><li>Guided walks, see <a href=\"https://kelvara.example/walks\">the walks</a></li></ul>"},
  {"title": "Kelvara", "version": "42", "shortversion": "1.0", "timestamp": 1764590400,
   "appsize": 1048576, "id": 8, "notes": "<p>First test build.</p>"},
  {"title": "Kelvara", "version": "41", "shortversion": "0.9", "timestamp": 1761998400,
   "id": 7, "notes": "<p>Older.</p>"}]})";

// The application's own SDK texts and icon, so the screen reads as it does
// in the application.
void useApplicationTextsAndIcon() {
    useTestBundleWithInfo({{"CFBundleIconFiles", Value(Value::Array{Value("Icon.png")})}});
    const char* data = std::getenv("KELVARA_TEST_DATA");
    const std::filesystem::path resources =
        std::filesystem::path(data ? data : "tests/data") / ".." / ".." / "resources";
    const std::filesystem::path bundle = NSBundle::mainBundle()->resourcePath();
    std::filesystem::copy_file(resources / "Icon.png", bundle / "Icon.png");
    std::filesystem::copy_file(
        resources / "ZizavaSDKResources.bundle" / "en.lproj" / "ZizavaSDK.strings",
        bundle / "en.lproj" / "Localizable.strings",
        std::filesystem::copy_options::overwrite_existing);
}

class BITUpdateViewControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        useApplicationTextsAndIcon();
        const auto defaults = NSUserDefaults::standardUserDefaults();
        for (const char* key : {"BITUpdateArrayOfLastCheck", "BITUpdateInstalledUUID",
                                "BITUpdateInstalledVersionID", "BITUpdateCurrentCompanyName"})
            defaults->removeObjectForKey(key);
        UIScreen::mainScreen()->setScale(2);
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        window_->setBackgroundColor(UIColor::whiteColor());
        // The screen is presented over the application's screen.
        window_->setRootViewController(std::make_shared<UIViewController>());
        window_->makeKeyAndVisible();
        ASSERT_TRUE(service_.running());
        manager_->setServerURL(service_.baseURL());
        manager_->setAlwaysShowUpdateReminder(false);
    }

    void listBuilds(const std::string& json) {
        ASSERT_EQ(service_.setBuilds(kApp, json), 200);
        manager_->checkForUpdateShowFeedback(false);
        ASSERT_TRUE(runMainLoopUntil([&] { return !manager_->checkInProgress(); }));
        if (const auto alert = manager_->updateAlert())
            alert->dismissWithClickedButtonIndexAnimated(alert->cancelButtonIndex(), false);
    }

    // Shows the screen through the manager and waits until every listed
    // build's notes are laid out.
    std::shared_ptr<BITUpdateViewController> show() {
        manager_->showUpdateView();
        std::shared_ptr<BITUpdateViewController> screen;
        EXPECT_TRUE(runMainLoopUntil([&] {
            screen = manager_->currentZizavaViewController();
            return screen && screen->view()->window();
        }));
        if (!screen)
            return nullptr;
        // The presentation slides in.
        EXPECT_TRUE(drainMainQueue());
        EXPECT_TRUE(runMainLoopUntil([] { return !CAFrameClock::shared().isSettling(); }, 30));
        waitForNotes(*screen);
        return screen;
    }

    void waitForNotes(BITUpdateViewController& screen) {
        EXPECT_TRUE(runMainLoopUntil([&] {
            for (const auto& cell : screen.cells())
                if (cell->webViewSize().height <= 0)
                    return false;
            return true;
        }));
        window_->layoutIfNeeded();
    }

    SdkServiceProcess service_;
    std::shared_ptr<UIWindow> window_ = std::make_shared<UIWindow>(CGRect{{0, 0}, {320, 568}});
    std::shared_ptr<BITUpdateManager> manager_ =
        std::make_shared<BITUpdateManager>(kApp, BITAppEnvironmentOther);
};

}  // namespace

TEST_F(BITUpdateViewControllerTest, NewestBuildFirstOlderOnesBehindTheButtonMatchesReference) {
    listBuilds(kThreeBuilds);
    const auto screen = show();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->appStoreHeader()->headerText(), "Kelvara");
    EXPECT_EQ(screen->appStoreHeader()->subHeaderText(), "Kelvara Ltd");
    EXPECT_TRUE(screen->appStoreHeader()->iconImage());
    EXPECT_EQ(screen->appStoreButtonState(), BITUpdateStateUpdate);
    EXPECT_EQ(screen->appStoreButton()->buttonData().label, "Update");
    ASSERT_EQ(screen->cells().size(), 1u);
    EXPECT_NE(screen->cells()[0]->webViewContent().find("1.5 MB"), std::string::npos);
    ASSERT_TRUE(screen->previousVersionsButton());
    EXPECT_TRUE(screen->navigationItem()->leftBarButtonItem());  // Done
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../sdk/update-screen"));
    // Pressed, the button's white title stands on a dark gradient.
    const auto pressed =
        screen->previousVersionsButton()->backgroundImageForState(UIControlStateHighlighted);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(pressed->size(), CGSizeMake(10, 70));
    const auto& pixels = *pressed->CGImage();
    const auto green = [&](size_t y) { return (pixels.pixelAt(0, y) >> 8) & 0xFF; };
    EXPECT_GT(green(0), green(pixels.height() - 1));
    EXPECT_LT(green(0), 0xC0u);

    screen->previousVersionsButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    waitForNotes(*screen);
    ASSERT_EQ(screen->cells().size(), 3u);
    EXPECT_NE(screen->cells()[1]->webViewContent().find("Installed"), std::string::npos);
    EXPECT_FALSE(screen->previousVersionsButton());
}

TEST_F(BITUpdateViewControllerTest, OnlyTheRunningBuildIsOneInstalledCellAndTheButtonChecks) {
    listBuilds(R"({"versions": [{"title": "Kelvara", "version": "42", "timestamp": 1764590400,
                                 "id": 8, "notes": "<p>Notes</p>"}]})");
    const auto screen = show();
    ASSERT_TRUE(screen);
    ASSERT_EQ(screen->cells().size(), 1u);
    EXPECT_NE(
        screen->cells()[0]->webViewContent().find("<span style=\"float:right;\"><b>Installed"),
        std::string::npos);
    EXPECT_FALSE(screen->previousVersionsButton());
    EXPECT_EQ(screen->appStoreButtonState(), BITUpdateCheckStatus);
    EXPECT_EQ(screen->updateManager(), manager_);
    EXPECT_EQ(screen->appStoreButton()->buttonDelegate(), screen);
    // The rendered notes show on the screen's own background.
    EXPECT_FALSE(screen->cells()[0]->webView()->isHidden());
    EXPECT_EQ(screen->cells()[0]->cellBackgroundColor(), screen->backgroundColor());
    EXPECT_EQ(screen->tableView()->backgroundColor(), screen->backgroundColor());

    screen->storeButtonFired(*screen->appStoreButton());
    EXPECT_EQ(screen->appStoreButtonState(), BITUpdateStateSearching);
    ASSERT_TRUE(runMainLoopUntil([&] { return !manager_->checkInProgress(); }));
    EXPECT_EQ(screen->appStoreButtonState(), BITUpdateCheckStatus);
    ASSERT_TRUE(manager_->feedbackAlert());
    EXPECT_EQ(manager_->feedbackAlert()->title(), "No update available");
}

TEST_F(BITUpdateViewControllerTest, AMandatoryBuildLeavesNoDoneButton) {
    listBuilds(R"({"versions": [
        {"title": "Kelvara", "version": "43", "timestamp": 1767268800, "id": 9, "mandatory": true},
        {"title": "Kelvara", "version": "42", "timestamp": 1764590400, "id": 8}]})");
    const auto screen = show();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->mandatoryUpdate());
    EXPECT_FALSE(screen->navigationItem()->leftBarButtonItem());
    // The newest build has no notes.
    ASSERT_FALSE(screen->cells().empty());
    EXPECT_NE(screen->cells()[0]->webViewContent().find("No release notes available."),
              std::string::npos);
}

TEST_F(BITUpdateViewControllerTest, PlainTextsAreEscapedAndNotesKeptAsHTML) {
    BITAppVersionMetaInfo version;
    version.name = "Kelvara";
    version.version = "43";
    version.shortVersion = "1.1 <script>&";
    version.notes = "<b>bold</b>";
    version.setDateWithTimestamp(1767268800);
    const auto screen = std::make_shared<BITUpdateViewController>(manager_, true);
    const std::string content = screen->webContentForAppVersion(version, false);
    EXPECT_NE(content.find("1.1 &lt;script&gt;&amp;"), std::string::npos) << content;
    EXPECT_EQ(content.find("<script>"), std::string::npos);
    EXPECT_NE(content.find("<b>bold</b>"), std::string::npos);
}

TEST_F(BITUpdateViewControllerTest, ALinkInTheNotesOpensOutsideTheScreen) {
    RecordedLaunches launches;
    listBuilds(kThreeBuilds);
    const auto screen = show();
    ASSERT_TRUE(screen);
    const auto webView = screen->cells()[0]->webView();
    ASSERT_TRUE(webView);
    const NSURLRequest link(*NSURL::URLWithString("https://kelvara.example/walks"));
    EXPECT_FALSE(webView->delegate()->webViewShouldStartLoadWithRequestNavigationType(
        *webView, link, UIWebViewNavigationTypeLinkClicked));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].back(), "https://kelvara.example/walks");
    screen->cells()[0]->openURL(*NSURL::URLWithString("https://kelvara.example/maps"));
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[1].back(), "https://kelvara.example/maps");
    EXPECT_FALSE(webView->delegate()->webViewShouldStartLoadWithRequestNavigationType(
        *webView, link, UIWebViewNavigationTypeFormSubmitted));
}
