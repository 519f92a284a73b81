#include <gtest/gtest.h>

#include "Host/HostScenario.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"

namespace {

// The store played as a person uses it, against the local map store server.
class StoreScenarioTest : public ::testing::Test {
  protected:
    void open() {
        store_ = CBMapStoreController::create(fixture_.downloads, fixture_.registry);
        fixture_.window->setRootViewController(store_);
        fixture_.layout();
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
    play(R"(
tap "Europe"
idle
tap "Liechtenstein"
idle
expect "1 star"
tap 60 125
wait 1
expect "Download map"
expect "40"
tap "Download map"
wait 0.5
expect "Downloading map"
tap "Downloads"
wait 0.5
expect "Liechtenstein"
expect "Pause"
tap "Pause"
expect "Resume"
)");
    // The rest of the package comes at full speed, from where it stopped.
    fixture_.server->clearFaults();
    play(R"(
tap "Resume"
expect "Pause"
)");
    ASSERT_TRUE(runUntil([&] { return fixture_.downloads->currentQueueLength() == 0; }, 60));
    play(R"(
wait 0.5
expect-not "Liechtenstein"
tap "Browse"
wait 0.5
expect "Map downloaded"
)");
    EXPECT_NE(fixture_.registry->mapForIdentifier("liechtenstein"), nullptr);
}

TEST_F(StoreScenarioTest, ASearchWithoutMapOffersTheRequest) {
    open();
    play(R"(
tap "Search maps world-wide"
type "Atlantis"
wait 1.5
expect "Request this map"
)");
}

}  // namespace
