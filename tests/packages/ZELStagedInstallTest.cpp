#include "packages/ZELStagedInstall.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestZip.h"
#include "mapkit/MapkitTestSupport.h"

namespace fs = std::filesystem;

namespace {

class ZELStagedInstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(staged_);
        std::ofstream(staged_ + "/m.sqlite") << "new";
        fs::create_directories(installed_);
        std::ofstream(installed_ + "/m.sqlite") << "old";
    }
    TemporaryFolder folder_;
    std::string staged_ = folder_.file("staging/m");
    std::string installed_ = folder_.file("m");
};

TEST_F(ZELStagedInstallTest, ValidatedPackageReplacesTheOldOneOnceRecorded) {
    std::string recordedAt;
    NSError error;
    ASSERT_TRUE(ZELStagedInstall::installStagedItemAtPathToPath(
        staged_, installed_,
        [&](const std::string& path, NSError*) { return readFile(path + "/m.sqlite") == "new"; },
        [&](const std::string& path, NSError*) {
            recordedAt = path;
            // While the record is written the old copy is still aside.
            return fs::exists(ZELStagedInstall::previousPathForInstallPath(installed_));
        },
        &error));
    EXPECT_EQ(recordedAt, installed_);
    EXPECT_EQ(readFile(installed_ + "/m.sqlite"), "new");
    EXPECT_FALSE(fs::exists(ZELStagedInstall::previousPathForInstallPath(installed_)));
    EXPECT_FALSE(fs::exists(staged_));
}

TEST_F(ZELStagedInstallTest, AFailedValidationOrRecordKeepsTheOldInstall) {
    NSError error;
    EXPECT_FALSE(ZELStagedInstall::installStagedItemAtPathToPath(
        staged_, installed_, [](const std::string&, NSError*) { return false; }, nullptr, &error));
    EXPECT_EQ(readFile(installed_ + "/m.sqlite"), "old");
    EXPECT_FALSE(error.domain.empty());

    EXPECT_FALSE(ZELStagedInstall::installStagedItemAtPathToPath(
        staged_, installed_, nullptr, [](const std::string&, NSError*) { return false; }, &error));
    EXPECT_EQ(readFile(installed_ + "/m.sqlite"), "old");
    EXPECT_FALSE(fs::exists(ZELStagedInstall::previousPathForInstallPath(installed_)));
}

TEST_F(ZELStagedInstallTest, RecoveryAfterACrashKeepsWhicheverCopyIsWhole) {
    const std::string previous = ZELStagedInstall::previousPathForInstallPath(installed_);
    // Crash between setting the old copy aside and moving the new one in.
    fs::rename(installed_, previous);
    ZELStagedInstall::recoverInterruptedInstallAtPath(installed_);
    EXPECT_EQ(readFile(installed_ + "/m.sqlite"), "old");
    // Crash after the validated new copy was moved in.
    fs::rename(installed_, previous);
    fs::rename(staged_, installed_);
    ZELStagedInstall::recoverInterruptedInstallAtPath(installed_);
    EXPECT_EQ(readFile(installed_ + "/m.sqlite"), "new");
    EXPECT_FALSE(fs::exists(previous));
}

}  // namespace
