#include "packages/ZELDownloadStatusListener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "PackagesTestSupport.h"

namespace {

namespace fs = std::filesystem;

// Notes what a listener of one download type tells, as "<id> <phase>"; what
// a download brings counts as installed once its folder is there.
class StatusNotes : public ZELDownloadStatusListener {
  public:
    StatusNotes(std::string type, std::shared_ptr<ZELDownloadManagerEngine> engine,
                std::string folder)
        : ZELDownloadStatusListener(std::move(type)),
          engine_(std::move(engine)),
          folder_(std::move(folder)) {}

    std::vector<std::string> told;
    std::vector<std::string> leftQueue;
    size_t progressTold = 0;

    std::vector<std::string> toldOf(const std::string& identifier) const {
        std::vector<std::string> lines;
        for (const auto& line : told)
            if (line.starts_with(identifier + " "))
                lines.push_back(line.substr(identifier.size() + 1));
        return lines;
    }

  protected:
    std::shared_ptr<ZELDownloadManagerEngine> followedDownloadEngine() const override {
        return engine_.lock();
    }
    bool hasInstalledIdentifier(const std::string& identifier) override {
        return fs::exists(folder_ + "/" + identifier);
    }
    void downloadLeftQueueWithIdentifier(const std::string& identifier) override {
        leftQueue.push_back(identifier);
    }
    void downloadStatusChangedToForIdentifier(const ZELDownloadStatus& status,
                                              const std::string& identifier) override {
        told.push_back(identifier + " " + describeStatus(status, false));
    }
    void downloadProgressChangedToForIdentifier(const ZELDownloadStatus&,
                                                const std::string&) override {
        ++progressTold;
    }

  private:
    std::weak_ptr<ZELDownloadManagerEngine> engine_;
    std::string folder_;
};

class ZELDownloadStatusListenerTest : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        maps_ = std::make_shared<StatusNotes>("map", engine_, mapsFolder());
        others_ = std::make_shared<StatusNotes>("wikipedia", engine_, mapsFolder());
        engine_->addDelegate(maps_);
        engine_->addDelegate(others_);
    }
    ZELDownloadPhase phaseOf(const std::string& identifier) {
        return maps_->downloadStatusForIdentifier(identifier).phase;
    }
    std::shared_ptr<StatusNotes> maps_;
    std::shared_ptr<StatusNotes> others_;
};

// Two maps load side by side: each identifier hears its own steps, from
// queued to installed, and a download given up before it loads leaves
// nothing. A listener of another type hears none of it.
TEST_F(ZELDownloadStatusListenerTest, EachIdentifierIsToldItsOwnStatusFromTheEngine) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    publish(samplePackage("neubrandenburg"), "neubrandenburg");
    EXPECT_EQ(phaseOf("liechtenstein"), ZELDownloadPhase::None);
    EXPECT_EQ(maps_->downloadStatusForIdentifier(std::nullopt).phase, ZELDownloadPhase::None);
    add("liechtenstein", "LI");
    add("neubrandenburg");
    EXPECT_EQ(phaseOf("liechtenstein"), ZELDownloadPhase::Queued);
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    ASSERT_TRUE(waitForRemoval("neubrandenburg"));

    for (const std::string identifier : {"liechtenstein", "neubrandenburg"}) {
        const auto lines = maps_->toldOf(identifier);
        ASSERT_FALSE(lines.empty()) << identifier;
        EXPECT_EQ(lines.front(), "queued") << identifier;
        EXPECT_NE(std::find(lines.begin(), lines.end(), "loading"), lines.end()) << identifier;
        EXPECT_NE(std::find(lines.begin(), lines.end(), "installing"), lines.end()) << identifier;
        EXPECT_EQ(lines.back(), "installed") << identifier;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "installed"), 1) << identifier;
        EXPECT_EQ(phaseOf(identifier), ZELDownloadPhase::Installed);
    }
    EXPECT_GT(maps_->progressTold, 0u);
    EXPECT_EQ(maps_->leftQueue, (std::vector<std::string>{"liechtenstein", "neubrandenburg"}));

    publish(samplePackage("three-rivers"), "three-rivers", "US-MI");
    auto cancelled = add("three-rivers", "US-MI");
    engine_->cancelDownloads({cancelled});
    const auto given = maps_->toldOf("three-rivers");
    ASSERT_FALSE(given.empty());
    EXPECT_EQ(given.front(), "queued");
    EXPECT_EQ(given.back(), "none");
    EXPECT_TRUE(others_->told.empty());
    EXPECT_EQ(others_->progressTold, 0u);
    EXPECT_TRUE(others_->leftQueue.empty());
}

// The server refuses the package: the download is told failed, with why,
// and stays queued. Retried once the server gives it, it goes on to the
// install.
TEST_F(ZELDownloadStatusListenerTest, AFailureIsToldWithItsReasonAndARetryGoesOnToTheInstall) {
    publish(samplePackage("liechtenstein"), "liechtenstein", "LI");
    server_->fault(packagePath("liechtenstein", "LI"), "status=500&count=100");
    auto download = add("liechtenstein", "LI");
    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return phaseOf("liechtenstein") == ZELDownloadPhase::Failed; }));
    EXPECT_EQ(maps_->toldOf("liechtenstein").back(), "failed");
    EXPECT_EQ(maps_->downloadStatusForIdentifier("liechtenstein").failure,
              ZELDownloadFailure::ServerError);
    EXPECT_TRUE(maps_->leftQueue.empty());

    server_->clearFaults();
    maps_->told.clear();
    engine_->retryDownload(download);
    ASSERT_TRUE(waitForRemoval("liechtenstein"));
    const auto lines = maps_->toldOf("liechtenstein");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "queued");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "failed"), 0);
    EXPECT_EQ(lines.back(), "installed");
    EXPECT_EQ(maps_->leftQueue, std::vector<std::string>{"liechtenstein"});
}

}  // namespace
