#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "PackagesTestSupport.h"
#include "packages/ZELDownloadManagerDownload.h"

namespace fs = std::filesystem;

namespace {

class ZELDownloadManagerEngineStateTest : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        publish(samplePackage("neubrandenburg"), "neubrandenburg");
        publish(samplePackage("three-rivers"), "three-rivers");
    }
    // A download that loads slowly enough to be caught in state 1.
    ZELDownloadManagerEngine::Download startSlowDownload() {
        server_->fault(packagePath("neubrandenburg"), "throttle=200000");
        auto download = add("neubrandenburg");
        engine_->resumeDownloads();
        EXPECT_TRUE(runUntil([&] { return download->bytesLoaded().value_or(0) > 0; }));
        EXPECT_EQ(download->downloadState(), ZELDownloadStateLoading);
        return download;
    }
    // A queued download put into `state` as an earlier run left it.
    ZELDownloadManagerEngine::Download downloadInState(int state) {
        auto download = add("three-rivers");
        download->setDownloadState(state);
        engine_->saveChanges();
        fs::create_directories(download->stagingPath() + "/three-rivers");
        std::ofstream(download->zipPath()) << "partial";
        return download;
    }
};

TEST_F(ZELDownloadManagerEngineStateTest, PauseStopsALoadingTransferAndKeepsItsBytes) {
    auto download = startSlowDownload();
    engine_->pauseDownloads();
    EXPECT_EQ(download->downloadState(), ZELDownloadStateWaiting);
    EXPECT_FALSE(engine_->isDownloading());
    EXPECT_TRUE(recorder_->saw("willPause neubrandenburg"));
    const int64_t loaded = download->bytesLoaded().value_or(0);
    EXPECT_GT(loaded, 0);
    // Nothing of the stopped transfer arrives later.
    runUntil([] { return false; }, 0.3);
    EXPECT_EQ(download->bytesLoaded().value_or(0), loaded);
    EXPECT_EQ(download->downloadState(), ZELDownloadStateWaiting);
    // A second pause has nothing to pause.
    engine_->pauseDownloads();
    EXPECT_EQ(recorder_->count("willPause neubrandenburg"), 1u);
    server_->clearFaults();
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
}

TEST_F(ZELDownloadManagerEngineStateTest, PauseLeavesPostProcessingAndOtherStatesAlone) {
    recorder_->taker = [](ZELDownloadManagerEngine&, const ZELDownloadManagerEngine::Download&) {
        return true;  // held in post-processing
    };
    auto download = add("three-rivers");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(download, ZELDownloadStatePostProcessing));
    engine_->pauseDownloads();
    EXPECT_EQ(download->downloadState(), ZELDownloadStatePostProcessing);
    EXPECT_FALSE(recorder_->saw("willPause three-rivers"));
    engine_->postProcessingFinishedForDownload(download, std::nullopt);
    EXPECT_TRUE(recorder_->saw("didRemove three-rivers"));
}

TEST_F(ZELDownloadManagerEngineStateTest, PauseAndCancelDuringTheUnzipLeaveItRunning) {
    ZELDownloadManagerEngine::Download download;
    recorder_->onEvent = [&](const std::string& event) {
        if (event == "willUnzip three-rivers") {
            engine_->pauseDownloads();
            engine_->cancelDownloads({download});
        }
    };
    download = add("three-rivers");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    EXPECT_FALSE(recorder_->saw("willPause three-rivers"));
    EXPECT_FALSE(recorder_->saw("didCancel three-rivers"));
    EXPECT_TRUE(fs::exists(mapsFolder() + "/three-rivers/three-rivers.sqlite"));
}

TEST_F(ZELDownloadManagerEngineStateTest, CancelRemovesALoadingDownloadAndStartsTheNext) {
    auto slow = startSlowDownload();
    auto next = add("three-rivers");
    engine_->cancelDownloads({slow});
    EXPECT_TRUE(recorder_->saw("didCancel neubrandenburg"));
    EXPECT_TRUE(recorder_->saw("didRemove neubrandenburg"));
    EXPECT_EQ(slow->downloadState(), ZELDownloadStateDeleted);
    EXPECT_EQ(engine_->downloadForIdentifierOfType("neubrandenburg", "map"), nullptr);
    EXPECT_TRUE(recorder_->saw("willStartLoading three-rivers"));
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    EXPECT_FALSE(fs::exists(mapsFolder() + "/neubrandenburg.map.zip"));
    EXPECT_FALSE(fs::exists(mapsFolder() + "/neubrandenburg"));
}

TEST_F(ZELDownloadManagerEngineStateTest, CancelSkipsUnpackingAndPostProcessingStates) {
    for (int state : {ZELDownloadStateUnzipping, ZELDownloadStateUnzipped,
                      ZELDownloadStateAwaitingPostProcessing, ZELDownloadStatePostProcessing,
                      ZELDownloadStatePostProcessingInterrupted}) {
        recorder_->events.clear();
        auto download = downloadInState(state);
        engine_->cancelDownloads({download});
        EXPECT_EQ(download->downloadState(), state) << state;
        EXPECT_TRUE(fs::exists(download->zipPath())) << state;
        EXPECT_FALSE(recorder_->saw("didCancel three-rivers")) << state;
        download->setDownloadState(ZELDownloadStateWaiting);
        engine_->cancelDownloads({download});
    }
}

TEST_F(ZELDownloadManagerEngineStateTest, CancelRemovesWaitingFailedAndUnzipFailedDownloads) {
    for (int state :
         {ZELDownloadStateWaiting, ZELDownloadStateFailed, ZELDownloadStateUnzipFailed}) {
        recorder_->events.clear();
        auto download = downloadInState(state);
        const std::string zip = download->zipPath();
        const std::string staging = download->stagingPath();
        engine_->cancelDownloads({download});
        EXPECT_EQ(download->downloadState(), ZELDownloadStateDeleted) << state;
        EXPECT_TRUE(recorder_->saw("didCancel three-rivers")) << state;
        EXPECT_EQ(engine_->currentQueueLength(), 0u);
        // The files go on the downloader queue.
        EXPECT_TRUE(runUntil([&] { return !fs::exists(zip) && !fs::exists(staging); }, 5));
    }
}

TEST_F(ZELDownloadManagerEngineStateTest, ARestartRepairsEveryStateAnEarlierRunLeft) {
    const std::vector<std::pair<int, int>> expected{
        {ZELDownloadStateWaiting, ZELDownloadStateWaiting},
        {ZELDownloadStateLoading, ZELDownloadStateWaiting},
        {ZELDownloadStateAwaitingPostProcessing, ZELDownloadStateWaiting},
        {ZELDownloadStatePostProcessing, ZELDownloadStatePostProcessingInterrupted},
        {ZELDownloadStatePostProcessingInterrupted, ZELDownloadStatePostProcessingInterrupted},
        {ZELDownloadStateFailed, ZELDownloadStateFailed},
        {ZELDownloadStateUnzipping, ZELDownloadStateWaiting},
        {ZELDownloadStateUnzipped, ZELDownloadStateWaiting},
        {ZELDownloadStateUnzipFailed, ZELDownloadStateUnzipFailed},
    };
    for (const auto& [before, after] : expected) {
        recorder_->events.clear();
        auto download = downloadInState(before);
        const std::string staging = download->stagingPath();
        download.reset();
        openEngine();
        auto repaired = engine_->downloadForIdentifierOfType("three-rivers", "map");
        ASSERT_NE(repaired, nullptr);
        EXPECT_EQ(repaired->downloadState(), after) << before;
        if (before != after && before != ZELDownloadStateLoading) {
            EXPECT_FALSE(fs::exists(staging + "/three-rivers")) << before;
        }
        // Every repaired download loads and installs on the next resume;
        // the bogus partial file is replaced, not appended to.
        engine_->resumeDownloads();
        ASSERT_TRUE(waitForRemoval("three-rivers")) << before;
        EXPECT_TRUE(fs::exists(mapsFolder() + "/three-rivers/three-rivers.sqlite")) << before;
        fs::remove_all(mapsFolder() + "/three-rivers");
    }
}

TEST_F(ZELDownloadManagerEngineStateTest, ARestartMidTransferResumesFromTheRecordedBytes) {
    auto download = startSlowDownload();
    // Past the first saves of the byte count.
    ASSERT_TRUE(runUntil([&] { return download->bytesLoaded().value_or(0) > 300000; }));
    download.reset();
    openEngine();  // the old engine ends as a killed program would
    server_->clearFaults();
    auto resumed = engine_->downloadForIdentifierOfType("neubrandenburg", "map");
    ASSERT_NE(resumed, nullptr);
    EXPECT_EQ(resumed->downloadState(), ZELDownloadStateWaiting);
    EXPECT_GT(resumed->bytesLoaded().value_or(0), 0);
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
    // The server logs the stopped request once it notices the connection
    // is gone, which may be after the resumed one has ended.
    ASSERT_TRUE(runUntil([&] { return server_->log().size() >= 2; }));
    const Value::Array log = server_->log();
    ASSERT_EQ(log.size(), 2u);
    const auto ranged = std::count_if(log.begin(), log.end(), [](const Value& entry) {
        return *entry.dictionaryValue()->at("status").integerValue() == 206;
    });
    EXPECT_EQ(ranged, 1);
    EXPECT_TRUE(fs::exists(mapsFolder() + "/neubrandenburg/neubrandenburg.sqlite"));
}

// Retry puts the failed download back in line even while another loads, and
// its next request asks only for the rest.
TEST_F(ZELDownloadManagerEngineStateTest, RetryPutsAFailedDownloadInLineWithTheBytesItHas) {
    const auto size = fs::file_size(root_.path() + packagePath("three-rivers"));
    server_->fault(packagePath("three-rivers"), "cut=" + std::to_string(size / 2) + "&count=1");
    auto failed = add("three-rivers");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(failed, ZELDownloadStateFailed));
    const int64_t kept = failed->bytesLoaded().value_or(0);
    EXPECT_GT(kept, 0);

    auto slow = startSlowDownload();
    engine_->retryDownload(failed);
    EXPECT_EQ(failed->downloadState(), ZELDownloadStateWaiting);
    EXPECT_EQ(engine_->statusForDownload(failed).phase, ZELDownloadPhase::Queued);
    EXPECT_EQ(engine_->statusForDownload(failed).failure, ZELDownloadFailure::None);
    EXPECT_EQ(engine_->isDownloading(), true);
    server_->clearFaults();
    ASSERT_TRUE(waitForRemoval("three-rivers", 120));
    bool askedForTheRest = false;
    for (const Value& entry : server_->log()) {
        if (*entry.get("path")->stringValue() == packagePath("three-rivers"))
            askedForTheRest |=
                *entry.get("range")->stringValue() == "bytes=" + std::to_string(kept) + "-";
    }
    EXPECT_TRUE(askedForTheRest);
}

}  // namespace
