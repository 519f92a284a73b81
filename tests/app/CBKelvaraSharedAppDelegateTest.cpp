// The application as a whole: kelvara2 links (on an installed map, on a map
// only the store has, on no map at all), the first-download notice and the
// notification of an installed map.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "CBGeoData/CBBoundingBox.h"
#include "Dispatch/NSRunLoop.h"
#include "LaunchedAppFixture.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UILocalNotification.h"
#include "UIKit/UINavigationController.h"
#include "app/CBFirstDownloadNotice.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/CBLinkedStoreMapOffer.h"
#include "app/CBMapInstalledNotification.h"
#include "app/CBRootViewController.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "packages/ZELDownloadStatus.h"
#include "platform/Foundation/RecordedLaunches.h"
#include "shelf/CBMapShelfViewController.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"

namespace {

// The whole application on a home of its own, the sample city shown.
class CBKelvaraSharedAppDelegateTest : public LaunchedAppTest {
  protected:
    void SetUp() override {
        LaunchedAppTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(launch());
        play("idle");
    }
    std::shared_ptr<CBMapStoreController> storeOnShelf() {
        auto shelf = app_->rootViewController()->shelf();
        return shelf ? std::dynamic_pointer_cast<CBMapStoreController>(
                           shelf->presentedViewController())
                     : nullptr;
    }
};

TEST_F(CBKelvaraSharedAppDelegateTest, APlaceOnAStoreMapOffersItsPageInTheStore) {
    auto map = app_->mapViewController()->mapView();
    const auto shownBefore = map->currentMapStorePath();
    EXPECT_FALSE(app_->openLink("kelvara2://?ll=47.14,9.52&z=14"));
    auto offer = app_->storeMapOffer();
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->identifier(), "liechtenstein");
    EXPECT_TRUE(offer->alert()->isVisible());
    EXPECT_EQ(offer->alert()->message(),
              "The linked place is on the map of Liechtenstein, which is not installed. The "
              "store has it.");
    // Declined: the map stays as it was.
    play(R"(tap "Cancel")");
    EXPECT_FALSE(app_->rootViewController()->isShowingShelf());
    EXPECT_EQ(map->currentMapStorePath(), shownBefore);

    EXPECT_FALSE(app_->openLink("kelvara2://?ll=47.14,9.52&z=14"));
    play(R"(
tap "Show in store"
wait-for "‹ Map store" 10
)");
    EXPECT_TRUE(app_->rootViewController()->isShowingShelf());
    auto store = storeOnShelf();
    ASSERT_TRUE(store);
    auto navigation =
        std::dynamic_pointer_cast<UINavigationController>(store->selectedViewController());
    ASSERT_TRUE(navigation);
    auto detail =
        std::dynamic_pointer_cast<CBMapStoreDetailVC>(navigation->viewControllers().back());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->title(), "Liechtenstein");
}

// Neither an installed map nor the store holds the point (the Atlantic), or
// the link is broken: a message, and the map stays where it was.
TEST_F(CBKelvaraSharedAppDelegateTest, APlaceOnNoMapOrABrokenLinkLeavesTheMapAsItWas) {
    auto map = app_->mapViewController()->mapView();
    map->visibleArea()->calculateVisibleBBox();
    const auto centre = map->visibleArea()->visibleCenter();
    EXPECT_FALSE(app_->openLink("kelvara2://?ll=40.0,-30.0&z=12"));
    EXPECT_FALSE(app_->storeMapOffer());
    play(R"(
expect "Not on your maps"
expect "No installed map shows the linked place, and the store has no map of it."
tap "OK"
)");
    EXPECT_FALSE(app_->openLink("kelvara2://?ll=north,13&z=12"));
    play(R"(
expect "Cannot open the link"
expect "The link's position \"north,13\" is not LATITUDE,LONGITUDE."
tap "OK"
)");
    // A name of 10,000 characters, and bytes that are no text: one message
    // each, no pin.
    EXPECT_FALSE(
        app_->openLink("kelvara2://?ll=53.5575,13.2610&placename=" + std::string(10000, 'x')));
    play(R"(
expect "The link's place name is longer than 255 characters."
tap "OK"
)");
    EXPECT_FALSE(app_->openLink("kelvara2://?ll=53.5575,13.2610&placename=%FF%FE"));
    play(R"(
expect "The link's place name is not valid text."
tap "OK"
expect-not "Cannot open the link"
)");
    EXPECT_TRUE(map->annotationsHost()->annotations().empty());
    map->visibleArea()->calculateVisibleBBox();
    EXPECT_NEAR(map->visibleArea()->visibleCenter().latitude, centre.latitude, 1e-6);
    EXPECT_NEAR(map->visibleArea()->visibleCenter().longitude, centre.longitude, 1e-6);
    EXPECT_FALSE(app_->rootViewController()->isShowingShelf());
}

// The notice comes with the first download the user adds, once for good.
TEST_F(CBKelvaraSharedAppDelegateTest, TheFirstDownloadBringsTheNoticeOnce) {
    auto downloads = app_->downloadManager();
    ASSERT_TRUE(downloads);
    auto notice = app_->firstDownloadNotice();
    ASSERT_TRUE(notice);
    EXPECT_FALSE(notice->alert());
    auto add = [&](const std::string& identifier) {
        return downloads->addDownload({.url = "http://127.0.0.1:9/map/DE/" + identifier + ".zip",
                                       .destinationPath = "/tmp/kelvara-never-loaded",
                                       .identifier = identifier,
                                       .type = CBUserMapStoreEngine::kDownloadType});
    };
    ASSERT_TRUE(add("three-rivers"));
    ASSERT_TRUE(notice->alert());
    play(R"(
expect "Your first download"
tap "OK"
)");
    ASSERT_TRUE(add("berlin"));
    EXPECT_FALSE(notice->alert()->isVisible());
    play(R"(expect-not "Your first download")");
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults()->boolForKey(
        CBFirstDownloadNotice::kShownDefaultsKey));
    downloads->cancelDownloads(*downloads->currentQueue());
}

// The notice speaks of what the user started: a Wikipedia download is no map.
TEST_F(CBKelvaraSharedAppDelegateTest, TheFirstDownloadNoticeSpeaksOfWhatLoads) {
    auto downloads = app_->downloadManager();
    ASSERT_TRUE(downloads);
    ASSERT_TRUE(downloads->addDownload({.url = "http://127.0.0.1:9/wikipedia/DE/x.zip",
                                        .destinationPath = "/tmp/kelvara-never-loaded",
                                        .identifier = "neubrandenburg",
                                        .type = "wikipedia"}));
    play(R"(
expect "Your first download"
expect "Wikipedia articles download while Kelvara runs*"
expect-not "Maps download while*"
tap "OK"
)");
    downloads->cancelDownloads(*downloads->currentQueue());
}

// Whether the first-download notice was up each time a download's state was told.
class NoticeAtEachState : public ZELDownloadManagerEngineDelegate {
  public:
    explicit NoticeAtEachState(std::shared_ptr<CBFirstDownloadNotice> notice)
        : notice_(std::move(notice)) {}
    void downloadManagerChangedStatusToForDownload(ZELDownloadManagerEngine&,
                                                   const ZELDownloadStatus& status,
                                                   const Download&) override {
        phases.push_back(status.phase);
        shown.push_back(notice_->alert() && notice_->alert()->isVisible());
    }
    std::vector<ZELDownloadPhase> phases;
    std::vector<bool> shown;

  private:
    std::shared_ptr<CBFirstDownloadNotice> notice_;
};

// The notice is up before the download it speaks of has told any state, so
// even a download that ends at once ends under it, never before it. A
// download that fails takes the notice away: the failure is the one alert,
// and the next download brings the notice.
TEST_F(CBKelvaraSharedAppDelegateTest, TheFirstDownloadNoticeComesBeforeItsDownloadEnds) {
    auto downloads = app_->downloadManager();
    ASSERT_TRUE(downloads);
    auto states = std::make_shared<NoticeAtEachState>(app_->firstDownloadNotice());
    downloads->addDelegate(states);
    ASSERT_TRUE(downloads->addDownload({.url = "http://127.0.0.1:9/map/DE/three-rivers.zip",
                                        .destinationPath = "/tmp/kelvara-never-loaded",
                                        .identifier = "three-rivers",
                                        .type = CBUserMapStoreEngine::kDownloadType}));
    downloads->resumeDownloads();
    // Nothing listens on port 9: the download ends at once, failed.
    NSRunLoop::mainRunLoop()->runUntil(
        [&] {
            return !states->phases.empty() && states->phases.back() == ZELDownloadPhase::Failed;
        },
        10);
    ASSERT_FALSE(states->phases.empty());
    EXPECT_EQ(states->phases.back(), ZELDownloadPhase::Failed);
    EXPECT_EQ(std::count(states->shown.begin(), states->shown.end() - 1, false), 0);
    play(R"(expect-not "Your first download")");
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->boolForKey(
        CBFirstDownloadNotice::kShownDefaultsKey));
    // Another map's download brings it; a failure of the earlier download
    // leaves it up, as it speaks of the new one.
    ASSERT_TRUE(downloads->addDownload({.url = "http://127.0.0.1:9/map/LI/liechtenstein.zip",
                                        .destinationPath = "/tmp/kelvara-never-loaded",
                                        .identifier = "liechtenstein",
                                        .type = CBUserMapStoreEngine::kDownloadType}));
    play(R"(expect "Your first download")");
    app_->firstDownloadNotice()->downloadManagerFailedToLoadDownload(
        *downloads, downloads->downloadForIdentifierOfType("three-rivers",
                                                           CBUserMapStoreEngine::kDownloadType));
    play(R"(
expect "Your first download"
tap "OK"
)");
    downloads->cancelDownloads(*downloads->currentQueue());
}

// The bookmarks the application hands out are the current map's: the
// sample city's store, and the map screen is told of deletions in it.
TEST_F(CBKelvaraSharedAppDelegateTest, TheBookmarksManagerIsTheShownMapsBookmarkStore) {
    ASSERT_TRUE(app_->currentMap());
    const auto bookmarks = app_->bookmarksManager();
    ASSERT_TRUE(bookmarks);
    EXPECT_EQ(bookmarks, app_->currentMap()->bookmarks());
    EXPECT_EQ(bookmarks->mapIdentifier(), app_->currentMap()->identifier());
    EXPECT_EQ(bookmarks->bookmarkDelegate(), app_->mapViewController());
}

// A map that finishes installing while the window is not in front is told
// to the desktop; chosen, the notification opens that map.
TEST_F(CBKelvaraSharedAppDelegateTest, TheNotificationOfAnInstalledMapOpensIt) {
    auto registry = app_->userMapStoreEngine();
    registry_ = registry;
    installLiechtenstein();
    CBMapInstalledNotification notification;
    RecordedLaunches launches;
    application_->becomeActive();
    notification.userMapStoreDownloadStatusChangedToForMapWithIdentifier(
        *registry, ZELDownloadStatus::installed(), "liechtenstein");
    EXPECT_TRUE(launches.empty());  // the window is in front
    application_->resignActive();
    notification.userMapStoreDownloadStatusChangedToForMapWithIdentifier(
        *registry, ZELDownloadStatus{}, "liechtenstein");
    EXPECT_TRUE(launches.empty());  // not installed
    notification.userMapStoreDownloadStatusChangedToForMapWithIdentifier(
        *registry, ZELDownloadStatus::installed(), "liechtenstein");
    if (DesktopLauncher::isProgramAvailable("notify-send")) {
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].front(), "notify-send");
        EXPECT_EQ(launches[0].back(), "The map of Liechtenstein is installed.");
    }

    auto chosen = CBMapInstalledNotification::notificationForMap(
        *registry->mapForIdentifier(std::string("liechtenstein")));
    EXPECT_EQ(chosen->userInfo().at("mapIdentifier"), Value(std::string("liechtenstein")));
    application_->receiveLocalNotification(*chosen);
    play("idle");
    EXPECT_EQ(registry->currentMapIdentifier(), "liechtenstein");
    EXPECT_NE(app_->mapViewController()->mapView()->currentMapStorePath().find("liechtenstein"),
              std::string::npos);
    EXPECT_TRUE(application_->takeActivationRequest());
    // A map that is gone opens nothing.
    EXPECT_FALSE(app_->openInstalledMapWithIdentifier("atlantis"));
    application_->becomeActive();
}

// A flood of broken links is one alert: the first says why, the others
// arriving while it shows make it a count; once dismissed, the next link is
// told on its own again.
TEST_F(CBKelvaraSharedAppDelegateTest, ManyBrokenLinksAtOnceGiveOneAlertWithTheirCount) {
    const auto alertsOnShow = [&] {
        std::vector<std::shared_ptr<UIAlertView>> alerts;
        for (const auto& view : app_->window->subviews())
            if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view);
                alert && alert->isVisible())
                alerts.push_back(alert);
        return alerts;
    };
    EXPECT_FALSE(app_->openLink("kelvara2://?ll=north,13&z=12"));
    ASSERT_EQ(alertsOnShow().size(), 1u);
    EXPECT_EQ(alertsOnShow()[0]->message(),
              "The link's position \"north,13\" is not LATITUDE,LONGITUDE.");
    for (int i = 1; i < 500; ++i)
        EXPECT_FALSE(app_->openLink("kelvara2://?ll=" + std::to_string(i) + ",north"));
    ASSERT_EQ(alertsOnShow().size(), 1u);
    play(R"(
expect "Cannot open the links"
expect "500 links could not be opened."
tap "OK"
)");
    EXPECT_TRUE(alertsOnShow().empty());
    EXPECT_FALSE(app_->openLink("kelvara2://?z=12"));
    play(R"(
expect "Cannot open the link"
expect "The link names no place (it has no \"ll\")."
tap "OK"
)");
    EXPECT_TRUE(alertsOnShow().empty());
}

// The open map's file damaged under the running program: the first search
// finds the store unreadable, and the user is told as at start, once: the
// shelf marks the map damaged and offers to load it again.
TEST_F(CBKelvaraSharedAppDelegateTest, AMapDamagedWhileOpenIsToldWithDownloadAgain) {
    auto registry = app_->userMapStoreEngine();
    auto map = registry->currentMap();
    ASSERT_TRUE(map);
    const auto path = map->filePath();
    ASSERT_TRUE(path && std::filesystem::exists(*path));
    {
        std::ofstream damage(*path, std::ios::binary | std::ios::trunc);
        damage << "garbage, no store of any kind\n";
    }
    play(R"(
tap "Search places and addresses"
type "Markt"
wait-for "Map damaged"
expect "The map of Neubrandenburg cannot be read: its files on this computer are damaged. Download it again from the map store?"
expect "Download again"
expect-logged "Kelvara: the installed map neubrandenburg is damaged: *" 1
)");
    EXPECT_TRUE(registry->isMapDamaged(map->identifier()));
    EXPECT_TRUE(app_->rootViewController()->isShowingShelf());
    EXPECT_FALSE(registry->currentMapIdentifier());
    // More failing reads of the map (its tiles, another search) tell nothing more.
    app_->mapViewController()
        ->mapView()
        ->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
            "Stargarder", true, false, [](const auto&) {});
    play(R"(
tap "Cancel"
idle
expect-not "Map damaged"
expect "Damaged"
)");
}

}  // namespace
