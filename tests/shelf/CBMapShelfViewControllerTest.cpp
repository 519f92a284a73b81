#include <gtest/gtest.h>

#include "CoreLocation/CLFixedLocationSource.h"
#include "Foundation/DesktopLauncher.h"
#include "Foundation/NSUserDefaults.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "PackagesTestSupport.h"
#include "ShelfTestSupport.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfCell.h"
#include "shelf/CBMapShelfViewController.h"
#include "store/CBMapStoreController.h"
#include "widgets/ZELCircularProgressView.h"
#include "widgets/ZELPatternedCollectionView.h"
#include "widgets/ZELToolTip.h"

namespace {

std::vector<std::string> names(const CBMapShelfViewController& shelf) {
    std::vector<std::string> result;
    for (const auto& map : *shelf.maps())
        result.push_back(map->localName());
    return result;
}

class CBMapShelfViewControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZELToolTip::resetShownThisRun();
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    }
    void TearDown() override { ZELToolTip::hideCurrentToolTip(); }
    void installThree() {
        ASSERT_TRUE(fixture_.install("three-rivers"));
        ASSERT_TRUE(fixture_.install("liechtenstein"));
        ASSERT_TRUE(fixture_.install("neubrandenburg"));
    }
    std::shared_ptr<CBMapShelfCell> cellAt(long item) {
        return std::dynamic_pointer_cast<CBMapShelfCell>(
            fixture_.shelf->collectionView()->cellForItemAtIndexPath(
                NSIndexPath::indexPathForItemInSection(item, 0)));
    }
    void tapItem(long item) {
        auto view = fixture_.shelf->collectionView();
        view->delegate()->collectionViewDidSelectItemAtIndexPath(
            *view, NSIndexPath::indexPathForItemInSection(item, 0));
    }
    // The shelf shows Three Rivers while its package comes at the rate.
    void showShelfWhileThreeRiversLoadsAt(const std::string& throttle) {
        fixture_.faultPackage("three-rivers", throttle);
        fixture_.queue("three-rivers");
        ASSERT_TRUE(runUntil(
            [&] { return fixture_.registry->mapForIdentifier("three-rivers") != nullptr; }));
        fixture_.showShelf();
    }
    // What the first cover's ring reads: "In progress" while its download moves.
    std::vector<std::string> ringTexts() {
        std::vector<std::string> texts;
        if (auto ring = cellAt(0)->existingProgressView())
            for (const auto& text : ring->visibleTexts())
                texts.push_back(text.text);
        return texts;
    }
    ShelfFixture fixture_;
};

TEST_F(CBMapShelfViewControllerTest, AnEmptyShelfOffersOnlyTheStore) {
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    EXPECT_TRUE(shelf.maps()->empty());
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 1);
    auto add = cellAt(0);
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->label()->text(), "Add map");
    EXPECT_FALSE(add->canShowAccessoryButtons());
    ASSERT_NE(shelf.searchBar(), nullptr);
    EXPECT_EQ(shelf.searchBar()->placeholder(), "");
    auto sort = shelf.sortSegmentedControl();
    ASSERT_NE(sort, nullptr);
    EXPECT_FALSE(sort->isEnabled());
    EXPECT_EQ(sort->alpha(), 0);
    // Without location use there is no distance order.
    EXPECT_EQ(sort->numberOfSegments(), 2);
    EXPECT_NE(ZELToolTip::currentToolTip(), nullptr);
    // Showing the shelf forgets the current map, so the next start shows it.
    EXPECT_FALSE(fixture_.registry->currentMapIdentifier());

    tapItem(0);
    EXPECT_TRUE(runUntil([&] {
        return std::dynamic_pointer_cast<CBMapStoreController>(shelf.presentedViewController()) !=
               nullptr;
    }));
}

TEST_F(CBMapShelfViewControllerTest, AShelfOfThreeMapsAsksOnceForAReviewOrFeedback) {
    ASSERT_TRUE(fixture_.install("three-rivers"));
    ASSERT_TRUE(fixture_.install("liechtenstein"));
    fixture_.host->reviewAllowed = true;
    // Two maps are not enough.
    fixture_.showShelf();
    EXPECT_EQ(fixture_.shelf->currentAlert(), nullptr);
    EXPECT_FALSE(fixture_.host->askedForReview);
    ASSERT_TRUE(fixture_.install("neubrandenburg"));
    fixture_.showShelf();
    auto alert = fixture_.shelf->currentAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->tag(), CBMapShelfViewController::kReviewRequestAlertTag);
    EXPECT_EQ(alert->title(), "Do you like Kelvara?");
    ASSERT_EQ(alert->numberOfButtons(), 3);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "Write a review");
    EXPECT_EQ(alert->buttonTitleAtIndex(2), "Send feedback");
    EXPECT_TRUE(fixture_.host->askedForReview);

    std::vector<std::vector<std::string>> launched;
    bool mailProgram = false;
    DesktopLauncher::setLauncher([&](const std::vector<std::string>& argv) {
        launched.push_back(argv);
        return true;
    });
    DesktopLauncher::setLookup([&](const std::string&) { return mailProgram; });
    alert->dismissWithClickedButtonIndexAnimated(1, false);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0],
              (std::vector<std::string>{
                  "xdg-open", "https://apps.example.org/app/kelvara?action=write-review"}));

    // Feedback without a mail program: the alert that says so, nothing else.
    alert->show();
    alert->dismissWithClickedButtonIndexAnimated(2, false);
    ASSERT_NE(fixture_.shelf->currentAlert(), alert);
    EXPECT_EQ(fixture_.shelf->currentAlert()->title(), "No mail program");
    EXPECT_EQ(fixture_.shelf->presentedViewController(), nullptr);
    fixture_.shelf->currentAlert()->dismissWithClickedButtonIndexAnimated(0, false);
    mailProgram = true;
    alert->show();
    alert->dismissWithClickedButtonIndexAnimated(2, false);
    auto mail = std::dynamic_pointer_cast<MFMailComposeViewController>(
        fixture_.shelf->presentedViewController());
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->mailComposeDelegate(), fixture_.shelf);
    mail->cancel();
    EXPECT_TRUE(runUntil([&] { return fixture_.shelf->presentedViewController() == nullptr; }));
    EXPECT_EQ(launched.size(), 1u);
    DesktopLauncher::setLauncher(nullptr);
    DesktopLauncher::setLookup(nullptr);

    // Asked once: the next shelf does not ask again.
    fixture_.showShelf();
    EXPECT_EQ(fixture_.shelf->currentAlert(), nullptr);
}

TEST_F(CBMapShelfViewControllerTest, SortsByNameAndRecentUseAndFiltersBySearch) {
    installThree();
    auto& defaults = *NSUserDefaults::standardUserDefaults();
    defaults.setIntegerForKey(0, CBMapShelfViewController::kSortingDefaultsKey);
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    EXPECT_EQ(names(shelf),
              (std::vector<std::string>{"Liechtenstein", "Neubrandenburg", "Three Rivers"}));
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 4);
    EXPECT_TRUE(shelf.sortSegmentedControl()->isEnabled());
    EXPECT_EQ(shelf.sortSegmentedControl()->selectedSegmentIndex(), 1);
    EXPECT_EQ(cellAt(0)->label()->text(), "Liechtenstein");
    EXPECT_EQ(cellAt(3)->label()->text(), "Add map");

    // The most recently used first.
    fixture_.registry->setCurrentMap(fixture_.registry->mapForIdentifier("three-rivers"));
    fixture_.registry->setCurrentMap(fixture_.registry->mapForIdentifier("neubrandenburg"));
    shelf.sortSegmentedControl()->setSelectedSegmentIndex(0);
    shelf.sortSegmentedControl()->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(shelf.shelfSortType(), CBMapShelfViewController::SortByRecent);
    EXPECT_EQ(defaults.integerForKey(CBMapShelfViewController::kSortingDefaultsKey), 1);
    EXPECT_EQ(names(shelf)[0], "Neubrandenburg");
    EXPECT_EQ(names(shelf)[1], "Three Rivers");

    // A later word may start with the text; case and accents do not count;
    // the text inside a word does not match.
    shelf.searchBar()->setText("RÍV");
    shelf.searchBarTextDidChange(*shelf.searchBar(), "RÍV");
    EXPECT_EQ(names(shelf), (std::vector<std::string>{"Three Rivers"}));
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 2);
    shelf.searchBar()->setText("stein");
    shelf.searchBarTextDidChange(*shelf.searchBar(), "stein");
    EXPECT_TRUE(names(shelf).empty());
    // A hidden map has no cover to return to.
    EXPECT_EQ(shelf.rectForMapWithIdentifierScrollToViewIfNeeded("liechtenstein", true),
              CGRectZero);
    shelf.searchBarCancelButtonClicked(*shelf.searchBar());
    EXPECT_EQ(names(shelf).size(), 3u);
    EXPECT_EQ(shelf.searchBar()->text(), "");
    EXPECT_EQ(shelf.collectionView()->numberOfItemsInSection(0), 4);
    EXPECT_EQ(shelf.rectForMapWithIdentifierScrollToViewIfNeeded("liechtenstein", false),
              shelf.collectionView()
                  ->layoutAttributesForItemAtIndexPath(
                      *shelf.indexPathForMap(shelf.mapForIdentifier("liechtenstein")))
                  ->frame);
    EXPECT_EQ(shelf.rectForMapWithIdentifierScrollToViewIfNeeded(std::nullopt, false), CGRectZero);
}

TEST_F(CBMapShelfViewControllerTest, DeletionIsRefusedWhileTheEngineHoldsThePackage) {
    ASSERT_TRUE(fixture_.install("liechtenstein"));
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    auto map = shelf.mapForIdentifier("liechtenstein");
    ASSERT_NE(map, nullptr);
    // An update of the package is queued and held in the engine.
    fixture_.downloads->setResumeDisabled(true);
    fixture_.queue("liechtenstein");
    auto download = fixture_.downloads->downloadForIdentifierOfType("liechtenstein", "map");
    ASSERT_NE(download, nullptr);
    for (int state : {2, 3, 4, 7, 8}) {
        download->setDownloadState(state);
        shelf.deleteMap(map);
        ASSERT_NE(shelf.currentAlert(), nullptr);
        EXPECT_EQ(shelf.currentAlert()->title(), "The map is being installed") << state;
        EXPECT_EQ(shelf.currentAlert()->numberOfButtons(), 1);
        EXPECT_EQ(shelf.mapToDelete(), nullptr);
        shelf.currentAlert()->dismissWithClickedButtonIndexAnimated(0, false);
    }
    EXPECT_NE(fixture_.registry->mapForIdentifier("liechtenstein"), nullptr);

    // Waiting or failed downloads do not hold the files: deletion is asked.
    download->setDownloadState(0);
    shelf.deleteMap(map);
    auto alert = shelf.currentAlert();
    EXPECT_EQ(alert->title(), "Delete map");
    EXPECT_EQ(alert->message(),
              "Delete the map of Liechtenstein and everything downloaded with it?");
    EXPECT_EQ(alert->tag(), CBMapShelfViewController::kDeleteAlertTag);
    EXPECT_EQ(shelf.mapToDelete(), map);
    // Cancel keeps the map.
    alert->dismissWithClickedButtonIndexAnimated(alert->cancelButtonIndex(), false);
    EXPECT_EQ(shelf.mapToDelete(), nullptr);
    EXPECT_NE(fixture_.registry->mapForIdentifier("liechtenstein"), nullptr);

    shelf.deleteMap(map);
    shelf.currentAlert()->dismissWithClickedButtonIndexAnimated(
        shelf.currentAlert()->firstOtherButtonIndex(), false);
    ASSERT_TRUE(runUntil([&] { return shelf.maps()->empty(); }, 10));
    EXPECT_EQ(fixture_.registry->mapForIdentifier("liechtenstein"), nullptr);
}

TEST_F(CBMapShelfViewControllerTest, EditModeButtonsCarryTheirItemInTheirTag) {
    ASSERT_TRUE(fixture_.install("liechtenstein"));
    ASSERT_TRUE(fixture_.install("neubrandenburg"));
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    EXPECT_FALSE(CBMapShelfViewController::mapIndexPathForViewWithTag(9));
    EXPECT_EQ(CBMapShelfViewController::mapIndexPathForViewWithTag(11)->row, 1);
    shelf.setEditingAnimated(true, false);
    EXPECT_FALSE(cellAt(1)->accessoryButtonsHidden());
    EXPECT_TRUE(cellAt(2)->accessoryButtonsHidden()) << "the add-map cell";
    EXPECT_EQ(cellAt(1)->buttonDelete()->tag(), 11);
    // The delete button of the second cover asks about Neubrandenburg.
    cellAt(1)->buttonDelete()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_NE(shelf.mapToDelete(), nullptr);
    EXPECT_EQ(shelf.mapToDelete()->identifier(), "neubrandenburg");
    shelf.currentAlert()->dismissWithClickedButtonIndexAnimated(0, false);
    // A cover does not open while editing.
    tapItem(0);
    EXPECT_EQ(fixture_.host->transitions, 0);
    shelf.reset();
    fixture_.layout();
    EXPECT_FALSE(shelf.isEditing());
    ASSERT_NE(cellAt(1), nullptr);
    EXPECT_TRUE(cellAt(1)->accessoryButtonsHidden());
}

TEST_F(CBMapShelfViewControllerTest, ADownloadingMapShowsItsRingAndDoesNotOpen) {
    ASSERT_NO_FATAL_FAILURE(showShelfWhileThreeRiversLoadsAt("throttle=20000"));
    auto& shelf = *fixture_.shelf;
    ASSERT_EQ(shelf.maps()->size(), 1u);
    ASSERT_TRUE(runUntil([&] {
        auto ring = cellAt(0)->existingProgressView();
        return ring && ring->progress() > 0;
    }));
    tapItem(0);
    ASSERT_NE(shelf.currentAlert(), nullptr);
    EXPECT_EQ(shelf.currentAlert()->title(), "Not ready yet");
    EXPECT_EQ(shelf.currentAlert()->buttonTitleAtIndex(0), "OK");
    EXPECT_EQ(fixture_.host->transitions, 0);
    EXPECT_FALSE(fixture_.registry->currentMapIdentifier());
    fixture_.downloads->pauseDownloads();
}

// The engine's messages about a map's download reach the cover as the
// registry's do: the ring takes the progress, the cover the status.
TEST_F(CBMapShelfViewControllerTest, TheEnginesDownloadMessagesReachTheCover) {
    ASSERT_NO_FATAL_FAILURE(showShelfWhileThreeRiversLoadsAt("throttle=20000"));
    auto& shelf = *fixture_.shelf;
    EXPECT_EQ(shelf.userMapStoreEngine(), fixture_.registry);
    EXPECT_NE(shelf.blurredCoverForAddMapCell(), nullptr);
    ASSERT_TRUE(runUntil([&] { return cellAt(0)->existingProgressView() != nullptr; }));
    fixture_.downloads->pauseDownloads();
    auto download = fixture_.downloads->downloadForIdentifierOfType("three-rivers", "map");
    ASSERT_NE(download, nullptr);
    shelf.downloadManagerUpdatedProgressToForDownload(*fixture_.downloads, 0.25, download);
    EXPECT_FLOAT_EQ(cellAt(0)->existingProgressView()->progress(), 0.25f);
    cellAt(0)->setStatusText(std::nullopt);
    shelf.downloadManagerFinishedLoadingDownload(*fixture_.downloads, download);
    EXPECT_EQ(cellAt(0)->statusLabel()->text(), "Waiting");
}

// An update loads beside the installed files: the map opens as it is while
// the update's ring turns on its cover.
TEST_F(CBMapShelfViewControllerTest, AMapWhoseUpdateLoadsOpensAsInstalled) {
    ASSERT_TRUE(fixture_.install("three-rivers"));
    ASSERT_NO_FATAL_FAILURE(showShelfWhileThreeRiversLoadsAt("throttle=20000"));
    ASSERT_TRUE(runUntil([&] {
        auto ring = cellAt(0)->existingProgressView();
        return ring && ring->progress() > 0;
    }));
    ASSERT_TRUE(fixture_.registry->mapForIdentifier("three-rivers")->isDownloading());
    tapItem(0);
    EXPECT_EQ(fixture_.shelf->currentAlert(), nullptr);
    EXPECT_EQ(fixture_.registry->currentMapIdentifier(), "three-rivers");
    ASSERT_TRUE(runUntil([&] { return fixture_.host->transitions == 1; }, 5));
    fixture_.downloads->pauseDownloads();
}

// A stopped download says so on its cover, and the cover offers to go on:
// a paused one resumes, a failed one tells why and is retried.
TEST_F(CBMapShelfViewControllerTest, APausedOrFailedDownloadSaysSoOnItsCoverAndGoesOn) {
    ASSERT_NO_FATAL_FAILURE(showShelfWhileThreeRiversLoadsAt("throttle=20000"));
    auto& shelf = *fixture_.shelf;
    ASSERT_TRUE(runUntil([&] {
        return fixture_.registry->downloadStatusForMapIdentifier("three-rivers").bytesLoaded > 0;
    }));
    fixture_.layout();
    ASSERT_NE(cellAt(0), nullptr);
    EXPECT_TRUE(cellAt(0)->statusLabel()->isHidden());
    EXPECT_EQ(ringTexts(), std::vector<std::string>{"In progress"});

    fixture_.downloads->pauseDownloads();
    EXPECT_FALSE(cellAt(0)->statusLabel()->isHidden());
    EXPECT_EQ(cellAt(0)->statusLabel()->text(), "Waiting");
    // The ring stands still at what was loaded.
    ASSERT_NE(cellAt(0)->existingProgressView(), nullptr);
    EXPECT_GT(cellAt(0)->existingProgressView()->progress(), 0);
    EXPECT_TRUE(ringTexts().empty());
    tapItem(0);
    ASSERT_NE(shelf.currentAlert(), nullptr);
    EXPECT_EQ(shelf.currentAlert()->title(), "Download paused");
    EXPECT_EQ(
        shelf.currentAlert()->buttonTitleAtIndex(shelf.currentAlert()->firstOtherButtonIndex()),
        "Resume");
    // The server now refuses the file: resuming ends in a failure.
    fixture_.faultPackage("three-rivers", "status=500");
    shelf.currentAlert()->dismissWithClickedButtonIndexAnimated(
        shelf.currentAlert()->firstOtherButtonIndex(), false);
    EXPECT_FALSE(fixture_.downloads->isPaused());
    ASSERT_TRUE(runUntil([&] {
        return fixture_.registry->downloadStatusForMapIdentifier("three-rivers").phase ==
               ZELDownloadPhase::Failed;
    }));
    EXPECT_EQ(cellAt(0)->statusLabel()->text(), "Download failed");
    EXPECT_NE(cellAt(0)->existingProgressView(), nullptr);
    EXPECT_TRUE(ringTexts().empty());

    tapItem(0);
    ASSERT_NE(shelf.currentAlert(), nullptr);
    EXPECT_EQ(shelf.currentAlert()->title(), "Download failed");
    EXPECT_EQ(shelf.currentAlert()->message(),
              "The download of Three Rivers failed: the map store refused the file. Retry "
              "goes on from where it stopped.");
    EXPECT_EQ(fixture_.host->transitions, 0);
    fixture_.server->clearFaults();
    shelf.currentAlert()->dismissWithClickedButtonIndexAnimated(
        shelf.currentAlert()->firstOtherButtonIndex(), false);
    EXPECT_TRUE(cellAt(0)->statusLabel()->isHidden());
    EXPECT_TRUE(fixture_.waitForInstall("three-rivers"));
    EXPECT_TRUE(fixture_.resumedWithRange());
}

// A download that fails before a byte arrives has nothing to show on a
// ring: the cover says it failed, and the ring goes.
TEST_F(CBMapShelfViewControllerTest, ADownloadThatFailedWithNothingLoadedShowsNoRing) {
    // The server holds its refusal back until the shelf shows the loading map.
    ASSERT_NO_FATAL_FAILURE(showShelfWhileThreeRiversLoadsAt("status=500&hold=1"));
    ASSERT_NE(cellAt(0), nullptr);
    ASSERT_NE(cellAt(0)->existingProgressView(), nullptr);
    EXPECT_EQ(ringTexts(), std::vector<std::string>{"In progress"});
    const auto url =
        fixture_.catalogue->urlForMap(fixture_.catalogue->mapForIdentifier("three-rivers"));
    fixture_.server->release(url->substr(fixture_.server->baseURL().size()));
    ASSERT_TRUE(runUntil([&] {
        return fixture_.registry->downloadStatusForMapIdentifier("three-rivers").phase ==
               ZELDownloadPhase::Failed;
    }));
    fixture_.layout();
    ASSERT_NE(cellAt(0), nullptr);
    EXPECT_EQ(cellAt(0)->statusLabel()->text(), "Download failed");
    EXPECT_TRUE(ringTexts().empty());
    EXPECT_TRUE(runUntil([&] { return cellAt(0)->existingProgressView() == nullptr; }));
    // Shown anew, the cover has no ring either.
    fixture_.showShelf();
    EXPECT_EQ(cellAt(0)->existingProgressView(), nullptr);
    EXPECT_EQ(cellAt(0)->statusLabel()->text(), "Download failed");
}

TEST_F(CBMapShelfViewControllerTest, ACoverCachedDuringTheDownloadReplacesTheStandInAtTheInstall) {
    ASSERT_NO_FATAL_FAILURE(showShelfWhileThreeRiversLoadsAt("throttle=60000"));
    ASSERT_NE(cellAt(0), nullptr);
    // Nothing has fetched the cover yet: the shelf draws a stand-in.
    ASSERT_FALSE(showsServedCover(*cellAt(0), "US-MI/three-rivers"));
    // The store's detail screen fetches the catalogue's cover meanwhile.
    bool cached = false;
    ASSERT_EQ(fixture_.catalogue->coverImageForMapCompletion(
                  fixture_.catalogue->mapForIdentifier("three-rivers"),
                  [&](const std::shared_ptr<UIImage>&) { cached = true; }),
              nullptr);
    ASSERT_TRUE(runUntil([&] { return cached; }));
    ASSERT_TRUE(fixture_.waitForInstall("three-rivers"));
    EXPECT_TRUE(fixture_.waitForServedCover("US-MI/three-rivers"));
    fixture_.settle();
    auto cell = cellAt(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(showsServedCover(*cell, "US-MI/three-rivers"));
    auto map = fixture_.shelf->mapForIdentifier("three-rivers");
    ASSERT_NE(map->blurredCoverImage, nullptr);
    EXPECT_EQ(cell->labelBackgroundView()->image(), map->blurredCoverImage);
}

TEST_F(CBMapShelfViewControllerTest, TappingACoverMakesItCurrentAndZoomsItOverTheWindow) {
    installThree();
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    tapItem(1);
    EXPECT_EQ(fixture_.registry->currentMapIdentifier(), "neubrandenburg");
    EXPECT_TRUE(shelf.isAnimating());
    EXPECT_FALSE(shelf.shouldAutorotate());
    ASSERT_TRUE(runUntil([&] { return fixture_.host->transitions == 1; }, 5));
    // The 88 × 133 inside of the border covers the 320 × 568 window.
    const auto transform = shelf.navigationController()->view()->transform();
    EXPECT_NEAR(transform.a, 568.0 / 133.0, 1e-3);
    EXPECT_NEAR(transform.d, 568.0 / 133.0, 1e-3);
    // The band slid out of the cover.
    EXPECT_EQ(cellAt(1)->label()->frame().origin.y, 135);
    EXPECT_FALSE(shelf.isAnimating());
}

TEST_F(CBMapShelfViewControllerTest, DistanceOrderWaitsForAFreshLocation) {
    installThree();
    CLLocationManager::setLocationSource(
        std::make_shared<CLFixedLocationSource>(CLLocationCoordinate2D{41.94, -85.63}));
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
    NSUserDefaults::standardUserDefaults()->setIntegerForKey(
        0, CBMapShelfViewController::kSortingDefaultsKey);
    fixture_.showShelf();
    auto& shelf = *fixture_.shelf;
    auto sort = shelf.sortSegmentedControl();
    ASSERT_EQ(sort->numberOfSegments(), 3);
    sort->setSelectedSegmentIndex(2);
    sort->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(shelf.shelfSortType(), CBMapShelfViewController::SortByDistance);
    ASSERT_TRUE(runUntil([&] { return names(shelf).front() == "Three Rivers"; }, 5));
    EXPECT_FALSE(shelf.locationActivityIndicatorView()->isAnimating());
    EXPECT_FALSE(shelf.locationManager()->isUpdatingLocation());
    EXPECT_LT(*shelf.maps()->front()->currentDistance, 20000);

    // Without authorisation the stored distance order falls back to recent use.
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    shelf.locationManagerDidChangeAuthorizationStatus(*shelf.locationManager(),
                                                      kCLAuthorizationStatusDenied);
    EXPECT_EQ(shelf.sortSegmentedControl()->numberOfSegments(), 2);
    EXPECT_EQ(shelf.shelfSortType(), CBMapShelfViewController::SortByRecent);
    EXPECT_EQ(shelf.sortSegmentedControl()->selectedSegmentIndex(), 0);
    CLLocationManager::setLocationSource(nullptr);
}

}  // namespace
