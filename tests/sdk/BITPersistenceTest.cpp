#include "sdk/BITPersistence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Foundation/NSNotificationCenter.h"
#include "SdkTestSupport.h"
#include "TelemetryTestSupport.h"

namespace {

class BITPersistenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetTelemetryStorage();
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelVerbose);
    }
    void TearDown() override {
        runMainLoopFor(0.05);
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelWarning);
    }

    std::shared_ptr<BITPersistence> persistence = std::make_shared<BITPersistence>();
};

TEST_F(BITPersistenceTest, FoldersAndNames) {
    const std::string root = *persistence->appZizavaSDKDirectoryPath();
    EXPECT_TRUE(std::filesystem::is_directory(root + "/Telemetry"));
    EXPECT_TRUE(std::filesystem::is_directory(root + "/MetaData"));
    const std::string first = persistence->fileURLForType(BITPersistenceTypeTelemetry);
    EXPECT_NE(first, persistence->fileURLForType(BITPersistenceTypeTelemetry));
    EXPECT_NE(first.find("/Telemetry/zizava-app-bundle-"), std::string::npos);
    EXPECT_EQ(persistence->fileURLForType(BITPersistenceTypeMetaData), root + "/MetaData/metadata");
    EXPECT_EQ(persistence->fileURLForType(BITPersistenceTypeMetaData),
              persistence->fileURLForType(BITPersistenceTypeMetaData));
}

TEST_F(BITPersistenceTest, FilesAreHandedOutOnce) {
    const std::string a = writeTelemetryFile(*persistence, {"{}"});
    const std::string b = writeTelemetryFile(*persistence, {"{}"});
    const auto first = persistence->requestNextFilePath();
    const auto second = persistence->requestNextFilePath();
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_FALSE(persistence->requestNextFilePath());
    persistence->giveBackRequestedFilePath(*first);
    EXPECT_EQ(persistence->requestNextFilePath(), first);

    persistence->deleteFileAtPath(*second);
    EXPECT_FALSE(std::filesystem::exists(*second));
    EXPECT_EQ(persistence->requestedBundlePaths(), std::vector<std::string>{*first});
}

TEST_F(BITPersistenceTest, FreeSpaceEndsAtTheFileLimit) {
    for (int i = 0; i < 49; ++i)
        writeTelemetryFile(*persistence, {"{}"});
    EXPECT_TRUE(persistence->isFreeSpaceAvailable());
    writeTelemetryFile(*persistence, {"{}"});
    EXPECT_FALSE(persistence->isFreeSpaceAvailable());
}

TEST_F(BITPersistenceTest, OnlyBundleFilesCount) {
    // A temporary file of an interrupted write and a stray file are not bundles.
    const std::string folder = persistence->folderPathForType(BITPersistenceTypeTelemetry);
    std::ofstream(folder + "/zizava-app-bundle-X.tmp.abc123") << "half";
    std::ofstream(folder + "/notes") << "x";
    std::ofstream(folder + "/.hidden") << "x";
    EXPECT_EQ(telemetryFiles(*persistence).size(), 0u);
    EXPECT_FALSE(persistence->requestNextFilePath());
}

TEST_F(BITPersistenceTest, MetaDataFileIsNoBundle) {
    persistence->persistMetaData({{"key", "value"}});
    persistence->waitForPendingWrites();
    const std::string path = persistence->fileURLForType(BITPersistenceTypeMetaData);
    EXPECT_EQ(persistence->metaData(), (Value::Dictionary{{"key", "value"}}));
    EXPECT_FALSE(persistence->dataAtFilePath(path));
    persistence->deleteFileAtPath(path);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(BITPersistenceTest, MissingOrDamagedMetaDataReadsEmpty) {
    LogCapture log;
    EXPECT_TRUE(persistence->metaData().empty());
    EXPECT_TRUE(log.contains("INFO: The context meta data file could not be loaded."));
    std::ofstream(persistence->fileURLForType(BITPersistenceTypeMetaData)) << "bplist00garbage";
    EXPECT_TRUE(persistence->metaData().empty());
}

TEST_F(BITPersistenceTest, BundleWriteAnnouncesItself) {
    int announced = 0;
    const auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        BITPersistenceSuccessNotification, nullptr, {},
        [&](const NSNotification&) { ++announced; });
    const std::string text = "{\"a\":1}\n";
    persistence->persistBundle(Value::Data(text.begin(), text.end()));
    const auto files = telemetryFiles(*persistence);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(persistence->dataAtFilePath(files[0]), Value::Data(text.begin(), text.end()));
    ASSERT_TRUE(drainMainQueue());  // the write announces itself on the main queue
    EXPECT_EQ(announced, 1);
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
}

TEST_F(BITPersistenceTest, TheBundleIsWrittenOnThePersistenceQueue) {
    const std::string text = "{}\n";
    persistence->persistBundle(Value::Data(text.begin(), text.end()));
    persistence->persistenceQueue()->sync([] {});
    EXPECT_EQ(persistence->persistedFilesForType(BITPersistenceTypeTelemetry)->size(), 1u);
}

TEST_F(BITPersistenceTest, NoFileForMissingOrEmptyBundles) {
    int announced = 0;
    const auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        BITPersistenceSuccessNotification, nullptr, {},
        [&](const NSNotification&) { ++announced; });
    LogCapture log;
    persistence->persistBundle(std::nullopt);
    persistence->persistBundle(Value::Data{});
    EXPECT_TRUE(telemetryFiles(*persistence).empty());
    EXPECT_TRUE(log.contains("as provided bundle was null"));
    runMainLoopFor(0.1);
    EXPECT_EQ(announced, 0);
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
}

TEST_F(BITPersistenceTest, DeletingAMissingFileKeepsItRequested) {
    const std::string path = writeTelemetryFile(*persistence, {"{}"});
    ASSERT_EQ(persistence->requestNextFilePath(), path);
    std::filesystem::remove(path);
    LogCapture log;
    persistence->deleteFileAtPath(path);
    EXPECT_TRUE(log.contains("Error deleting file at path"));
    EXPECT_EQ(persistence->requestedBundlePaths(), std::vector<std::string>{path});
}

}  // namespace
