// A first start whose map store cannot be reached: the sample city's
// download fails, one alert says so, and the shelf's cover tells the failure
// without a ring.
#include <gtest/gtest.h>

#include "Dispatch/NSRunLoop.h"
#include "LaunchedAppFixture.h"
#include "app/CBRootViewController.h"
#include "app/CBSampleDownloadAlert.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfCell.h"
#include "shelf/CBMapShelfViewController.h"

namespace {

// How many downloads of an identifier failed.
class FailureCount : public ZELDownloadManagerEngineDelegate {
  public:
    explicit FailureCount(std::string identifier) : identifier_(std::move(identifier)) {}
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&,
                                             const Download& download) override {
        count += download->identifier() == identifier_;
    }
    int count = 0;

  private:
    std::string identifier_;
};

// The application's first start on an empty home, the map store's address a
// port nothing listens on.
class CBSampleDownloadAlertTest : public LaunchedAppTest {
  protected:
    void SetUp() override {
        LaunchedAppTest::SetUp();
        CBMapStoreURLManager::setBaseURL("http://127.0.0.1:9");
        // The sample's download fails on the main queue, after the launch.
        ASSERT_NO_FATAL_FAILURE(launch());
        ASSERT_TRUE(app_->downloadManager());
        app_->downloadManager()->addDelegate(sampleFailures_);
    }
    void TearDown() override {
        LaunchedAppTest::TearDown();
        CBMapStoreURLManager::setBaseURL("");
    }
    static bool runUntil(const std::function<bool()>& done) {
        return NSRunLoop::mainRunLoop()->runUntil(done, 10);
    }

    std::shared_ptr<FailureCount> sampleFailures_ =
        std::make_shared<FailureCount>("neubrandenburg");
};

TEST_F(CBSampleDownloadAlertTest, AFirstStartWithoutTheStoreSaysSoOnceAndTheCoverShowsTheFailure) {
    ASSERT_TRUE(runUntil([&] { return sampleFailures_->count == 1; }));
    play(R"(
wait-for "Connection error"
expect "The download failed. Please check the connection and try again."
expect-not "Your first download"
tap "OK"
idle
)");
    // The start's retry (10 s after it) fails too, without a second alert.
    app_->downloadManager()->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return sampleFailures_->count == 2; }));
    play(R"(
idle
expect-not "Connection error"
tap "Maps"
idle
expect "Download failed"
expect-not "In progress"
)");
    auto shelf = app_->rootViewController()->shelf();
    ASSERT_TRUE(shelf);
    auto cover = shelf->viewForMapWithIdentifier("neubrandenburg");
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->existingProgressView(), nullptr) << "nothing was loaded";
}

// Only the sample's own map download is told: not its Wikipedia package,
// not another map, which a screen of the store follows.
TEST_F(CBSampleDownloadAlertTest, OtherDownloadsThatFailAreNotTheSamples) {
    ASSERT_TRUE(runUntil([&] { return sampleFailures_->count == 1; }));
    auto downloads = app_->downloadManager();
    auto alert = CBSampleDownloadAlert::create(*downloads, "three-rivers");
    auto failures = std::make_shared<FailureCount>("three-rivers");
    downloads->addDelegate(failures);
    auto load = [&](const std::string& type) {
        ASSERT_TRUE(downloads->addDownload({.url = "map/US-MI/three-rivers.zip",
                                            .destinationPath = "/tmp/kelvara-never-loaded",
                                            .identifier = "three-rivers",
                                            .type = type}));
        const int before = failures->count;
        downloads->resumeDownloads();
        ASSERT_TRUE(runUntil([&] { return failures->count > before; }));
    };
    load("wikipedia");
    EXPECT_FALSE(alert->hasAlerted());
    load(CBUserMapStoreEngine::kDownloadType);
    EXPECT_TRUE(alert->hasAlerted());
}

}  // namespace
