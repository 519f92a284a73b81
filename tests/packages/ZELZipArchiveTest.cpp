#include "packages/ZELZipArchive.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>

#include "PackagesTestSupport.h"
#include "TestZip.h"
#include "packages/ZELDownloadManagerDownload.h"

namespace fs = std::filesystem;

namespace {

struct HostileCase {
    std::string name;
    std::vector<TestZipEntry> entries;
    // Applied to the written zip (corruption, truncation).
    std::function<void(const std::string&)> spoil;
};

std::string outsideTarget() {
    return (fs::temp_directory_path() / ("kvevil-" + std::to_string(getpid()))).string();
}

std::vector<HostileCase> hostileCases() {
    const TestZipEntry store{"neubrandenburg/neubrandenburg.sqlite", "NEW-STORE-CONTENT"};
    return {
        {"traversal", {store, {"neubrandenburg/../../evil.txt", "evil"}}, nullptr},
        {"absolute", {store, {outsideTarget(), "evil"}}, nullptr},
        {"backslash", {store, {"neubrandenburg\\..\\evil.txt", "evil"}}, nullptr},
        {"drive letter", {store, {"C:/evil.txt", "evil"}}, nullptr},
        {"symlink", {store, {"neubrandenburg/link", "/etc/passwd", true}}, nullptr},
        {"two top items", {store, {"other/evil.txt", "evil"}}, nullptr},
        {"wrong folder name", {{"liechtenstein/liechtenstein.sqlite", "x"}}, nullptr},
        {"crc error",
         {store},
         [](const std::string& zip) { ASSERT_TRUE(corruptFileAt(zip, "NEW-STORE-CONTENT")); }},
        {"truncated",
         {store, {"neubrandenburg/more.txt", std::string(4000, 'm')}},
         [](const std::string& zip) { ASSERT_TRUE(truncateFile(zip, fs::file_size(zip) / 2)); }},
        {"empty", {}, nullptr},
        // One honest entry of 64 MiB in a package of some kilobytes.
        {"zip bomb",
         {{.name = store.name, .content = std::string(64 << 20, '\0'), .compressed = true}},
         nullptr},
        {"headers lie about sizes",
         {{.name = store.name, .content = std::string(64 << 20, '\0'), .compressed = true}},
         [](const std::string& zip) { ASSERT_TRUE(lieAboutUnpackedSizes(zip, 1000)); }},
    };
}

bool anyFileNamed(const std::string& folder, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            return true;
    }
    return false;
}

class ZELZipArchiveTest : public DownloadTestBase {};

TEST_F(ZELZipArchiveTest, EveryHostileArchiveFailsAndLeavesTheInstalledMapAndAllElseUntouched) {
    const std::string installed = mapsFolder() + "/neubrandenburg/neubrandenburg.sqlite";
    fs::create_directories(fs::path(installed).parent_path());
    std::ofstream(installed) << "OLD-STORE";
    for (const HostileCase& hostile : hostileCases()) {
        SCOPED_TRACE(hostile.name);
        const std::string zip = root_.file("hostile.zip");
        fs::remove(zip);
        ASSERT_TRUE(writeTestZip(zip, hostile.entries));
        if (hostile.spoil)
            hostile.spoil(zip);
        publish(zip, "neubrandenburg");
        recorder_->events.clear();
        auto download = add("neubrandenburg");
        engine_->resumeDownloads();
        ASSERT_TRUE(waitForState(download, ZELDownloadStateUnzipFailed));
        EXPECT_TRUE(recorder_->saw("failed neubrandenburg"));
        ASSERT_TRUE(download->lastError().has_value());
        EXPECT_EQ(download->lastError()->domain, ZELZipArchive::kErrorDomain);
        // The installed map, and nothing anywhere else: the refused zip is
        // removed, a retry loads the package anew.
        EXPECT_EQ(readFile(installed), "OLD-STORE");
        EXPECT_FALSE(fs::exists(download->zipPath()));
        EXPECT_FALSE(fs::exists(download->stagingPath()));
        EXPECT_FALSE(anyFileNamed(home_.path(), "evil"));
        EXPECT_FALSE(fs::exists(outsideTarget()));
        EXPECT_EQ(fs::exists(mapsFolder() + "/other"), false);
        engine_->cancelDownloads({download});
        runUntil([&] { return !fs::exists(mapsFolder() + "/neubrandenburg.map.zip"); }, 5);
    }
}

TEST(ZELZipArchiveNames, OnlyPlainRelativeNamesAreSafe) {
    EXPECT_TRUE(ZELZipArchive::isSafeEntryName("a/b.sqlite"));
    EXPECT_TRUE(ZELZipArchive::isSafeEntryName("a/"));
    for (const char* name : {"", "/a", "a/../b", "..", "./a", "a//b", "a\\b", "C:/a", "a/./b"})
        EXPECT_FALSE(ZELZipArchive::isSafeEntryName(name)) << name;
}

TEST(ZELZipArchiveUnzip, UnpacksAWellFormedPackageIntoStaging) {
    TemporaryFolder folder;
    const std::string zip = folder.file("p.zip");
    ASSERT_TRUE(
        writeTestZip(zip, {{"p/", ""}, {"p/p.sqlite", "store"}, {"p/layers/l.plist", "l"}}));
    NSError error;
    const auto unpacked =
        ZELZipArchive::unzipFileToStagingPath(zip, folder.file("staging"), "p", &error);
    ASSERT_TRUE(unpacked) << error.description();
    EXPECT_EQ(*unpacked, folder.file("staging") + "/p");
    EXPECT_EQ(readFile(*unpacked + "/p.sqlite"), "store");
    EXPECT_EQ(readFile(*unpacked + "/layers/l.plist"), "l");
    // A file that is not a zip is refused with a clear error.
    std::ofstream(folder.file("not.zip")) << "not a zip";
    EXPECT_FALSE(ZELZipArchive::unzipFileToStagingPath(folder.file("not.zip"), folder.file("s2"),
                                                       "p", &error));
    EXPECT_EQ(error.code, ZELZipArchive::CannotOpen);
    EXPECT_FALSE(fs::exists(folder.file("s2")));
}

TEST(ZELZipArchiveUnzip, WithoutAFolderNameOneItemOfAnyNameIsTaken) {
    TemporaryFolder folder;
    const std::string single = folder.file("single.zip");
    ASSERT_TRUE(writeTestZip(single, {{"mapStore.sqlite", "catalogue"}}));
    NSError error;
    const auto unpacked =
        ZELZipArchive::unzipFileToStagingPath(single, folder.file("s"), std::nullopt, &error);
    ASSERT_TRUE(unpacked) << error.description();
    EXPECT_EQ(readFile(*unpacked), "catalogue");
    // Two items, or a file where the folder is required, are refused.
    const std::string two = folder.file("two.zip");
    ASSERT_TRUE(writeTestZip(two, {{"a.sqlite", "a"}, {"b.sqlite", "b"}}));
    EXPECT_FALSE(
        ZELZipArchive::unzipFileToStagingPath(two, folder.file("s2"), std::nullopt, &error));
    EXPECT_EQ(error.code, ZELZipArchive::WrongLayout);
    const std::string file = folder.file("file.zip");
    ASSERT_TRUE(writeTestZip(file, {{"p", "not a folder"}}));
    EXPECT_FALSE(ZELZipArchive::unzipFileToStagingPath(file, folder.file("s3"), "p", &error));
    EXPECT_FALSE(fs::exists(folder.file("s3")));
}

// An archive may unpack to many times its size, up to its bound: an honest
// bomb is refused before anything is written, and one whose headers claim
// less than its data inflates to stops at what it claimed.
TEST(ZELZipArchiveUnzip, NoArchiveUnpacksPastItsBound) {
    TemporaryFolder folder;
    const std::string fine = folder.file("fine.zip");
    ASSERT_TRUE(writeTestZip(
        fine, {{.name = "p/p.sqlite", .content = std::string(8 << 20, 'a'), .compressed = true}}));
    NSError error;
    EXPECT_TRUE(ZELZipArchive::unzipFileToStagingPath(fine, folder.file("s1"), "p", &error))
        << error.description();

    const std::string bomb = folder.file("bomb.zip");
    const TestZipEntry huge{
        .name = "p/p.sqlite", .content = std::string(64 << 20, '\0'), .compressed = true};
    ASSERT_TRUE(writeTestZip(bomb, {huge}));
    EXPECT_LT(ZELZipArchive::unpackedBoundForArchiveAtPath(bomb), uint64_t{64} << 20);
    EXPECT_FALSE(ZELZipArchive::unzipFileToStagingPath(bomb, folder.file("s2"), "p", &error));
    EXPECT_EQ(error.code, ZELZipArchive::TooLarge) << error.description();
    EXPECT_FALSE(fs::exists(folder.file("s2")));

    const std::string liar = folder.file("liar.zip");
    ASSERT_TRUE(writeTestZip(liar, {huge}));
    ASSERT_TRUE(lieAboutUnpackedSizes(liar, 1000));
    EXPECT_FALSE(ZELZipArchive::unzipFileToStagingPath(liar, folder.file("s3"), "p", &error));
    EXPECT_EQ(error.code, ZELZipArchive::CorruptEntry) << error.description();
    EXPECT_FALSE(fs::exists(folder.file("s3")));
}

// Many tiny entries cost the disk far more than their bytes: their number is
// bounded too, before anything is written.
TEST(ZELZipArchiveUnzip, NoArchiveUnpacksMoreEntriesThanItsBound) {
    TemporaryFolder folder;
    std::vector<TestZipEntry> entries{{"p/", ""}};
    for (uint64_t i = 1; i < ZELZipArchive::kMaximumEntries; ++i)
        entries.push_back({"p/" + std::to_string(i), "x"});
    const std::string fine = folder.file("fine.zip");
    ASSERT_TRUE(writeTestZip(fine, entries));
    NSError error;
    EXPECT_TRUE(ZELZipArchive::unzipFileToStagingPath(fine, folder.file("s1"), "p", &error))
        << error.description();

    entries.push_back({"p/one-more", "x"});
    const std::string many = folder.file("many.zip");
    ASSERT_TRUE(writeTestZip(many, entries));
    EXPECT_FALSE(ZELZipArchive::unzipFileToStagingPath(many, folder.file("s2"), "p", &error));
    EXPECT_EQ(error.code, ZELZipArchive::TooLarge) << error.description();
    EXPECT_FALSE(fs::exists(folder.file("s2")));
}

// A write the file system refuses (here: past the process's file size
// limit) is the disk's fault: it is not reported as a broken archive.
TEST(ZELZipArchiveUnzip, AWriteTheDiskRefusesIsNoBrokenArchive) {
    TemporaryFolder folder;
    const std::string zip = folder.file("big.zip");
    ASSERT_TRUE(writeTestZip(zip, {{"big/big.sqlite", std::string(256 * 1024, 'x')}}));
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    NSError error;
    const auto unpacked =
        ZELZipArchive::unzipFileToStagingPath(zip, folder.file("staging"), "big", &error);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(unpacked);
    EXPECT_EQ(error.code, ZELZipArchive::CannotWrite) << error.description();
    EXPECT_FALSE(fs::exists(folder.file("staging")));
}

}  // namespace
