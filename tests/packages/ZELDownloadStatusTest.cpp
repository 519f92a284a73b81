#include "packages/ZELDownloadStatus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Net/NSURLError.h"
#include "PackagesTestSupport.h"
#include "TestZip.h"
#include "packages/ZELDownloadFailureFile.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELStagedInstall.h"
#include "packages/ZELZipArchive.h"

namespace fs = std::filesystem;

namespace {

// Notes each status the engine tells, as "<id> <phase> <step>".
class StatusRecorder : public ZELDownloadManagerEngineDelegate {
  public:
    std::vector<std::string> told;
    void downloadManagerChangedStatusToForDownload(ZELDownloadManagerEngine&,
                                                   const ZELDownloadStatus& status,
                                                   const Download& download) override {
        told.push_back(download->identifier() + " " + describeStatus(status));
    }
};

class ZELDownloadStatusTest : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        engine_->addDelegate(statuses_);
    }
    ZELDownloadStatus status(const ZELDownloadManagerEngine::Download& download) const {
        return engine_->statusForDownload(download);
    }
    // Loads the published package of `identifier` until it fails; its reason.
    ZELDownloadFailure failureOfDownload(const std::string& identifier) {
        auto download = add(identifier);
        engine_->resumeDownloads();
        EXPECT_TRUE(runUntil([&] { return status(download).phase == ZELDownloadPhase::Failed; }));
        const ZELDownloadFailure failure = status(download).failure;
        engine_->cancelDownloads({download});
        return failure;
    }

    std::shared_ptr<StatusRecorder> statuses_ = std::make_shared<StatusRecorder>();
};

TEST_F(ZELDownloadStatusTest, ARealDownloadIsQueuedLoadsInstallsWithProgressAndIsInstalled) {
    publish(samplePackage("liechtenstein"), "liechtenstein");
    server_->fault(packagePath("liechtenstein"), "throttle=400000");
    // The installer holds the package so its progress can be watched.
    ZELDownloadManagerEngine::Download held;
    recorder_->taker = [&](ZELDownloadManagerEngine&, const ZELDownloadManagerEngine::Download& d) {
        held = d;
        return true;
    };
    auto download = add("liechtenstein", "DE", 0.4);
    EXPECT_EQ(status(download).phase, ZELDownloadPhase::Queued);
    EXPECT_TRUE(status(download).isQueued());

    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return status(download).bytesLoaded > 100000; }));
    const ZELDownloadStatus loading = status(download);
    EXPECT_EQ(loading.phase, ZELDownloadPhase::Loading);
    EXPECT_GT(loading.progress, 0.0);
    EXPECT_LT(loading.progress, 0.6);
    ASSERT_TRUE(loading.downloadSize);
    EXPECT_EQ(*loading.downloadSize, int64_t(fs::file_size(samplePackage("liechtenstein"))));

    server_->clearFaults();
    ASSERT_TRUE(runUntil([&] { return held != nullptr; }, 60));
    engine_->setPostProcessingProgressForDownload(0.5, held);
    const ZELDownloadStatus installing = status(download);
    EXPECT_EQ(installing.phase, ZELDownloadPhase::Installing);
    EXPECT_EQ(installing.step, ZELDownloadStep::Installing);
    EXPECT_TRUE(installing.holdsPackage());
    EXPECT_DOUBLE_EQ(installing.installProgress, 0.5);
    EXPECT_DOUBLE_EQ(installing.progress, 0.6 + 0.4 * 0.5);

    engine_->postProcessingFinishedForDownload(held, std::nullopt);
    EXPECT_EQ(status(download).phase, ZELDownloadPhase::None) << "it has left the queue";
    const std::vector<std::string> expected{
        "liechtenstein queued", "liechtenstein loading", "liechtenstein installing unpacking",
        "liechtenstein installing installing", "liechtenstein installed"};
    EXPECT_EQ(statuses_->told, expected);
}

TEST_F(ZELDownloadStatusTest, APausedQueueShowsItsWaitingDownloadsPausedUntilResumed) {
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    publish(samplePackage("three-rivers"), "three-rivers");
    server_->fault(packagePath("neubrandenburg"), "throttle=200000");
    auto first = add("neubrandenburg");
    auto second = add("three-rivers");
    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return first->bytesLoaded().value_or(0) > 0; }));

    engine_->pauseDownloads();
    EXPECT_TRUE(engine_->isPaused());
    for (const auto& download : {first, second}) {
        EXPECT_EQ(status(download).phase, ZELDownloadPhase::Paused);
        EXPECT_EQ(status(download).step, ZELDownloadStep::Loading);
        EXPECT_FALSE(status(download).holdsPackage());
    }
    EXPECT_GT(status(first).progress, 0.0) << "a paused download keeps what it loaded";
    EXPECT_EQ(statuses_->told.back(), "three-rivers paused loading");
    // Nothing starts by itself while the queue is held.
    engine_->cancelDownloads({first});
    EXPECT_FALSE(engine_->isDownloading());
    EXPECT_EQ(status(second).phase, ZELDownloadPhase::Paused);

    engine_->resumeDownloads();
    EXPECT_FALSE(engine_->isPaused());
    EXPECT_EQ(status(second).phase, ZELDownloadPhase::Loading);
    ASSERT_TRUE(waitForRemoval("three-rivers"));
}

TEST_F(ZELDownloadStatusTest, AnInstallCutOffByACrashWaitsPausedHoldingItsPackage) {
    auto download = add("three-rivers");
    download->setDownloadState(ZELDownloadStatePostProcessing);
    engine_->saveChanges();
    download.reset();
    openEngine();
    download = engine_->downloadForIdentifierOfType("three-rivers", "map");
    ASSERT_NE(download, nullptr);
    const ZELDownloadStatus cutOff = status(download);
    EXPECT_EQ(cutOff.phase, ZELDownloadPhase::Paused);
    EXPECT_EQ(cutOff.step, ZELDownloadStep::Installing);
    EXPECT_TRUE(cutOff.holdsPackage());
}

TEST_F(ZELDownloadStatusTest, EachFailureCarriesItsReason) {
    for (const auto& identifier : {"neubrandenburg", "liechtenstein", "three-rivers"})
        publish(samplePackage(identifier), identifier);
    server_->fault(packagePath("neubrandenburg"), "status=500");
    EXPECT_EQ(failureOfDownload("neubrandenburg"), ZELDownloadFailure::ServerError);
    server_->fault(packagePath("liechtenstein"), "badMd5=1");
    EXPECT_EQ(failureOfDownload("liechtenstein"), ZELDownloadFailure::WrongChecksum);
    const auto size = fs::file_size(samplePackage("three-rivers"));
    server_->fault(packagePath("three-rivers"), "cut=" + std::to_string(size / 3));
    EXPECT_EQ(failureOfDownload("three-rivers"), ZELDownloadFailure::ConnectionLost);
    server_->clearFaults();

    const std::string zip = root_.file("hostile.zip");
    ASSERT_TRUE(writeTestZip(zip, {{"escape/../../evil.txt", "evil"}}));
    publish(zip, "escape");
    EXPECT_EQ(failureOfDownload("escape"), ZELDownloadFailure::UnsafePackage);
    ASSERT_TRUE(writeTestZip(zip, {{"broken/broken.sqlite", "STORE-CONTENT"}}));
    ASSERT_TRUE(corruptFileAt(zip, "STORE-CONTENT"));
    publish(zip, "broken");
    EXPECT_EQ(failureOfDownload("broken"), ZELDownloadFailure::DamagedPackage);

    // The reason outlives the program: after a restart the failed download
    // still says why. Without the file beside the queue the reason is lost,
    // the download is not.
    server_->fault(packagePath("neubrandenburg"), "status=500");
    auto failed = add("neubrandenburg");
    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return status(failed).phase == ZELDownloadPhase::Failed; }));
    failed.reset();
    openEngine();
    failed = engine_->downloadForIdentifierOfType("neubrandenburg", "map");
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(status(failed).phase, ZELDownloadPhase::Failed);
    EXPECT_EQ(status(failed).failure, ZELDownloadFailure::ServerError);
    ASSERT_TRUE(failed->lastError().has_value());
    EXPECT_EQ(failed->lastError()->domain, NSURLErrorDomain);

    failed.reset();
    const std::string side = ZELDownloadFailureFile::pathForQueueStore(queueStorePath());
    ASSERT_TRUE(fs::exists(side));
    {
        std::ofstream damaged(side, std::ios::trunc);
        damaged << "<plist><dict><key>map/neubrandenburg";
    }
    openEngine();
    failed = engine_->downloadForIdentifierOfType("neubrandenburg", "map");
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(status(failed).phase, ZELDownloadPhase::Failed);
    EXPECT_EQ(status(failed).failure, ZELDownloadFailure::Unknown);

    // A retry clears the reason; one that ends the download's failures
    // leaves no entry behind.
    server_->clearFaults();
    engine_->retryDownload(failed);
    ASSERT_TRUE(waitForRemoval("neubrandenburg", 120));
    EXPECT_FALSE(fs::exists(side));
}

TEST_F(ZELDownloadStatusTest, AServerThatCannotBeReachedIsALostConnection) {
    auto download = engine_->addDownload({.url = "http://127.0.0.1:1/map/DE/nowhere.zip",
                                          .destinationPath = mapsFolder(),
                                          .identifier = "nowhere",
                                          .type = "map"});
    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return status(download).phase == ZELDownloadPhase::Failed; }));
    EXPECT_EQ(status(download).failure, ZELDownloadFailure::ConnectionLost);
}

TEST(ZELDownloadFailureTest, EveryDomainOfTheRoadMapsToAReason) {
    const struct {
        NSError error;
        ZELDownloadFailure failure;
    } cases[] = {
        {NSURLErrorMake(NSURLErrorTimedOut, "", ""), ZELDownloadFailure::ConnectionLost},
        {NSURLErrorMake(NSURLErrorCannotFindHost, "", ""), ZELDownloadFailure::ConnectionLost},
        {NSURLErrorMake(NSURLErrorBadServerResponse, "", ""), ZELDownloadFailure::ServerError},
        {NSURLErrorMake(NSURLErrorCancelled, "", ""), ZELDownloadFailure::Cancelled},
        {NSURLErrorMake(NSURLErrorCannotWriteToFile, "", ""), ZELDownloadFailure::CannotWrite},
        {ZELDownloadErrorMake(ZELDownloadFailure::NotEnoughSpace, ""),
         ZELDownloadFailure::NotEnoughSpace},
        {ZELDownloadErrorMake(ZELDownloadFailure::WrongChecksum, ""),
         ZELDownloadFailure::WrongChecksum},
        {NSError::errorWithDomain(ZELZipArchive::kErrorDomain, ZELZipArchive::NotEnoughSpace),
         ZELDownloadFailure::NotEnoughSpace},
        {NSError::errorWithDomain(ZELZipArchive::kErrorDomain, ZELZipArchive::UnsafeEntry),
         ZELDownloadFailure::UnsafePackage},
        {NSError::errorWithDomain(ZELZipArchive::kErrorDomain, ZELZipArchive::CorruptEntry),
         ZELDownloadFailure::DamagedPackage},
        {NSError::errorWithDomain(ZELZipArchive::kErrorDomain, ZELZipArchive::CannotWrite),
         ZELDownloadFailure::CannotWrite},
        {NSError::errorWithDomain(ZELStagedInstall::kErrorDomain, ZELStagedInstall::CannotMove),
         ZELDownloadFailure::CannotWrite},
        {NSError::errorWithDomain(ZELStagedInstall::kErrorDomain, ZELStagedInstall::NotValid),
         ZELDownloadFailure::DamagedPackage},
        {NSError::errorWithDomain(NSError::NSCocoaErrorDomain, NSError::NSFileWriteOutOfSpaceError),
         ZELDownloadFailure::NotEnoughSpace},
        {NSError::errorWithDomain("SomebodyElsesDomain", 1), ZELDownloadFailure::Unknown},
        // A code outside the failures is no failure of ours.
        {NSError::errorWithDomain(ZELDownloadErrorDomain, 999), ZELDownloadFailure::Unknown},
    };
    for (const auto& each : cases)
        EXPECT_EQ(ZELDownloadFailureForError(each.error), each.failure) << each.error.description();
}

}  // namespace
