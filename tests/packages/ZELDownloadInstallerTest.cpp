#include "packages/ZELDownloadInstaller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "PackagesTestSupport.h"
#include "TestZip.h"
#include "packages/ZELDownloadManagerDownload.h"

namespace fs = std::filesystem;

namespace {

// Takes every package of its type, notes what was staged and ends the
// download without moving anything.
class NotingInstaller : public ZELDownloadInstaller {
  public:
    std::vector<std::string> installed;
    std::vector<std::string> stagedItems;
    std::optional<std::vector<std::string>> names;

    std::optional<std::vector<std::string>> downloadManagerStagedItemNamesForDownload(
        ZELDownloadManagerEngine&, const Download&) override {
        return names;
    }
    void downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                        const Download& download) override {
        installed.push_back(download->identifier());
        for (const auto& entry : fs::directory_iterator(download->stagingPath()))
            stagedItems.push_back(entry.path().filename().string());
        std::sort(stagedItems.begin(), stagedItems.end());
        engine.postProcessingFinishedForDownload(download, std::nullopt);
    }
};

class ZELDownloadInstallerTest : public DownloadTestBase {
  protected:
    ZELDownloadManagerEngine::Download load(const std::string& identifier,
                                            const std::string& type) {
        auto download = engine_->addDownload({.url = server_->urlFor(packagePath(identifier)),
                                              .destinationPath = mapsFolder(),
                                              .identifier = identifier,
                                              .type = type});
        EXPECT_NE(download, nullptr);
        engine_->resumeDownloads();
        EXPECT_TRUE(runUntil([&] {
            return recorder_->saw("didRemove " + identifier) ||
                   recorder_->saw("failed " + identifier);
        }));
        return download;
    }
    std::shared_ptr<NotingInstaller> installer_ = std::make_shared<NotingInstaller>();
};

TEST_F(ZELDownloadInstallerTest, APackageGoesToTheInstallerOfItsTypeWhileDelegatesOnlyWatch) {
    publish(samplePackage("three-rivers"), "three-rivers");
    engine_->setInstallerForType(installer_, "map");
    EXPECT_EQ(engine_->installerForType("map"), installer_);
    load("three-rivers", "map");
    EXPECT_EQ(installer_->installed, std::vector<std::string>{"three-rivers"});
    EXPECT_EQ(installer_->stagedItems, std::vector<std::string>{"three-rivers"});
    // The delegate heard of it before the installer had it, and nothing
    // moved the package in but the installer (which moved nothing).
    EXPECT_TRUE(recorder_->saw("postProcessing three-rivers"));
    EXPECT_FALSE(fs::exists(mapsFolder() + "/three-rivers"));
    EXPECT_EQ(engine_->currentQueueLength(), 0u);
}

TEST_F(ZELDownloadInstallerTest, ATypeWithoutALivingInstallerIsMovedIntoPlaceAsItIs) {
    publish(samplePackage("three-rivers"), "three-rivers");
    publish(samplePackage("liechtenstein"), "liechtenstein");
    load("three-rivers", "sample");
    EXPECT_TRUE(fs::exists(mapsFolder() + "/three-rivers/three-rivers.sqlite"));

    engine_->setInstallerForType(installer_, "sample");
    installer_.reset();
    EXPECT_EQ(engine_->installerForType("sample"), nullptr);
    load("liechtenstein", "sample");
    EXPECT_TRUE(fs::exists(mapsFolder() + "/liechtenstein/liechtenstein.sqlite"));
}

TEST_F(ZELDownloadInstallerTest, TheInstallerNamesTheItemsOfAPackageOfSeveral) {
    const std::string zip = root_.file("pair.zip");
    ASSERT_TRUE(writeTestZip(zip, {{"pair.txt", "one"}, {"pair/inside.txt", "two"}}));
    publish(zip, "pair");
    // Without names a package must be one item.
    auto refused = load("pair", "pair");
    EXPECT_EQ(engine_->statusForDownload(refused).failure, ZELDownloadFailure::DamagedPackage);
    engine_->cancelDownloads({refused});

    installer_->names = std::vector<std::string>{"pair.txt", "pair"};
    engine_->setInstallerForType(installer_, "pair");
    recorder_->events.clear();
    load("pair", "pair");
    EXPECT_EQ(installer_->installed, std::vector<std::string>{"pair"});
    EXPECT_EQ(installer_->stagedItems, (std::vector<std::string>{"pair", "pair.txt"}));
}

TEST_F(ZELDownloadInstallerTest, ARequestCarriesEveryFieldAsTheLongFormDoes) {
    auto requested = engine_->addDownload({.url = server_->urlFor(packagePath("one")),
                                           .destinationPath = mapsFolder(),
                                           .identifier = "one",
                                           .type = "map",
                                           .title = "One",
                                           .subTitle = "Places",
                                           .downloadSize = 1234,
                                           .priority = 3,
                                           .payLoad = "one-map",
                                           .progressReservedForPostProcessing = 0.25});
    auto positional =
        engine_
            ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                server_->urlFor(packagePath("two")), mapsFolder(), "two", std::string("One"),
                std::string("Places"), 1234, "map", 3, std::string("one-map"), 0.25);
    ASSERT_NE(requested, nullptr);
    ASSERT_NE(positional, nullptr);
    for (const auto& download : {requested, positional}) {
        EXPECT_EQ(download->destinationPath(), mapsFolder());
        EXPECT_EQ(download->type(), "map");
        EXPECT_EQ(download->title(), "One");
        EXPECT_EQ(download->subTitle(), "Places");
        EXPECT_EQ(download->downloadSize(), 1234);
        EXPECT_EQ(download->priority(), 3);
        EXPECT_EQ(download->payLoad(), "one-map");
        EXPECT_DOUBLE_EQ(download->progressReservedForPostProcessing(), 0.25);
        EXPECT_TRUE(download->dateAdded());
    }
    // The same identifier and type again is the queued download, unchanged.
    EXPECT_EQ(engine_->addDownload({.url = "http://elsewhere/one.zip",
                                    .destinationPath = "/elsewhere",
                                    .identifier = "one",
                                    .type = "map"}),
              requested);
    EXPECT_EQ(requested->url(), server_->urlFor(packagePath("one")));
    EXPECT_EQ(recorder_->count("didAdd one"), 1u);
    EXPECT_EQ(
        engine_->addDownload(
            {.url = "", .destinationPath = mapsFolder(), .identifier = "three", .type = "map"}),
        nullptr);
}

}  // namespace
