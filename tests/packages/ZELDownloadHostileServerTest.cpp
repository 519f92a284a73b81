#include <gtest/gtest.h>

#include <filesystem>

#include "Dispatch/DispatchQueue.h"
#include "PackagesTestSupport.h"
#include "TestZip.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadTransfer.h"

namespace fs = std::filesystem;

namespace {

// A map store that answers with more than a package holds, and packages that
// unpack to more than they should: nothing of it may fill the disk, and what
// it refuses is not loaded again by itself.
class ZELDownloadHostileServerTest : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        packageSize_ =
            int64_t(fs::file_size(publish(samplePackage("liechtenstein"), "liechtenstein", "LI")));
    }
    // Queued as the store's detail screen does: with the catalogue's size.
    ZELDownloadManagerEngine::Download addWithSize(const std::string& identifier,
                                                   const std::string& code,
                                                   std::optional<int64_t> size) {
        return engine_
            ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                server_->urlFor(packagePath(identifier, code)), mapsFolder(), identifier,
                identifier, std::nullopt, size, "map", 0, identifier, 0.4);
    }
    size_t requestsFor(const std::string& path) const {
        size_t count = 0;
        for (const Value& entry : server_->log())
            count += *entry.dictionaryValue()->at("path").stringValue() == path;
        return count;
    }
    // Fails the download through the fault and checks that its file went.
    void expectRefusedAsTooLarge(const std::string& fault) {
        SCOPED_TRACE(fault);
        server_->fault(packagePath("liechtenstein", "LI"), fault);
        auto download = addWithSize("liechtenstein", "LI", packageSize_);
        engine_->resumeDownloads();
        ASSERT_TRUE(waitForState(download, ZELDownloadStateFailed));
        EXPECT_EQ(download->failure(), ZELDownloadFailure::TooLarge);
        EXPECT_FALSE(fs::exists(download->zipPath()));
        EXPECT_EQ(download->bytesLoaded().value_or(-1), 0);
        // The catalogue's size stays the bound, whatever the server claimed.
        EXPECT_EQ(download->downloadSize(), packageSize_);
        engine_->cancelDownloads({download});
        server_->clearFaults();
    }
    int64_t packageSize_ = 0;
};

TEST_F(ZELDownloadHostileServerTest, AnswersBeyondTheCataloguesSizeFailAndLeaveNoFile) {
    expectRefusedAsTooLarge("padTo=314572800");
    expectRefusedAsTooLarge("endless=1");
}

TEST_F(ZELDownloadHostileServerTest, AnAnswerWithoutLengthWithinTheSizeInstalls) {
    server_->fault(packagePath("liechtenstein", "LI"), "noLength=1");
    auto download = addWithSize("liechtenstein", "LI", packageSize_);
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    EXPECT_TRUE(fs::exists(mapsFolder() + "/liechtenstein/liechtenstein.sqlite"));
}

// Without a known size the transfer still stops at its bound: an endless
// answer writes no byte past it.
TEST_F(ZELDownloadHostileServerTest, AnEndlessAnswerStopsAtTheTransfersBound) {
    server_->fault(packagePath("liechtenstein", "LI"), "endless=1");
    ZELDownloadTransferStart start;
    start.url = server_->urlFor(packagePath("liechtenstein", "LI"));
    start.path = home_.file("endless.zip");
    start.maximumSize = 5 << 20;
    std::optional<ZELDownloadTransferResult> result;
    auto main = DispatchQueue::main();
    auto transfer = ZELDownloadTransfer::start(
        start, DispatchQueue::createSerial("test.endless"), nullptr,
        [&, main](ZELDownloadTransferResult done) { main->async([&, done] { result = done; }); });
    ASSERT_TRUE(runUntil([&] { return result.has_value(); }, 60));
    ASSERT_TRUE(result->error.has_value());
    EXPECT_EQ(ZELDownloadFailureForError(*result->error), ZELDownloadFailure::TooLarge);
    EXPECT_LE(result->bytesLoaded, start.maximumSize);
    EXPECT_LE(int64_t(fs::file_size(start.path)), start.maximumSize);
}

// At the next start only what a retry may cure loads again: a package lost to
// a server error does, one refused as a zip bomb waits for the user.
TEST_F(ZELDownloadHostileServerTest, AtStartOnlyCurableFailuresAreLoadedAgain) {
    const std::string bomb = root_.file("bomb.zip");
    ASSERT_TRUE(writeTestZip(bomb, {{.name = "neubrandenburg/neubrandenburg.sqlite",
                                     .content = std::string(64 << 20, '\0'),
                                     .compressed = true}}));
    ASSERT_LT(fs::file_size(bomb), 1u << 20);
    publish(bomb, "neubrandenburg");
    server_->fault(packagePath("liechtenstein", "LI"), "status=503&count=1");
    auto lost = addWithSize("liechtenstein", "LI", packageSize_);
    auto refused = addWithSize("neubrandenburg", "DE", int64_t(fs::file_size(bomb)));
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(lost, ZELDownloadStateFailed));
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(refused, ZELDownloadStateUnzipFailed));
    EXPECT_EQ(refused->failure(), ZELDownloadFailure::TooLarge);
    EXPECT_FALSE(fs::exists(refused->zipPath()));
    EXPECT_FALSE(fs::exists(refused->stagingPath()));
    const size_t bombRequests = requestsFor(packagePath("neubrandenburg"));

    openEngine();
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    auto waiting = engine_->downloadForIdentifierOfType("neubrandenburg", "map");
    ASSERT_NE(waiting, nullptr);
    EXPECT_EQ(waiting->downloadState(), ZELDownloadStateUnzipFailed);
    EXPECT_EQ(waiting->failure(), ZELDownloadFailure::TooLarge);
    EXPECT_EQ(requestsFor(packagePath("neubrandenburg")), bombRequests);

    // The user asks: it loads again (and is refused again).
    engine_->retryDownload(waiting);
    ASSERT_TRUE(
        runUntil([&] { return requestsFor(packagePath("neubrandenburg")) > bombRequests; }));
    ASSERT_TRUE(waitForState(waiting, ZELDownloadStateUnzipFailed));
}

}  // namespace
