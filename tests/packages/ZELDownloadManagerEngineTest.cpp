#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "PackagesTestSupport.h"
#include "TestZip.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadTransfer.h"

namespace fs = std::filesystem;

namespace {

class ZELDownloadManagerEngineTest : public DownloadTestBase {
  protected:
    // The request log entries for a path.
    std::vector<Value::Dictionary> requestsFor(const std::string& path) const {
        std::vector<Value::Dictionary> found;
        for (const Value& entry : server_->log()) {
            const auto* dictionary = entry.dictionaryValue();
            if (dictionary && dictionary->count("path") &&
                *dictionary->at("path").stringValue() == path)
                found.push_back(*dictionary);
        }
        return found;
    }
    static std::string field(const Value::Dictionary& entry, const std::string& key) {
        auto found = entry.find(key);
        if (found == entry.end())
            return {};
        if (const auto* text = found->second.stringValue())
            return *text;
        return std::to_string(found->second.integerValue().value_or(0));
    }
    std::string installedFile(const std::string& identifier) const {
        return mapsFolder() + "/" + identifier + "/" + identifier + ".sqlite";
    }
    // Starts the download with a cut at `fraction` of the file and waits
    // for the failure it causes.
    ZELDownloadManagerEngine::Download loadUntilCut(const std::string& identifier,
                                                    double fraction) {
        const auto size = fs::file_size(root_.path() + packagePath(identifier));
        server_->fault(
            packagePath(identifier),
            "cut=" + std::to_string(static_cast<uint64_t>(size * fraction)) + "&count=1");
        auto download = add(identifier);
        engine_->resumeDownloads();
        EXPECT_TRUE(waitForState(download, ZELDownloadStateFailed));
        return download;
    }
};

TEST_F(ZELDownloadManagerEngineTest, LoadsUnpacksAndInstallsAPackageWithOrderedMessages) {
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    auto download = add("neubrandenburg");
    ASSERT_NE(download, nullptr);
    EXPECT_EQ(engine_->currentQueueLength(), 1u);
    engine_->resumeDownloads();
    EXPECT_TRUE(engine_->isDownloading());
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));

    EXPECT_TRUE(fs::exists(installedFile("neubrandenburg")));
    EXPECT_FALSE(fs::exists(mapsFolder() + "/neubrandenburg.map.zip"));
    EXPECT_FALSE(fs::exists(mapsFolder() + "/neubrandenburg.map.staging"));
    EXPECT_EQ(engine_->currentQueueLength(), 0u);
    EXPECT_FALSE(engine_->isDownloading());
    const std::vector<std::string> expected{
        "didAdd neubrandenburg",    "willStartLoading neubrandenburg", "finished neubrandenburg",
        "willUnzip neubrandenburg", "postProcessing neubrandenburg",   "willRemove neubrandenburg",
        "didRemove neubrandenburg"};
    EXPECT_EQ(recorder_->events, expected);
    // Progress rises within 0...1 and ends at 1.
    ASSERT_FALSE(recorder_->progress.empty());
    EXPECT_DOUBLE_EQ(recorder_->progress.back(), 1.0);
    for (size_t i = 0; i < recorder_->progress.size(); ++i) {
        EXPECT_GE(recorder_->progress[i], 0.0);
        EXPECT_LE(recorder_->progress[i], 1.0);
        if (i > 0) {
            EXPECT_GE(recorder_->progress[i], recorder_->progress[i - 1]);
        }
    }
    // One plain request, no range.
    const auto requests = requestsFor(packagePath("neubrandenburg"));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(field(requests[0], "range"), "");
}

TEST_F(ZELDownloadManagerEngineTest, AddingTwiceAnswersTheQueuedDownloadAndBadNamesAreRefused) {
    auto first = add("neubrandenburg");
    auto second = add("neubrandenburg");
    EXPECT_EQ(first, second);
    EXPECT_EQ(recorder_->count("didAdd neubrandenburg"), 1u);
    EXPECT_EQ(add("../etc"), nullptr);
    EXPECT_EQ(add(""), nullptr);
    EXPECT_EQ(add(std::string(65, 'a')), nullptr);
    EXPECT_EQ(engine_->downloadForIdentifierOfType("neubrandenburg", "map"), first);
    EXPECT_EQ(engine_->downloadForIdentifierOfType("neubrandenburg", "wikipedia"), nullptr);
    EXPECT_EQ(engine_->downloadForIdentifierOfType(std::nullopt, "map"), nullptr);
}

TEST_F(ZELDownloadManagerEngineTest, QueueIsOrderedByFailuresThenPriorityThenAge) {
    auto make = [&](const std::string& identifier, int priority) {
        return engine_
            ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                server_->urlFor(packagePath(identifier)), mapsFolder(), identifier, std::nullopt,
                std::nullopt, std::nullopt, "map", priority, std::nullopt, std::nullopt);
    };
    auto low = make("low", 1);
    auto high = make("high", 5);
    auto failed = make("failed", 9);
    auto older = make("older", 1);
    failed->setFailedConnectionsCount(2);
    engine_->saveChanges();
    const auto queue = engine_->currentQueue();
    ASSERT_TRUE(queue);
    std::vector<std::string> order;
    for (const auto& download : *queue)
        order.push_back(download->identifier());
    EXPECT_EQ(order, (std::vector<std::string>{"high", "low", "older", "failed"}));
}

TEST_F(ZELDownloadManagerEngineTest, OneTransferRunsAtATimeAndTheNextStartsWhenItEnds) {
    publish(samplePackage("liechtenstein"), "liechtenstein");
    publish(samplePackage("three-rivers"), "three-rivers");
    add("liechtenstein");
    add("three-rivers");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    const auto position = [&](const std::string& event) {
        return std::find(recorder_->events.begin(), recorder_->events.end(), event) -
               recorder_->events.begin();
    };
    EXPECT_LT(position("finished liechtenstein"), position("willStartLoading three-rivers"));
    EXPECT_TRUE(fs::exists(installedFile("liechtenstein")));
    EXPECT_TRUE(fs::exists(installedFile("three-rivers")));
}

TEST_F(ZELDownloadManagerEngineTest, ResumingIsDisabledUntilAllowed) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    engine_.reset();
    engine_ = ZELDownloadManagerEngine::createWithStorePath(queueStorePath());
    engine_->addDelegate(recorder_);
    EXPECT_TRUE(engine_->isResumeDisabled());
    add("liechtenstein", "LI");
    engine_->resumeDownloads();
    EXPECT_FALSE(engine_->isDownloading());
    engine_->setIsResumeDisabled(false);
    EXPECT_FALSE(engine_->isResumeDisabled());
    EXPECT_TRUE(recorder_->saw("resumeEnabled"));
    engine_->resumeDownloads();
    EXPECT_TRUE(engine_->isDownloading());
    EXPECT_TRUE(waitForRemoval("liechtenstein"));
}

TEST_F(ZELDownloadManagerEngineTest, ACutAt40PercentResumesWithRangeAndIfRange) {
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    auto download = loadUntilCut("neubrandenburg", 0.4);
    EXPECT_TRUE(recorder_->saw("failed neubrandenburg"));
    EXPECT_EQ(download->failedConnectionsCount(), 1);
    const int64_t loaded = download->bytesLoaded().value_or(0);
    EXPECT_GT(loaded, 0);
    EXPECT_LE(download->progress(), 1.0);

    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
    EXPECT_TRUE(fs::exists(installedFile("neubrandenburg")));
    // The size is the whole file's (from Content-Range), not the remainder's.
    for (double value : recorder_->progress)
        EXPECT_LE(value, 1.0);
    EXPECT_DOUBLE_EQ(recorder_->progress.back(), 1.0);
    const auto requests = requestsFor(packagePath("neubrandenburg"));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(field(requests[1], "range"), "bytes=" + std::to_string(loaded) + "-");
    EXPECT_EQ(field(requests[1], "ifRange"),
              "\"" + *ZELDownloadTransfer::md5OfFile(samplePackage("neubrandenburg")) + "\"");
    EXPECT_EQ(field(requests[1], "status"), "206");
}

TEST_F(ZELDownloadManagerEngineTest,
       AFileChangedOnTheServerMidDownloadStartsOverAndInstallsTheNewOne) {
    const std::string served = publish(samplePackage("neubrandenburg"), "neubrandenburg");
    const std::string newer = root_.file("newer.zip");
    ASSERT_TRUE(writeTestZip(newer, {{"neubrandenburg/neubrandenburg.sqlite", "version two"}}));
    const auto size = fs::file_size(served);
    server_->fault(packagePath("neubrandenburg"),
                   "cut=" + std::to_string(size / 2) + "&count=1&replaceWith=" + newer);
    auto download = add("neubrandenburg");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(download, ZELDownloadStateFailed));
    ASSERT_TRUE(runUntil([&] { return requestsFor(packagePath("neubrandenburg")).size() == 1; }));
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
    EXPECT_EQ(readFile(installedFile("neubrandenburg")), "version two");
    const auto requests = requestsFor(packagePath("neubrandenburg"));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(field(requests[1], "status"), "200");  // If-Range named the old file
}

TEST_F(ZELDownloadManagerEngineTest, AWholeFileAnswerToARangeRequestStartsOver) {
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    loadUntilCut("neubrandenburg", 0.4);
    server_->fault(packagePath("neubrandenburg"), "ignoreRange=1");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
    EXPECT_TRUE(fs::exists(installedFile("neubrandenburg")));
    const auto requests = requestsFor(packagePath("neubrandenburg"));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(field(requests[1], "status"), "200");
}

TEST_F(ZELDownloadManagerEngineTest, A206StartingElsewhereThanTheOffsetIsNeverAppended) {
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    loadUntilCut("neubrandenburg", 0.4);
    server_->fault(packagePath("neubrandenburg"), "lieRange=1");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));
    // The lying 206 was dropped and the file loaded again from the start.
    const auto requests = requestsFor(packagePath("neubrandenburg"));
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(field(requests[2], "range"), "");
    EXPECT_TRUE(fs::exists(installedFile("neubrandenburg")));
}

TEST_F(ZELDownloadManagerEngineTest, AnMD5MismatchFailsWithNothingInstalled) {
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    server_->fault(packagePath("neubrandenburg"), "badMd5=1");
    auto download = add("neubrandenburg");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(download, ZELDownloadStateFailed));
    EXPECT_FALSE(fs::exists(mapsFolder() + "/neubrandenburg"));
    EXPECT_FALSE(recorder_->saw("finished neubrandenburg"));
    // The corrupt file is not kept for a resume.
    EXPECT_EQ(download->bytesLoaded().value_or(-1), 0);
    EXPECT_GE(download->progress(), 0.0);
    EXPECT_LE(download->progress(), 1.0);
}

TEST_F(ZELDownloadManagerEngineTest, AServerErrorFailsAndALaterResumeSucceeds) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    server_->fault(packagePath("liechtenstein", "LI"), "status=500&count=1");
    auto download = add("liechtenstein", "LI");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(download, ZELDownloadStateFailed));
    ASSERT_TRUE(download->lastError().has_value());
    engine_->resumeDownloads();
    EXPECT_TRUE(waitForRemoval("liechtenstein"));
}

TEST_F(ZELDownloadManagerEngineTest, ProgressStaysWithinOneWhenTheExpectedSizeIsWrongOrZero) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    auto download =
        engine_
            ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                server_->urlFor(packagePath("liechtenstein", "LI")), mapsFolder(), "liechtenstein",
                std::nullopt, std::nullopt, int64_t{0}, "map", 0, std::nullopt, 0.4);
    EXPECT_EQ(download->progress(), 0.0);
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    for (double value : recorder_->progress) {
        EXPECT_GE(value, 0.0);
        EXPECT_LE(value, 1.0);
    }
}

}  // namespace

namespace {

// Answers whether packages are to be unpacked, noting who asked.
class UnzipJudge : public ZELDownloadManagerEngineDelegate {
  public:
    std::optional<bool> answer;
    std::vector<std::string> asked;
    std::optional<bool> downloadManagerShouldUnzipDownload(ZELDownloadManagerEngine&,
                                                           const Download& download) override {
        asked.push_back(download->identifier());
        return answer;
    }
};

}  // namespace

// A delegate that will not have a package unpacked keeps it as loaded: the
// download fails saying why (also after a restart), is not loaded again by a
// resume, and a retry asks again; without an answer the package is unpacked
// as ever.
TEST_F(ZELDownloadManagerEngineTest, APackageADelegateWillNotHaveUnpackedIsKeptAsLoaded) {
    const std::string file = publish(samplePackage("liechtenstein"), "liechtenstein");
    auto judge = std::make_shared<UnzipJudge>();
    judge->answer = false;
    engine_->addDelegate(judge);
    auto download = add("liechtenstein");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForState(download, ZELDownloadStateFailed));
    EXPECT_EQ(judge->asked, std::vector<std::string>{"liechtenstein"});
    EXPECT_EQ(download->failure(), ZELDownloadFailure::NotUnpacked);
    EXPECT_EQ(engine_->statusForDownload(download).failure, ZELDownloadFailure::NotUnpacked);
    EXPECT_FALSE(recorder_->saw("willUnzip liechtenstein"));
    EXPECT_TRUE(recorder_->saw("failed liechtenstein"));
    ASSERT_TRUE(fs::exists(download->zipPath()));
    EXPECT_EQ(fs::file_size(download->zipPath()), fs::file_size(file));
    EXPECT_FALSE(fs::exists(installedFile("liechtenstein")));

    // After a restart too.
    openEngine();
    engine_->addDelegate(judge);
    download = engine_->downloadForIdentifierOfType("liechtenstein", "map");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->failure(), ZELDownloadFailure::NotUnpacked);
    engine_->resumeDownloads();
    EXPECT_FALSE(engine_->isDownloading());
    EXPECT_EQ(download->downloadState(), ZELDownloadStateFailed);

    judge->answer.reset();
    engine_->retryDownload(download);
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    EXPECT_EQ(judge->asked.size(), 2u);
    EXPECT_TRUE(fs::exists(installedFile("liechtenstein")));
}
