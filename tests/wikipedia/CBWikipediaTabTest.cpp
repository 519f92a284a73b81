#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Foundation/NSBundle.h"
#include "UIKit/UIActionSheet.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UITabBar.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "ViewerTestSupport.h"
#include "mapkit/CBOpenMap.h"
#include "model/CBCurrentMap.h"
#include "model/WikipediaTestSupport.h"
#include "packages/CBUserMapStoreEngine.h"
#include "places/CBGuideTabController.h"
#include "wikipedia/CBWikipediaDownloadViewController.h"
#include "wikipedia/CBWikipediaGuideViewController.h"
#include "wikipedia/CBWikipediaNavigationController.h"
#include "wikipedia/CBWikipediaTableVC.h"

namespace {

// The Wikipedia tab in a phone window, the application's services standing
// on the local map store server: the sample map installed from it and
// current, its package loaded from it.
class CBWikipediaTabTest : public WikipediaTestBase {
  protected:
    void SetUp() override {
        WikipediaTestBase::SetUp();
        UIScreen::mainScreen()->setScale(2);
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        registry_ = CBUserMapStoreEngine::createWithDownloadManager(engine_, catalogue_);
        registry_->addDelegate(manager_);
        host_ = std::make_shared<TestWikipediaHost>();
        window_ = std::make_shared<UIWindow>(CGRect{CGPointZero, {320, 568}});
        window_->makeKeyAndVisible();
        // The store's list of the map's packages is asked for as the map
        // becomes current.
        if (!statisticsFault_.empty())
            server_->fault(statisticsPath(), statisticsFault_);
        installMap();
    }
    void TearDown() override {
        tab_.reset();
        window_.reset();
        host_.reset();
        registry_.reset();
        WikipediaTestBase::TearDown();
    }
    // What the tab is handed: the map shown is the registry's current one.
    CBWikipediaServices services() { return {host_, manager_, engine_, registry_, {}}; }
    // Queues the map's package (an update once the map is installed).
    void loadMap() {
        auto map = catalogue_->mapForIdentifier("neubrandenburg");
        const auto url = catalogue_->urlForMap(map);
        ASSERT_TRUE(url);
        engine_->addDownload({.url = *url,
                              .destinationPath = registry_->basePathForMaps(),
                              .identifier = "neubrandenburg",
                              .type = CBUserMapStoreEngine::kDownloadType,
                              .payLoad = "neubrandenburg",
                              .progressReservedForPostProcessing = 0.4});
        engine_->resumeDownloads();
    }
    void installMap() {
        loadMap();
        ASSERT_TRUE(waitForRemoval("neubrandenburg"));
        registry_->setCurrentMap(registry_->mapForIdentifier("neubrandenburg"));
        ASSERT_EQ(manager_->currentMapIdentifier(), "neubrandenburg");
        recorder_->events.clear();
    }
    std::string statisticsPath() {
        const auto url =
            CBMapStoreURLManager::stringForStatisticsURLForCode(map("neubrandenburg")->code());
        return url ? url->substr(server_->baseURL().size()) : "";
    }
    CBWikipediaPackageList packageList() {
        return manager_->packageListForMapIdentifier("neubrandenburg");
    }
    // The guide offers the tab once the store's list has come.
    void openTab() {
        ASSERT_TRUE(
            runUntil([&] { return packageList() != CBWikipediaPackageList::Loading; }, 10.0));
        tab_ = CBWikipediaNavigationController::initWithWikipediaRootViewcontroller(services());
        window_->setRootViewController(tab_);
        window_->layoutIfNeeded();
    }
    std::shared_ptr<CBWikipediaDownloadViewController> downloadScreen() {
        return std::dynamic_pointer_cast<CBWikipediaDownloadViewController>(
            tab_->topViewController());
    }
    std::string packagePath() {
        const auto url =
            CBWikipediaManager::urlForWikipediaOfMapWithLanguageCode(map("neubrandenburg"), "de");
        return url ? url->substr(server_->baseURL().size()) : "";
    }
    // A tap on the download button, and German from the language sheet.
    void tapDownloadAndChooseGerman() {
        ASSERT_TRUE(runUntil(
            [&] {
                return manager_->wikipediaAvailableForDownloadForMapIdentifier("neubrandenburg");
            },
            10.0));
        const auto result = HostRunScenario(window_, "tap \"Download Wikipedia articles\"");
        ASSERT_TRUE(result.passed) << result.message;
        auto sheet = findView<UIActionSheet>(window_);
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet->numberOfButtons(), 2);
        sheet->dismissWithClickedButtonIndexAnimated(0, false);
    }
    // Waits for the tab to hold the package's guide alone.
    bool waitForGuide() {
        return runUntil([&] { return tab_->viewControllers().size() == 1 && guide(); }, 60.0);
    }
    std::shared_ptr<CBWikipediaGuideViewController> guide() {
        return std::dynamic_pointer_cast<CBWikipediaGuideViewController>(tab_->topViewController());
    }
    // The articles of the list the guide's header opens.
    long articlesListed() {
        guide()->presentAllArticles();
        window_->layoutIfNeeded();
        auto list = std::dynamic_pointer_cast<CBWikipediaTableVC>(tab_->topViewController());
        if (!list)
            return -1;
        (void)list->view();
        auto& table = *list->tableView();
        long rows = 0;
        for (long section = 0; section < list->numberOfSectionsInTableView(table); ++section)
            rows += list->tableViewNumberOfRowsInSection(table, section);
        return rows;
    }

    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::shared_ptr<TestWikipediaHost> host_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<CBWikipediaNavigationController> tab_;
    // The fault the server's list of the map's packages starts with.
    std::string statisticsFault_;
};

// The city guide around the tab, opened while the store's list of packages
// is kept back by the server.
class CBWikipediaGuideTabTest : public CBWikipediaTabTest {
  protected:
    CBWikipediaGuideTabTest() { statisticsFault_ = "hold=1"; }
    void TearDown() override {
        guide_.reset();
        CBWikipediaTabTest::TearDown();
    }
    void openGuide() {
        guide_ = CBGuideTabController::create({}, nullptr, {}, services());
        window_->setRootViewController(guide_);
        window_->layoutIfNeeded();
    }
    std::shared_ptr<CBWikipediaDownloadViewController> guideDownloadScreen() {
        return std::dynamic_pointer_cast<CBWikipediaDownloadViewController>(
            guide_->wikipediaTab()->topViewController());
    }
    std::string label() { return guideDownloadScreen()->wikipediaNotLoadedLabel()->text(); }
    std::string buttonTitle() {
        return guideDownloadScreen()
            ->downloadWikipediaButton()
            ->titleForState(UIControlStateNormal)
            .value_or("");
    }
    void tap(const std::string& text) {
        const auto result = HostRunScenario(window_, "tap \"" + text + "\"");
        ASSERT_TRUE(result.passed) << result.message;
    }
    // The store's list of the map's packages comes garbled until mendList
    // puts the sound one back.
    void garbleList() {
        served_ = root_.path() + statisticsPath();
        std::filesystem::rename(served_, served_ + ".sound");
        std::ofstream(served_) << "<plist><array><garbage";
        server_->release(statisticsPath());
        ASSERT_TRUE(
            runUntil([&] { return packageList() == CBWikipediaPackageList::Failed; }, 10.0));
    }
    void mendList() { std::filesystem::rename(served_ + ".sound", served_); }

    std::shared_ptr<CBGuideTabController> guide_;
    std::string served_;
};

}  // namespace

// The download screen tells the package's way from the queue to its
// install, and the tab becomes the guide (listing the 19 articles) only once
// the package is installed: not when its transfer ends. Another map's download
// changes nothing, and its failure raises no alert here.
TEST_F(CBWikipediaTabTest, TheDownloadScreenFollowsThePackageUntilTheGuideReplacesIt) {
    openTab();
    auto screen = downloadScreen();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->downloadWikipediaButton()->isHidden());
    EXPECT_EQ(screen->wikipediaNotLoadedLabel()->text(),
              NSLocalizedString("WikipediaNotLoadedYet"));
    EXPECT_EQ(screen->navigationItem()->rightBarButtonItem()->systemItem(),
              UIBarButtonSystemItemDone);

    // A package of another map that cannot be loaded.
    engine_->addDownload({.url = server_->urlFor("/wikipedia/nowhere.zip"),
                          .destinationPath = CBWikipediaManager::basePathForWikipedia(),
                          .identifier = "liechtenstein",
                          .type = CBWikipediaManager::kDownloadType});
    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return recorder_->saw("failed liechtenstein"); }));
    EXPECT_TRUE(host_->failureAlerts.empty());
    EXPECT_EQ(screen->wikipediaNotLoadedLabel()->text(),
              NSLocalizedString("WikipediaNotLoadedYet"));
    engine_->cancelDownloads({engine_->downloadForIdentifierOfType("liechtenstein", "wikipedia")});

    std::vector<std::string> labels;
    bool listedBeforeInstall = false;
    auto note = [&] {
        if (auto shown = downloadScreen()) {
            const std::string text = shown->wikipediaNotLoadedLabel()->text();
            if (labels.empty() || labels.back() != text)
                labels.push_back(text);
        } else if (!manager_->userHasWikipediaForMapIdentifier("neubrandenburg")) {
            listedBeforeInstall = true;
        }
    };
    tapDownloadAndChooseGerman();
    ASSERT_TRUE(runUntil(
        [&] {
            note();
            return recorder_->saw("finished neubrandenburg");
        },
        60.0));
    EXPECT_EQ(downloadScreen(), screen) << "the transfer ended, the package is not installed yet";
    ASSERT_TRUE(waitForGuide());
    EXPECT_FALSE(listedBeforeInstall);
    ASSERT_GE(labels.size(), 1u);
    EXPECT_TRUE(labels.front() == NSLocalizedString("DownloadPendingWikipedia") ||
                labels.front() == NSLocalizedString("Downloading Wikipedia articles"))
        << labels.front();
    EXPECT_TRUE(std::find(labels.begin(), labels.end(), NSLocalizedString("downloadExtracting")) !=
                labels.end());
    EXPECT_EQ(articlesListed(), 19);
    EXPECT_EQ(tab_->topViewController()->navigationItem()->rightBarButtonItem()->systemItem(),
              UIBarButtonSystemItemDone);
    EXPECT_TRUE(host_->failureAlerts.empty());
}

// The tab offered for the map shown downloads that map's package while the
// registry has not made it current yet (a busy first start).
TEST_F(CBWikipediaTabTest, TheDownloadIsForTheMapShownBeforeTheRegistryMakesItCurrent) {
    const auto installed = registry_->currentMap()->filePath();
    ASSERT_TRUE(installed);
    registry_->setCurrentMap(nullptr);
    auto shown = CBCurrentMap::create(nullptr, nullptr, nullptr);
    shown->showOpenMap(CBOpenMap::openStorePath(*installed));
    ASSERT_TRUE(runUntil([&] { return packageList() == CBWikipediaPackageList::Offered; }, 10.0));
    tab_ = CBWikipediaNavigationController::initWithWikipediaRootViewcontroller(
        {host_, manager_, engine_, registry_, shown});
    window_->setRootViewController(tab_);
    window_->layoutIfNeeded();
    ASSERT_TRUE(downloadScreen());
    tapDownloadAndChooseGerman();
    ASSERT_TRUE(
        engine_->downloadForIdentifierOfType("neubrandenburg", CBWikipediaManager::kDownloadType));
}

// The server refuses the package: the alert shows once (not again while the
// user has not tapped), the screen says so and keeps its button. A tap asks
// for the language again and the download goes on to the list.
TEST_F(CBWikipediaTabTest, AFailedDownloadShowsItsAlertOnceAndTheButtonThatTriesAgain) {
    server_->fault(packagePath(), "status=500&count=100");
    openTab();
    auto screen = downloadScreen();
    tapDownloadAndChooseGerman();
    ASSERT_TRUE(runUntil([&] { return recorder_->saw("failed neubrandenburg"); }));
    EXPECT_EQ(host_->failureAlerts.size(), 1u);
    EXPECT_TRUE(screen->displayedDownloadError());
    // It says why, as a map download does.
    EXPECT_EQ(screen->wikipediaNotLoadedLabel()->text(),
              "Wikipedia download failed: the map store refused the file");
    EXPECT_FALSE(screen->downloadWikipediaButton()->isHidden());
    // The engine's own messages about the download reach the screen alike.
    EXPECT_EQ(screen->downloadManager(), engine_);
    auto download = engine_->downloadForIdentifierOfType("neubrandenburg", "wikipedia");
    screen->wikipediaNotLoadedLabel()->setText("stale");
    screen->downloadManagerFailedToLoadDownload(*engine_, download);
    EXPECT_EQ(screen->wikipediaNotLoadedLabel()->text(),
              "Wikipedia download failed: the map store refused the file");
    EXPECT_EQ(host_->failureAlerts.size(), 1u);
    screen->downloadManagerUpdatedProgressToForDownload(*engine_, 0.25, download);
    EXPECT_FLOAT_EQ(screen->downloadProgressView()->progress(), 0.25f);

    recorder_->events.clear();
    engine_->retryDownload(engine_->downloadForIdentifierOfType("neubrandenburg", "wikipedia"));
    ASSERT_TRUE(runUntil([&] { return recorder_->saw("failed neubrandenburg"); }));
    EXPECT_EQ(host_->failureAlerts.size(), 1u);

    server_->clearFaults();
    tapDownloadAndChooseGerman();
    EXPECT_FALSE(screen->displayedDownloadError());
    ASSERT_TRUE(waitForGuide());
    EXPECT_EQ(articlesListed(), 19);
    EXPECT_EQ(host_->failureAlerts.size(), 1u);
}

// An article store that is there but cannot be opened is told in one line,
// offers no download over it, and stays where it is.
TEST_F(CBWikipediaTabTest, ADamagedArticleStoreIsToldAndKept) {
    const std::string store =
        CBWikipediaManager::filePathForWikipediaForMapIdentifier("neubrandenburg");
    std::filesystem::create_directories(std::filesystem::path(store).parent_path());
    std::ofstream(store) << "not an article store";
    manager_->resetWikipediaForMapIdentifier("neubrandenburg");
    ASSERT_FALSE(manager_->wikipediaAvailable());
    EXPECT_TRUE(CBWikipediaNavigationController::isOfferedForCurrentMap(services()));
    openTab();
    auto screen = downloadScreen();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->wikipediaNotLoadedLabel()->text(), NSLocalizedString("WikipediaDamaged"));
    EXPECT_TRUE(screen->downloadWikipediaButton()->isHidden());
    EXPECT_TRUE(std::filesystem::exists(store));
}

// An update of the map that cannot load stays queued: the articles are
// not damaged for it, and open for the map shown also while the registry
// has no current map (a start after the shelf). A store that really does
// not read is told without the advice to delete it while the update is
// on its way.
TEST_F(CBWikipediaTabTest, APendingUpdateOfTheMapMakesNoArticlesLookDamaged) {
    installSample();
    const auto installed = registry_->currentMap()->filePath();
    ASSERT_TRUE(installed);
    server_->fault(catalogue_->urlForMap(map("neubrandenburg"))->substr(server_->baseURL().size()),
                   "status=500&count=100");
    loadMap();
    ASSERT_TRUE(runUntil([&] {
        return registry_->downloadStatusForMapIdentifier("neubrandenburg").phase ==
               ZELDownloadPhase::Failed;
    }));
    registry_->setCurrentMap(nullptr);
    ASSERT_FALSE(manager_->wikipediaAvailable());
    auto shown = CBCurrentMap::create(nullptr, nullptr, nullptr);
    shown->showOpenMap(CBOpenMap::openStorePath(*installed));
    auto openTabOfShownMap = [&] {
        tab_ = CBWikipediaNavigationController::initWithWikipediaRootViewcontroller(
            {host_, manager_, engine_, registry_, shown});
        window_->setRootViewController(tab_);
        window_->layoutIfNeeded();
    };
    openTabOfShownMap();
    EXPECT_TRUE(guide());
    EXPECT_TRUE(manager_->wikipediaAvailable());

    const std::string store =
        CBWikipediaManager::filePathForWikipediaForMapIdentifier("neubrandenburg");
    manager_->releaseCoreDataStack();
    std::ofstream(store, std::ios::trunc) << "not an article store";
    openTabOfShownMap();
    ASSERT_TRUE(downloadScreen());
    EXPECT_EQ(downloadScreen()->wikipediaNotLoadedLabel()->text(),
              NSLocalizedString("WikipediaDamagedWhileMapLoads"));
    EXPECT_TRUE(downloadScreen()->downloadWikipediaButton()->isHidden());
    engine_->cancelDownloads({engine_->downloadForIdentifierOfType(
        "neubrandenburg", CBUserMapStoreEngine::kDownloadType)});
    openTabOfShownMap();
    EXPECT_EQ(downloadScreen()->wikipediaNotLoadedLabel()->text(),
              NSLocalizedString("WikipediaDamaged"));
    EXPECT_TRUE(std::filesystem::exists(store));
}

// The guide has the tab while the current map's package can be loaded or is
// installed; without a current map it has none.
TEST_F(CBWikipediaTabTest, TheTabIsOfferedWhileTheCurrentMapHasAPackageToLoadOrLoaded) {
    EXPECT_TRUE(runUntil(
        [&] { return CBWikipediaNavigationController::isOfferedForCurrentMap(services()); }, 10.0));
    registry_->setCurrentMap(nullptr);
    EXPECT_FALSE(CBWikipediaNavigationController::isOfferedForCurrentMap(services()));
}

// The guide opens on the screens last shown, whatever took the user back:
// the back button, or the tab popping to its root when selected again. A
// guide that cannot be read leaves the article list.
TEST_F(CBWikipediaTabTest, TheGuideReopensOnTheScreensLastShown) {
    openTab();
    tapDownloadAndChooseGerman();
    ASSERT_TRUE(waitForGuide());
    auto titles = [&] {
        std::vector<std::string> shown;
        for (const auto& screen : tab_->viewControllers())
            shown.push_back(screen->title());
        return shown;
    };
    auto open = [&](const std::string& cell) {
        const auto result = HostRunScenario(window_, "idle\ntap \"" + cell + "\"\nidle");
        ASSERT_TRUE(result.passed) << result.message;
    };
    open("Orte");
    open("Dörfer");
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Orte", "Dörfer"}));
    EXPECT_EQ(tab_->topViewController()->navigationItem()->rightBarButtonItem()->systemItem(),
              UIBarButtonSystemItemDone);

    tab_->popToRootViewControllerAnimated(false);
    window_->layoutIfNeeded();
    open("Seen");
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg", "Seen"}));
    tab_->popViewControllerAnimated(false);
    openTab();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Neubrandenburg"}));

    std::ofstream(CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier("neubrandenburg"),
                  std::ios::trunc)
        << "not a guide";
    openTab();
    EXPECT_TRUE(std::dynamic_pointer_cast<CBWikipediaTableVC>(tab_->topViewController()));
}

// Opened before the store has answered, the guide has no Wikipedia tab; the
// answer adds it after the bookmarks, and the tab the user is on stays.
TEST_F(CBWikipediaGuideTabTest, TheTabJoinsTheOpenGuideWhenTheStoresListComes) {
    openGuide();
    EXPECT_EQ(packageList(), CBWikipediaPackageList::Loading);
    EXPECT_FALSE(guide_->wikipediaTab());
    ASSERT_EQ(guide_->viewControllers().size(), 2u);
    guide_->setSelectedIndex(1);

    server_->release(statisticsPath());
    ASSERT_TRUE(runUntil([&] { return guide_->wikipediaTab() != nullptr; }, 10.0));
    ASSERT_EQ(guide_->viewControllers().size(), 3u);
    EXPECT_EQ(guide_->viewControllers()[2], guide_->wikipediaTab());
    EXPECT_EQ(guide_->selectedIndex(), 1);
    ASSERT_TRUE(guideDownloadScreen());
    guide_->setSelectedIndex(2);
    window_->layoutIfNeeded();
    EXPECT_EQ(label(), NSLocalizedString("WikipediaNotLoadedYet"));
    EXPECT_EQ(buttonTitle(), NSLocalizedString("Download Wikipedia articles"));
}

// A list that comes garbled, or not at all, gives the tab with a line that
// says so and a button that asks again; the store mended, the download is
// offered.
TEST_F(CBWikipediaGuideTabTest, AListThatCannotBeHadIsToldWithAWayToAskAgain) {
    ASSERT_NO_FATAL_FAILURE(garbleList());
    openGuide();
    ASSERT_TRUE(guide_->wikipediaTab());
    guide_->setSelectedIndex(2);
    window_->layoutIfNeeded();
    EXPECT_EQ(label(), NSLocalizedString("WikipediaListFailed"));
    EXPECT_EQ(buttonTitle(), "Try Again");

    // Asked again while the server stays away.
    server_->fault(statisticsPath(), "status=503&count=1");
    tap("Try Again");
    ASSERT_TRUE(runUntil([&] { return packageList() == CBWikipediaPackageList::Failed; }, 10.0));
    EXPECT_EQ(label(), NSLocalizedString("WikipediaListFailed"));

    mendList();
    server_->fault(statisticsPath(), "hold=1");
    tap("Try Again");
    EXPECT_EQ(label(), NSLocalizedString("WikipediaListLoading"));
    EXPECT_TRUE(guideDownloadScreen()->downloadWikipediaButton()->isHidden());
    server_->release(statisticsPath());
    ASSERT_TRUE(runUntil([&] { return packageList() == CBWikipediaPackageList::Offered; }, 10.0));
    EXPECT_EQ(label(), NSLocalizedString("WikipediaNotLoadedYet"));
    EXPECT_EQ(buttonTitle(), NSLocalizedString("Download Wikipedia articles"));
}

// In a window cut to its smallest, as short as a phone on its side, the
// screen keeps its upright layout under the guide's bars and scrolls: a
// wheel notch brings the button that asks again wholly above the tab bar,
// and it works. While no button shows the line fits and shows whole from
// its top, scrolled as the screen was; the download's button makes it
// scroll again, and the window made as tall as an upright phone has nothing
// to scroll.
TEST_F(CBWikipediaGuideTabTest, OnAShortScreenTheButtonScrollsIntoViewAndWorks) {
    ASSERT_NO_FATAL_FAILURE(garbleList());
    window_->setFrame({CGPointZero, {320, 320}});
    openGuide();
    guide_->setSelectedIndex(2);
    window_->layoutIfNeeded();
    const auto& button = guideDownloadScreen()->downloadWikipediaButton();
    auto content = std::dynamic_pointer_cast<UIScrollView>(button->superview());
    ASSERT_TRUE(content);
    auto buttonBottom = [&] {
        return CGRectGetMaxY(button->convertRectToView(button->bounds(), nullptr));
    };
    // Whether the content scrolls; where it fits, it also shows from its top.
    auto scrolls = [&] {
        window_->layoutIfNeeded();
        const CGPoint top = content->minimumContentOffset();
        if (content->maximumContentOffset().y > top.y)
            return true;
        EXPECT_EQ(content->contentOffset().y, top.y);
        return false;
    };
    const CGFloat tabBarTop = 320 - UITabBar::kHeight;
    EXPECT_GT(buttonBottom(), tabBarTop);
    auto result = HostRunScenario(window_, "pinch 160 150 0.8\nidle");
    ASSERT_TRUE(result.passed) << result.message;
    EXPECT_LE(buttonBottom(), tabBarTop);

    mendList();
    server_->fault(statisticsPath(), "hold=1");
    tap("Try Again");
    EXPECT_EQ(label(), NSLocalizedString("WikipediaListLoading"));
    EXPECT_FALSE(scrolls());
    server_->release(statisticsPath());
    ASSERT_TRUE(runUntil([&] { return packageList() == CBWikipediaPackageList::Offered; }, 10.0));
    EXPECT_EQ(buttonTitle(), NSLocalizedString("Download Wikipedia articles"));
    EXPECT_TRUE(scrolls());

    window_->setFrame({CGPointZero, {320, 568}});
    EXPECT_FALSE(scrolls());
}

// Installed articles need no store: with the list never answered, and with
// no store address at all, the guide opens on them.
TEST_F(CBWikipediaGuideTabTest, InstalledArticlesAreThereWithoutAStore) {
    installSample();
    EXPECT_EQ(packageList(), CBWikipediaPackageList::Loading);
    auto articlesShown = [&] {
        openGuide();
        if (!guide_->wikipediaTab())
            return long(-1);
        guide_->setSelectedIndex(2);
        window_->layoutIfNeeded();
        tab_ = guide_->wikipediaTab();
        // The guide reopens on the list shown last.
        tab_->popToRootViewControllerAnimated(false);
        return guide() ? articlesListed() : long(-2);
    };
    EXPECT_EQ(articlesShown(), 19);
    CBMapStoreURLManager::setBaseURL("");
    EXPECT_EQ(packageList(), CBWikipediaPackageList::NoStore);
    EXPECT_EQ(articlesShown(), 19);
}
