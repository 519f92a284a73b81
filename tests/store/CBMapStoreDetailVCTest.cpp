#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "Foundation/NSUserDefaults.h"
#include "Host/HostScenario.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UIWindow.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"
#include "widgets/CBStatsBar.h"
#include "widgets/ZELRoundedGradientButton.h"
#include "widgets/ZELToolTip.h"

namespace {

class CBMapStoreDetailVCTest : public ::testing::Test {
  protected:
    std::shared_ptr<CBMapStoreDetailVC> open(const std::string& identifier) {
        auto map = store_.catalogue->mapForIdentifier(identifier);
        EXPECT_NE(map, nullptr);
        auto screen =
            CBMapStoreDetailVC::create(map, store_.downloads, store_.catalogue, store_.registry);
        store_.show(screen);
        return screen;
    }
    std::string buttonTitle(const CBMapStoreDetailVC& screen) {
        return screen.downloadMapButton()->titleForState(UIControlStateNormal).value_or("");
    }
    StoreFixture store_;
};

TEST_F(CBMapStoreDetailVCTest, ACatalogueMapShowsItsStatisticsCoverAndDownloadsToInstalled) {
    auto screen = open("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    EXPECT_TRUE(screen->updatingView()->isHidden() || screen->updatingView()->alpha() < 1.0);
    EXPECT_EQ(screen->title(), "Liechtenstein");
    EXPECT_EQ(buttonTitle(*screen), "Download map");
    EXPECT_TRUE(screen->downloadMapButton()->isEnabled());
    EXPECT_NE(screen->generalMapStats()->text().find(" MB"), std::string::npos);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(screen->statsBar()->labels()[i]->text(),
                  std::to_string(*(i == 0   ? screen->mapInfo()->numberOfShops()
                                   : i == 1 ? screen->mapInfo()->numberOfRestaurants()
                                            : screen->mapInfo()->numberOfPubs())));
    EXPECT_NE(screen->statsBar()->labels()[0]->text(), "0");
    ASSERT_TRUE(runUntil([&] { return screen->mapCoverView()->image() != nullptr; }));

    store_.faultPackage("liechtenstein", "throttle=400000");
    screen->downloadMapButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_NE(screen->mapDownload(), nullptr);
    EXPECT_FALSE(screen->downloadMapButton()->isEnabled());
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Downloading map"; }));
    EXPECT_FALSE(screen->mapProgress()->isHidden());
    // The progress bar has its own place: the version line stays.
    EXPECT_FALSE(screen->generalMapStats()->isHidden());
    ASSERT_TRUE(runUntil([&] { return screen->mapProgress()->progress() > 0.05f; }));
    float seen = screen->mapProgress()->progress();
    ASSERT_TRUE(runUntil([&] { return screen->mapProgress()->progress() > seen; }));

    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Map downloaded"; }, 120));
    EXPECT_FALSE(screen->downloadMapButton()->isEnabled());
    EXPECT_NE(store_.registry->mapForIdentifier("liechtenstein"), nullptr);
    // Installed, the cover can be changed: "Edit" under it, clear of the
    // credit at its foot.
    store_.layout();
    const CGRect cover = screen->mapCoverView()->frame();
    const CGRect edit = screen->editCoverLabel()->frame();
    EXPECT_FALSE(screen->editCoverLabel()->isHidden());
    EXPECT_GE(edit.origin.y, CGRectGetMaxY(cover));
    EXPECT_EQ(edit.size.width, cover.size.width);
    EXPECT_LE(CGRectGetMaxY(edit), CGRectGetMaxY(screen->mapCoverView()->superview()->bounds()));
}

// An installed map with no newer version in the catalogue says so on a
// button that is disabled, looks it and does nothing when tapped.
TEST_F(CBMapStoreDetailVCTest, AnInstalledCurrentMapSaysSoOnADisabledButton) {
    store_.install("neubrandenburg");
    auto screen = open("neubrandenburg");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    auto button = screen->downloadMapButton();
    EXPECT_EQ(buttonTitle(*screen), "Map downloaded");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_NE(button->titleLabel()->textColor(),
              button->titleColorForState(UIControlStateNormal).value());

    store_.layout();
    const CGRect frame = button->convertRectToView(button->bounds(), nullptr);
    const CGPoint middle{CGRectGetMidX(frame), CGRectGetMidY(frame)};
    // The finger lands on the button itself, nothing covers it.
    auto hit = store_.window->hitTest(middle, nullptr);
    EXPECT_TRUE(hit == button || (hit && hit->isDescendantOfView(button.get())));
    TouchDriver(store_.window).tap(middle);
    runUntil([] { return false; }, 0.3);
    EXPECT_FALSE(store_.downloads->downloadForIdentifierOfType("neubrandenburg", "map"));
    EXPECT_EQ(buttonTitle(*screen), "Map downloaded");
}

TEST_F(CBMapStoreDetailVCTest, TheScreenLeavesItsBreadcrumbsAndTheCoverTipLeavesTheStatsInSight) {
    store_.install("neubrandenburg");
    ZELToolTip::resetShownThisRun();
    auto screen = open("neubrandenburg");
    auto crumbs =
        NSUserDefaults::standardUserDefaults()->dictionaryForKey(CrashInformation::kDictionaryKey);
    ASSERT_TRUE(crumbs);
    EXPECT_EQ(crumbs->at("vc"), Value(std::string("CBMapStoreDetailVC")));
    EXPECT_EQ(crumbs->at("map"), Value(std::string("neubrandenburg")));
    EXPECT_TRUE(crumbs->count("mapDateAdded"));

    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    store_.layout();
    auto tip = ZELToolTip::currentToolTip();
    ASSERT_NE(tip, nullptr);
    const CGRect shown = tip->convertRectToView(tip->bounds(), nullptr);
    for (const auto& view : std::initializer_list<std::shared_ptr<UIView>>{
             screen->generalMapStats(), screen->statsBar(), screen->downloadMapButton()})
        EXPECT_FALSE(CGRectIntersectsRect(shown, view->convertRectToView(view->bounds(), nullptr)));
}

// The statistics the store could not give: said once, with a way to ask
// again that works once the store answers.
TEST_F(CBMapStoreDetailVCTest, MapInformationThatCouldNotBeLoadedIsAskedForAgain) {
    store_.server->fault("/map/LI_master_Stats.plist", "status=500");
    auto screen = open("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return !screen->retryInfoButton()->isHidden(); }));
    EXPECT_EQ(screen->updatingLabel()->text(), "The map information could not be loaded.");
    EXPECT_TRUE(screen->downloadMapButton()->isHidden());
    EXPECT_TRUE(store_.waitUntilShown("Try again"));

    store_.server->clearFaults();
    screen->retryInfoButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_TRUE(screen->retryInfoButton()->isHidden());
    EXPECT_EQ(screen->updatingLabel()->text(), "Updating map information…");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    EXPECT_FALSE(screen->downloadMapButton()->isHidden());
    EXPECT_EQ(buttonTitle(*screen), "Download map");
}

// Without its tile service the preview shows the grid of tiles still to
// come around the outline; once the service answers, its land (a small map
// is shown no closer than the layer has tiles for).
TEST_F(CBMapStoreDetailVCTest, ThePreviewShowsTheCheckerUntilTheTileServiceAnswers) {
    const int port = store_.tiles->port();
    store_.tiles.reset();
    // Four points beside the outline in the middle, two cells of the checker
    // apart across and one apart down.
    auto pixels = [&](CBMapStoreDetailVC& screen) {
        store_.layout();
        auto image = store_.window->renderImage(1);
        const CGRect preview =
            screen.mapView()->convertRectToView(screen.mapView()->bounds(), nullptr);
        std::vector<uint32_t> found;
        for (CGFloat dx : {0.0, 32.0})
            for (CGFloat dy : {0.0, 16.0})
                found.push_back(image->pixelAt(size_t(CGRectGetMaxX(preview) - 40 + dx),
                                               size_t(preview.origin.y + 20 + dy)) &
                                0xFFFFFF);
        return found;
    };
    auto offline = open("three-rivers");
    ASSERT_NE(offline->mapView(), nullptr);
    ASSERT_TRUE(HostRunScenario(store_.window, "idle\n").passed);
    auto checker = pixels(*offline);
    EXPECT_EQ(checker[0], checker[2]) << std::hex << checker[0];
    EXPECT_NE(checker[0], checker[1]) << std::hex << checker[0];

    store_.tiles = std::make_unique<TileServerProcess>(
        std::vector<std::string>{"--port", std::to_string(port)});
    ASSERT_TRUE(store_.tiles->running());
    auto online = open("three-rivers");
    auto isLand = [](uint32_t p) {
        return std::abs(int(p >> 16) - 0xF2) <= 2 && std::abs(int((p >> 8) & 0xFF) - 0xEF) <= 2 &&
               std::abs(int(p & 0xFF) - 0xE9) <= 2;
    };
    // The tiles come over the network while the screen settles.
    bool landShown = false;
    for (int settled = 0; settled < 50 && !landShown; ++settled) {
        ASSERT_TRUE(HostRunScenario(store_.window, "idle\n").passed);
        const auto shown = pixels(*online);
        landShown = std::all_of(shown.begin(), shown.end(), isLand);
    }
    EXPECT_TRUE(landShown);
}

TEST_F(CBMapStoreDetailVCTest, AFailedDownloadIsReportedOnceWithItsReasonAndRetried) {
    auto screen = open("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    store_.faultPackage("liechtenstein", "status=500");
    screen->downloadMap();
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Retry download"; }));
    EXPECT_TRUE(screen->downloadMapButton()->isEnabled());
    EXPECT_FALSE(screen->mapStatusLabel()->isHidden());
    EXPECT_EQ(screen->mapStatusLabel()->text(), "Failed: the map store refused the file");
    // The engine may report the same download failing again; one alert only,
    // saying the reason rather than blaming the connection.
    screen->downloadManagerFailedToLoadDownload(*store_.downloads, screen->mapDownload());
    size_t alerts = 0;
    for (const auto& view : store_.window->subviews())
        if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view))
            alerts += alert->title() == "Download failed" &&
                      alert->message().find("the map store refused the file") != std::string::npos;
    EXPECT_EQ(alerts, 1u);

    store_.server->clearFaults();
    screen->downloadMapButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_TRUE(screen->mapStatusLabel()->isHidden());
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Map downloaded"; }, 120));
}

// Keeps every map package from being unpacked.
class MapUnpackingRefusal : public ZELDownloadManagerEngineDelegate {
  public:
    std::optional<bool> downloadManagerShouldUnzipDownload(ZELDownloadManagerEngine&,
                                                           const Download& download) override {
        return download->type() == "map" ? std::optional<bool>(false) : std::nullopt;
    }
};

// A package the application would not have unpacked is not installed, and
// the screen says why.
TEST_F(CBMapStoreDetailVCTest, APackageThatWasNotUnpackedIsNotInstalledAndTheScreenSaysWhy) {
    auto refusal = std::make_shared<MapUnpackingRefusal>();
    store_.downloads->addDelegate(refusal);
    auto screen = open("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    screen->downloadMap();
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Retry download"; }));
    EXPECT_EQ(screen->mapStatusLabel()->text(), "Failed: the package was loaded but not unpacked");
    const auto status = store_.registry->downloadStatusForMapIdentifier("liechtenstein");
    EXPECT_EQ(status.phase, ZELDownloadPhase::Failed);
    EXPECT_EQ(status.failure, ZELDownloadFailure::NotUnpacked);
    const auto record = store_.registry->mapForIdentifier("liechtenstein");
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(std::filesystem::exists(*record->filePath()));
    EXPECT_TRUE(std::filesystem::exists(screen->mapDownload()->zipPath()));
}

// An archive that could not be unpacked is a failed download, not one still
// loading.
TEST_F(CBMapStoreDetailVCTest, AnArchiveThatCannotBeUnpackedSaysTheDownloadFailed) {
    store_.downloads->setResumeDisabled(true);
    auto screen = open("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    screen->downloadMap();
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Download pending"; }));
    EXPECT_FALSE(screen->downloadMapButton()->isEnabled());
    screen->mapDownload()->setDownloadState(ZELDownloadStateUnzipFailed);
    screen->updateDownloadButtons();
    EXPECT_EQ(buttonTitle(*screen), "Retry download");
    EXPECT_EQ(screen->mapStatus().phase, ZELDownloadPhase::Failed);
    EXPECT_TRUE(screen->mapProgress()->isHidden());
    EXPECT_EQ(screen->mapStatusLabel()->text(), "Download failed");
}

// The download carries the catalogue's size, which bounds it; while the
// package unpacks the button says so, and a package the store sent damaged
// says that, with what to do about it.
TEST_F(CBMapStoreDetailVCTest, ADamagedPackageSaysWhatHappenedAndWhatToDo) {
    store_.downloads->setResumeDisabled(true);
    auto screen = open("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    screen->downloadMap();
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Download pending"; }));
    EXPECT_EQ(screen->mapDownload()->downloadSize(), screen->mapInfo()->fileSize());
    screen->mapDownload()->setDownloadState(ZELDownloadStateUnzipping);
    screen->updateDownloadButtons();
    EXPECT_EQ(buttonTitle(*screen), "Extracting");
    screen->mapDownload()->setDownloadState(ZELDownloadStateWaiting);

    store_.faultPackage("liechtenstein", "badMd5=1");
    store_.downloads->setResumeDisabled(false);
    store_.downloads->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Retry download"; }));
    EXPECT_EQ(screen->mapStatusLabel()->text(), "Failed: the map store sent a damaged package");
    size_t alerts = 0;
    for (const auto& view : store_.window->subviews())
        if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view))
            alerts += alert->message() ==
                      "The download failed: the map store sent a damaged package. Try again "
                      "later: the package is then loaded anew.";
    EXPECT_EQ(alerts, 1u);
}

// A download of a held queue waits, and its button resumes it.
TEST_F(CBMapStoreDetailVCTest, APausedDownloadSaysSoAndResumes) {
    auto screen = open("three-rivers");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    store_.faultPackage("three-rivers", "throttle=20000");
    screen->downloadMap();
    ASSERT_TRUE(runUntil([&] { return store_.downloads->isDownloading(); }));
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Downloading map"; }));
    ASSERT_TRUE(runUntil([&] { return screen->mapDownload()->bytesLoaded().value_or(0) > 10000; }));
    store_.downloads->pauseDownloads();
    EXPECT_EQ(buttonTitle(*screen), "Resume download");
    EXPECT_TRUE(screen->downloadMapButton()->isEnabled());
    EXPECT_EQ(screen->mapStatusLabel()->text(), "Waiting");
    EXPECT_TRUE(screen->mapProgress()->isHidden());

    store_.server->clearFaults();
    screen->downloadMapButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_FALSE(store_.downloads->isPaused());
    EXPECT_EQ(buttonTitle(*screen), "Downloading map");
    EXPECT_TRUE(screen->mapStatusLabel()->isHidden());
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Map downloaded"; }, 120));
    EXPECT_TRUE(store_.resumedWithRange());
}

// The engine's messages about a download of this map bring the buttons up
// to date and move the progress bar; those about other maps change nothing.
TEST_F(CBMapStoreDetailVCTest, TheEnginesDownloadMessagesBringTheScreenUpToDate) {
    auto screen = open("three-rivers");
    EXPECT_EQ(screen->downloadManager(), store_.downloads);
    EXPECT_EQ(screen->engine(), store_.catalogue);
    EXPECT_FALSE(screen->showRightBarButtonItemAfterDownloadOnly());
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    store_.faultPackage("three-rivers", "throttle=20000");
    screen->downloadMap();
    ASSERT_TRUE(runUntil([&] { return buttonTitle(*screen) == "Downloading map"; }));
    store_.downloads->pauseDownloads();
    ASSERT_EQ(buttonTitle(*screen), "Resume download");
    auto& engine = *store_.downloads;
    const auto download = screen->mapDownload();
    auto stale = [&] {
        screen->downloadMapButton()->setTitleForState("stale", UIControlStateNormal);
    };
    const std::vector<std::function<void()>> messages = {
        [&] { screen->downloadManagerDidAdd(engine, download); },
        [&] { screen->downloadManagerWillStartLoading(engine, download); },
        [&] { screen->downloadManagerDidStartPostProcessingForDownload(engine, download); },
        [&] {
            screen->downloadManagerDidRemoveDownloadWithIdentifierAndType(engine, "three-rivers",
                                                                          "map");
        },
    };
    for (const auto& message : messages) {
        stale();
        message();
        EXPECT_EQ(buttonTitle(*screen), "Resume download");
    }
    stale();
    screen->downloadManagerDidRemoveDownloadWithIdentifierAndType(engine, "liechtenstein", "map");
    EXPECT_EQ(buttonTitle(*screen), "stale");
    screen->downloadManagerUpdatedProgressToForDownload(engine, 0.25, download);
    EXPECT_FLOAT_EQ(screen->mapProgress()->progress(), 0.25f);
}

TEST_F(CBMapStoreDetailVCTest, TheCoverInfoOffersTheSourceOnlyWhenThereIsOne) {
    auto screen = open("liechtenstein");
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    screen->showMapCoverInfo();
    auto source = screen->mapInfo()->coverSource();
    auto attribution = screen->mapInfo()->coverAttribution();
    if (!source && !attribution) {
        EXPECT_EQ(screen->coverInfoAlert(), nullptr);
        return;
    }
    ASSERT_NE(screen->coverInfoAlert(), nullptr);
    auto& alert = *screen->coverInfoAlert();
    EXPECT_EQ(alert.buttonTitleAtIndex(alert.cancelButtonIndex()), "Cancel");
    if (source) {
        EXPECT_EQ(alert.buttonTitleAtIndex(0), "View source");
    }
    if (attribution) {
        EXPECT_EQ(alert.message(), "Picture by:\n" + *attribution);
    }
}

TEST_F(CBMapStoreDetailVCTest, ThePreviewShowsTheOutlineOverTheOnlineTilesItCaches) {
    auto screen = open("liechtenstein");
    auto preview = screen->mapView();
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(preview->isUserInteractionEnabled());
    EXPECT_EQ(preview->layers()->vectorDataSourceLayer(), nullptr);
    EXPECT_EQ(preview->displayManager()->overlayDataSources().size(), 1u);
    // The whole outline fits: the layer reaches far enough for the view.
    auto outline = store_.catalogue->mapForIdentifier("liechtenstein")->shape()->bbox();
    preview->visibleArea()->calculateVisibleBBox();
    auto visible = preview->visibleArea()->visibleBBox();
    EXPECT_TRUE(visible->includesCoordinate(outline->NE()));
    EXPECT_TRUE(visible->includesCoordinate(outline->SW()));
    // Drawing the screen fetches the tiles from the local tile service.
    store_.window->renderImage(1);
    EXPECT_GT(store_.tiles->tileRequests(), 0);

    const std::string url = "http://" + store_.tiles->host() + "/neighbourhood/9/268/179.png";
    auto source = std::make_shared<CBImageDataSource>();
    EXPECT_EQ(screen->imageDataSourcePathForCachedImageWithUrl(*source, *NSURL::URLWithString(url)),
              CBMapStoreController::pathForCachedTileWithUrl(url));
}

}  // namespace
