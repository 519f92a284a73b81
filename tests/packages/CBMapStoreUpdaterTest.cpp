#include <atomic>

#include "MapStoreTestSupport.h"
#include "packages/CBMapStoreInfoCountry.h"
#include "packages/CBMapStoreInfoStore.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreUpdater.h"

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
    // Serves mapStore.zip with the Last-Modified date given.
    void serve(const std::string& lastModified) {
        server_ = std::make_unique<LocalFileServer>(
            file("server"), [this, lastModified](httplib::Server& server) {
                auto answer = [this, lastModified](const httplib::Request&,
                                                   httplib::Response& response) {
                    ++requests_;
                    response.set_header("Last-Modified", lastModified);
                    response.set_content("zip", "application/zip");
                };
                server.Get("/mapStore.zip", answer);
            });
        CBMapStoreURLManager::setBaseURL(server_->url());
    }
    void awaitCheck() {
        runMainLoopUntil([this] { return !updater_->isChecking(); });
    }
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<CBMapStoreUpdater> updater_;
    std::unique_ptr<LocalFileServer> server_;
    std::atomic<int> requests_ = 0;
};

TEST_F(CBMapStoreUpdaterTest, APeriodicCheckOffersANewerCatalogueOnceAWeek) {
    serve("Sun, 06 Dec 2026 21:39:05 GMT");
    updater_->startPeriodicUpdateIfNeeded();
    awaitCheck();
    EXPECT_EQ(requests_, 1);
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
    EXPECT_EQ(requests_, 1);  // checked less than a week ago
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        Value(NSDate::dateWithTimeIntervalSinceNow(-CBMapStoreUpdater::kPeriodicCheckInterval - 1)),
        CBMapStoreUpdater::kPeriodicCheckDateKey);
    updater_->startPeriodicUpdateIfNeeded();
    awaitCheck();
    EXPECT_EQ(requests_, 2);
}

TEST_F(CBMapStoreUpdaterTest, TheCatalogueInUseIsNotOfferedAgain) {
    serve("Sun, 06 Dec 2026 21:39:05 GMT");
    std::filesystem::create_directories(CBCoreDataManager::applicationDocumentsDirectory());
    writeSampleCatalogue(file("staged/mapStore.sqlite"));
    ASSERT_TRUE(updater_->installCatalogueFromFolder(
        file("staged"), NSDate::dateWithTimeIntervalSince1970(1796593145.0)));
    updater_->startPeriodicUpdateIfNeeded();
    awaitCheck();
    EXPECT_EQ(requests_, 1);
    EXPECT_FALSE(updater_->offerAlert());
}

TEST_F(CBMapStoreUpdaterTest, AManualCheckOfflineKeepsTheStatistics) {
    engine_->infoStore()->storeInfo(std::make_shared<CBMapStoreInfoCountry>(
        "LI", Value::Dictionary{{"maps", Value(Value::Dictionary{})}}, NSDate::date()));
    serve("Sun, 06 Dec 2026 21:39:05 GMT");
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

TEST_F(CBMapStoreUpdaterTest, ABrokenUpdateLeavesTheCatalogueInUse) {
    auto broken = sampleCatalogue();
    broken.maps[2].identifier = "bad id";
    writeSampleCatalogue(file("staged/mapStore.sqlite"), broken);
    EXPECT_FALSE(updater_->installCatalogueFromFolder(file("staged"), NSDate::date()));
    EXPECT_FALSE(
        NSUserDefaults::standardUserDefaults()->objectForKey(CBMapStoreUpdater::kCatalogueDateKey));
    EXPECT_TRUE(engine_->mapForIdentifier("liechtenstein"));
    EXPECT_FALSE(updater_->installCatalogueFromFolder(file("empty"), NSDate::date()));
}

}  // namespace
