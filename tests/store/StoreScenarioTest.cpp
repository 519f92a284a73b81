#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "Host/HostScenario.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIProgressView.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScrollView.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreUpdater.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"

namespace {

// From the store's root to Liechtenstein's detail screen (the first row,
// rated with a star).
constexpr const char* kOpenLiechtenstein = R"(
tap "Europe"
idle
tap "Liechtenstein"
idle
expect "1 star"
tap 60 125
idle
)";

// The store played as a person uses it, against the local map store server.
class StoreScenarioTest : public ::testing::Test {
  protected:
    void open() {
        store_ = CBMapStoreController::create(fixture_.downloads, fixture_.registry);
        fixture_.window->setRootViewController(store_);
        fixture_.layout();
    }
    std::shared_ptr<CBMapStoreDetailVC> topDetail() {
        auto navigation =
            std::dynamic_pointer_cast<UINavigationController>(store_->selectedViewController());
        return navigation
                   ? std::dynamic_pointer_cast<CBMapStoreDetailVC>(navigation->topViewController())
                   : nullptr;
    }
    void play(const std::string& script) {
        auto result = HostRunScenario(fixture_.window, script);
        EXPECT_TRUE(result.passed) << result.message;
    }
    StoreFixture fixture_;
    std::shared_ptr<CBMapStoreController> store_;
};

TEST_F(StoreScenarioTest, BrowseToLiechtensteinDownloadItAndSeeItInstalled) {
    fixture_.faultPackage("liechtenstein", "throttle=200000");
    open();
    play(kOpenLiechtenstein);
    play(R"(
expect "Download map"
expect "40"
expect "32"
expect "3"
)");
    auto detail = topDetail();
    ASSERT_NE(detail, nullptr);
    // The rendered cover, and the outline on the online map beside it.
    ASSERT_TRUE(runUntil([&] { return detail->mapCoverView()->image() != nullptr; }));
    ASSERT_NE(detail->mapView(), nullptr);
    EXPECT_EQ(detail->mapView()->displayManager()->overlayDataSources().size(), 1u);

    // Queued while the engine may not start: pending, and the tab's badge.
    fixture_.downloads->setResumeDisabled(true);
    play(R"(tap "Download map")");
    EXPECT_TRUE(fixture_.waitUntilShown("Download pending"));
    play(R"(expect "1")");
    // A map loading for the first time is not installed yet: no cover of
    // one's own to edit.
    EXPECT_TRUE(detail->editCoverLabel()->isHidden());
    fixture_.downloads->setResumeDisabled(false);
    play(R"(
tap "Downloads"
wait-for "Liechtenstein"
wait-for "Resume"
tap "Resume"
)");
    EXPECT_TRUE(fixture_.waitUntilShown("* of * MB"));
    play(R"(tap "Browse")");
    EXPECT_TRUE(fixture_.waitUntilShown("Downloading map"));
    const float seen = detail->mapProgress()->progress();
    ASSERT_TRUE(runUntil([&] { return detail->mapProgress()->progress() > seen; }));
    EXPECT_FALSE(detail->mapProgress()->isHidden());
    play(R"(
tap "Downloads"
wait-for "Pause"
tap "Pause"
wait-for "Resume"
)");
    // The rest of the package comes at full speed, from where it stopped.
    fixture_.server->clearFaults();
    std::string extracting;
    play(R"(
tap "Resume"
wait-for "Pause"
)");
    // Each step of the install: the button's words say the share its bar shows.
    std::vector<std::string> disagreeing;
    ASSERT_TRUE(runUntil(
        [&] {
            auto title = detail->downloadMapButton()->titleForState(UIControlStateNormal);
            if (title && title->rfind("Extracting (", 0) == 0) {
                extracting = *title;
                const double said = std::stod(title->substr(std::string("Extracting (").size()));
                const double shown = detail->mapProgress()->progress() * 100.0;
                if (std::abs(said - shown) > 0.06)
                    disagreeing.push_back(*title + " over " + std::to_string(shown));
            }
            return fixture_.downloads->currentQueueLength() == 0;
        },
        60));
    EXPECT_NE(extracting.find(" %)"), std::string::npos) << extracting;
    EXPECT_TRUE(disagreeing.empty()) << disagreeing.front();
    EXPECT_TRUE(fixture_.waitUntilGone("Liechtenstein"));
    play(R"(tap "Browse")");
    EXPECT_TRUE(fixture_.waitUntilShown("Map downloaded"));
    EXPECT_NE(fixture_.registry->mapForIdentifier("liechtenstein"), nullptr);
    EXPECT_TRUE(fixture_.resumedWithRange());
}

TEST_F(StoreScenarioTest, TheInstalledSampleSaysSoUnderItsStar) {
    fixture_.install("neubrandenburg");
    open();
    play(R"(
tap "Europe"
idle
tap "Germany"
idle
expect "1 star"
tap "Neubrandenburg"
idle
expect "Map downloaded"
)");
}

TEST_F(StoreScenarioTest, UpdateMapStoreAsksTheServer) {
    open();
    // The first appearance's own check must not be taken for the button's:
    // it has been answered before the button is tapped.
    ASSERT_TRUE(runUntil(
        [&] { return fixture_.catalogueRequests() == 1 && !store_->updater()->isChecking(); }));
    play(R"(
tap "Downloads"
wait-for "Update map store"
tap "Update map store"
)");
    EXPECT_TRUE(runUntil([&] { return fixture_.catalogueRequests() > 1; }, 10));
}

TEST_F(StoreScenarioTest, AServerCutShowsTheFailureOnceAndResumeCarriesOn) {
    const auto size =
        std::filesystem::file_size(std::string(KELVARA_PACKAGES_DIR) + "/liechtenstein.zip");
    fixture_.faultPackage("liechtenstein", "cut=" + std::to_string(size * 4 / 10) + "&count=1");
    open();
    play(kOpenLiechtenstein);
    play(R"(tap "Download map")");
    auto alerts = [&] {
        size_t count = 0;
        for (const auto& view : fixture_.window->subviews())
            if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view))
                count += alert->isVisible() && alert->title() == "Connection error";
        return count;
    };
    ASSERT_TRUE(runUntil([&] { return alerts() > 0; }, 60));
    EXPECT_EQ(alerts(), 1u);
    play(R"(
tap "OK"
wait-for-not "Connection error"
wait-for "Failed: no connection to the map store"
wait-for "Retry download"
tap "Downloads"
wait-for "Failed: no connection to the map store"
wait-for "Retry"
tap "Retry"
)");
    ASSERT_TRUE(runUntil([&] { return fixture_.downloads->currentQueueLength() == 0; }, 60));
    play(R"(
expect-not "Connection error"
tap "Browse"
)");
    EXPECT_TRUE(fixture_.waitUntilShown("Map downloaded"));
    EXPECT_TRUE(fixture_.resumedWithRange());
}

TEST_F(StoreScenarioTest, ASearchWithoutMapOffersTheRequest) {
    open();
    play(R"(
tap "Search maps world-wide"
type "Atlantis"
)");
    EXPECT_TRUE(fixture_.waitUntilShown("Request this map"));
}

}  // namespace
