#include <sys/time.h>

#include "MapStoreTestSupport.h"
#include "packages/CBMapStoreInfoCountry.h"
#include "packages/CBMapStoreInfoStore.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreUpdater.h"
#include "packages/ZELDownloadManagerEngine.h"

namespace {

class CBMapStoreUpdaterTest : public MapStoreHome {
  protected:
    void SetUp() override {
        MapStoreHome::SetUp();
        engine_ = std::make_shared<CBMapStoreEngine>(writeSampleCatalogue(file("catalogue.sqlite")),
                                                     true);
        updater_ = std::make_shared<CBMapStoreUpdater>(nullptr);
        updater_->setMapStoreEngine(engine_);
    }
    // Serves the content's mapStore.zip, dated `seconds` after 1970.
    void serve(double seconds) {
        const std::filesystem::path zip = file("server/mapStore.zip");
        std::filesystem::create_directories(zip.parent_path());
        std::filesystem::copy_file(std::string(KELVARA_MAPSTORE_ROOT) + "/mapStore.zip", zip,
                                   std::filesystem::copy_options::overwrite_existing);
        const struct timeval times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
        ASSERT_EQ(utimes(zip.c_str(), times), 0);
        server_ = std::make_unique<StoreServer>(file("server"));
        CBMapStoreURLManager::setBaseURL(server_->url());
    }
    int requests() const {
        int count = 0;
        for (const Value& entry : server_->log()) {
            if (const Value* path = entry.get("path");
                path && *path->stringValue() == "/mapStore.zip")
                ++count;
        }
        return count;
    }
    void awaitCheck() {
        runMainLoopUntil([this] { return !updater_->isChecking(); });
    }
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<CBMapStoreUpdater> updater_;
    std::unique_ptr<StoreServer> server_;
};

TEST_F(CBMapStoreUpdaterTest, APeriodicCheckOffersANewerCatalogueOnceAWeek) {
    serve(1796593145.0);
    updater_->startPeriodicUpdateIfNeeded();
    awaitCheck();
    EXPECT_EQ(requests(), 1);
    ASSERT_TRUE(updater_->offerAlert());
    EXPECT_TRUE(updater_->offerAlert()->isVisible());
    EXPECT_EQ(updater_->offeredCatalogueDate()->timeIntervalSince1970(), 1796593145.0);
    auto checked = NSUserDefaults::standardUserDefaults()->objectForKey(
        CBMapStoreUpdater::kPeriodicCheckDateKey);
    ASSERT_TRUE(checked && checked->dateValue());
    // "Later" closes the offer.
    updater_->alertViewClickedButtonAtIndex(*updater_->offerAlert(),
                                            updater_->offerAlert()->cancelButtonIndex());
    EXPECT_FALSE(updater_->offerAlert());

    updater_->startPeriodicUpdateIfNeeded();
    awaitCheck();
    EXPECT_EQ(requests(), 1);  // checked less than a week ago
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        Value(NSDate::dateWithTimeIntervalSinceNow(-CBMapStoreUpdater::kPeriodicCheckInterval - 1)),
        CBMapStoreUpdater::kPeriodicCheckDateKey);
    updater_->startPeriodicUpdateIfNeeded();
    awaitCheck();
    EXPECT_EQ(requests(), 2);
}

TEST_F(CBMapStoreUpdaterTest, TheCatalogueInUseIsNotOfferedAgain) {
    serve(1796593145.0);
    std::filesystem::create_directories(CBCoreDataManager::applicationDocumentsDirectory());
    writeSampleCatalogue(file("staged/mapStore.sqlite"));
    ASSERT_TRUE(updater_->installCatalogueFromStagedItem(
        file("staged"), NSDate::dateWithTimeIntervalSince1970(1796593145.0)));
    updater_->startPeriodicUpdateIfNeeded();
    awaitCheck();
    EXPECT_EQ(requests(), 1);
    EXPECT_FALSE(updater_->offerAlert());
}

TEST_F(CBMapStoreUpdaterTest, AManualCheckOfflineKeepsTheStatistics) {
    engine_->infoStore()->storeInfo(std::make_shared<CBMapStoreInfoCountry>(
        "LI", Value::Dictionary{{"maps", Value(Value::Dictionary{})}}, NSDate::date()));
    serve(1796593145.0);
    server_->stop();
    updater_->startManualUpdate();
    ASSERT_TRUE(updater_->checkingAlert());
    EXPECT_TRUE(updater_->checkingAlert()->isVisible());
    EXPECT_EQ(updater_->checkingAlert()->title(), "Checking for updates…");
    awaitCheck();
    EXPECT_FALSE(updater_->checkingAlert());
    EXPECT_FALSE(updater_->offerAlert());
    auto kept = engine_->infoStore()->storedInfoForCode("LI");
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->isExpired());
}

// The user asked and the store did not answer: one alert that says so, and
// "Try again" asks again once the store is back.
TEST_F(CBMapStoreUpdaterTest, AManualCheckWithoutAnswerSaysSoAndAsksAgain) {
    serve(1796593145.0);
    server_->stop();
    updater_->startManualUpdate();
    awaitCheck();
    auto alert = updater_->retryAlert();
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->message(), "The map store could not be asked for a newer catalogue.");
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->firstOtherButtonIndex()), "Try again");

    serve(1796593145.0);
    alert->dismissWithClickedButtonIndexAnimated(alert->firstOtherButtonIndex(), false);
    awaitCheck();
    EXPECT_FALSE(updater_->retryAlert());
    EXPECT_EQ(requests(), 1);
}

TEST_F(CBMapStoreUpdaterTest, ABrokenUpdateLeavesTheCatalogueInUse) {
    auto broken = sampleCatalogue();
    broken.maps[2].identifier = "bad id";
    writeSampleCatalogue(file("staged/mapStore.sqlite"), broken);
    EXPECT_FALSE(updater_->installCatalogueFromStagedItem(file("staged"), NSDate::date()));
    EXPECT_FALSE(
        updater_->installCatalogueFromStagedItem(file("staged/mapStore.sqlite"), NSDate::date()));
    EXPECT_FALSE(
        NSUserDefaults::standardUserDefaults()->objectForKey(CBMapStoreUpdater::kCatalogueDateKey));
    EXPECT_TRUE(engine_->mapForIdentifier("liechtenstein"));
    EXPECT_FALSE(updater_->installCatalogueFromStagedItem(file("empty"), NSDate::date()));
}

// The whole road of an update: the offer, the download through the download
// engine from the map store server, and the validated swap.
TEST_F(CBMapStoreUpdaterTest, AnAcceptedOfferDownloadsAndInstallsTheCatalogue) {
    serve(1796593145.0);
    auto downloads = ZELDownloadManagerEngine::createWithStorePath(
        CBCoreDataManager::applicationDocumentsDirectory() + "/DownloadManagerQueue.sqlite");
    ASSERT_TRUE(downloads);
    downloads->setResumeDisabled(false);
    auto updater = CBMapStoreUpdater::createWithDownloadManager(downloads);
    updater->setMapStoreEngine(engine_);
    updater_ = updater;
    updater->startPeriodicUpdateIfNeeded();
    awaitCheck();
    ASSERT_TRUE(updater->offerAlert());
    updater->alertViewClickedButtonAtIndex(*updater->offerAlert(),
                                           updater->offerAlert()->firstOtherButtonIndex());
    std::weak_ptr<CBMapStoreUpdater> weakUpdater = updater;
    updater.reset();
    updater_.reset();  // the queued download keeps it
    ASSERT_TRUE(runMainLoopUntil(
        [&] { return engine_->storePath() == CBMapStoreEngine::downloadedCataloguePath(); }, 30));
    EXPECT_FALSE(engine_->mapForIdentifier("neustrelitz"));
    ASSERT_TRUE(engine_->mapForIdentifier("three-rivers"));
    EXPECT_EQ(engine_->mapForIdentifier("three-rivers")->code(), "US-MI");
    EXPECT_EQ(CBMapStoreUpdater::installedCatalogueDate()->timeIntervalSince1970(), 1796593145.0);
    EXPECT_TRUE(runMainLoopUntil([&] { return downloads->currentQueueLength() == 0; }));
    EXPECT_TRUE(runMainLoopUntil([&] { return weakUpdater.expired(); }));
}

}  // namespace
