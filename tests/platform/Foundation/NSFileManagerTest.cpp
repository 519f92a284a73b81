#include "Foundation/NSFileManager.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "EnvironmentScope.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSPathUtilities.h"
#include "TemporaryDirectory.h"

namespace {

void write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

}  // namespace

TEST(NSFileManagerTest, CreatesListsMovesCopiesAndRemoves) {
    TemporaryDirectory folder;
    auto manager = NSFileManager::defaultManager();
    NSError error;
    EXPECT_FALSE(manager->createDirectoryAtPathWithIntermediateDirectories(folder.file("a/b"),
                                                                           false, &error));
    EXPECT_EQ(error.code, NSError::NSFileNoSuchFileError);
    EXPECT_TRUE(
        manager->createDirectoryAtPathWithIntermediateDirectories(folder.file("a/b"), true));
    EXPECT_TRUE(
        manager->createDirectoryAtPathWithIntermediateDirectories(folder.file("a/b"), true));
    EXPECT_FALSE(manager->createDirectoryAtPathWithIntermediateDirectories(folder.file("a/b"),
                                                                           false, &error));
    EXPECT_EQ(error.code, NSError::NSFileWriteFileExistsError);

    write(folder.file("a/b/file.txt"), "12345");
    bool isDirectory = true;
    EXPECT_TRUE(manager->fileExistsAtPath(folder.file("a/b/file.txt"), &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_TRUE(manager->fileExistsAtPath(folder.file("a"), &isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_FALSE(manager->fileExistsAtPath(folder.file("none")));
    EXPECT_EQ(manager->contentsOfDirectoryAtPath(folder.file("a")), std::vector<std::string>{"b"});

    EXPECT_TRUE(manager->copyItemAtPathToPath(folder.file("a"), folder.file("copy")));
    EXPECT_TRUE(manager->fileExistsAtPath(folder.file("copy/b/file.txt")));
    EXPECT_FALSE(manager->copyItemAtPathToPath(folder.file("a"), folder.file("copy"), &error));
    EXPECT_EQ(error.code, NSError::NSFileWriteFileExistsError);

    EXPECT_TRUE(manager->moveItemAtPathToPath(folder.file("copy"), folder.file("moved")));
    EXPECT_FALSE(manager->fileExistsAtPath(folder.file("copy")));
    EXPECT_FALSE(manager->moveItemAtPathToPath(folder.file("copy"), folder.file("x"), &error));
    EXPECT_EQ(error.code, NSError::NSFileNoSuchFileError);
    EXPECT_EQ(error.userInfo.at(NSError::NSFilePathErrorKey), Value(folder.file("copy")));

    auto attributes = manager->attributesOfItemAtPath(folder.file("moved/b/file.txt"));
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->fileSize, 5u);
    EXPECT_FALSE(attributes->isDirectory);
    EXPECT_NEAR(attributes->fileModificationDate.timeIntervalSinceNow(), 0.0, 60.0);
    EXPECT_FALSE(manager->attributesOfItemAtPath(folder.file("none"), &error));
    EXPECT_EQ(error.domain, "NSCocoaErrorDomain");

    EXPECT_TRUE(manager->removeItemAtPath(folder.file("moved")));
    EXPECT_FALSE(manager->removeItemAtPath(folder.file("moved"), &error));
    EXPECT_EQ(error.code, NSError::NSFileNoSuchFileError);
    EXPECT_FALSE(manager->contentsOfDirectoryAtPath(folder.file("moved"), &error));
}

TEST(NSFileManagerTest, FreeSpaceOfTheVolume) {
    TemporaryDirectory folder;
    auto manager = NSFileManager::defaultManager();
    auto attributes = manager->attributesOfFileSystemForPath(folder.path());
    ASSERT_TRUE(attributes);
    struct statvfs info {};
    ASSERT_EQ(statvfs(folder.path().c_str(), &info), 0);
    EXPECT_EQ(attributes->fileSystemSize, uint64_t{info.f_blocks} * info.f_frsize);
    EXPECT_GT(attributes->fileSystemSize, 0u);
    EXPECT_LE(attributes->fileSystemFreeSize, attributes->fileSystemSize);
    // Free space moves as others write; it stays within a few megabytes here.
    EXPECT_NEAR(static_cast<double>(attributes->fileSystemFreeSize),
                static_cast<double>(uint64_t{info.f_bavail} * info.f_frsize), 64.0 * 1024 * 1024);
    EXPECT_LE(attributes->fileSystemFreeNodes, attributes->fileSystemNodes);

    NSError error;
    EXPECT_FALSE(manager->attributesOfFileSystemForPath(folder.file("missing/x"), &error));
    EXPECT_EQ(error.code, NSError::NSFileNoSuchFileError);
    EXPECT_EQ(error.userInfo.at(NSError::NSFilePathErrorKey), Value(folder.file("missing/x")));
}

TEST(NSDataFilesTest, AtomicWriteReplacesWholeFileAndLeavesNoTemporaries) {
    TemporaryDirectory folder;
    const std::string path = folder.file("data.bin");
    EXPECT_TRUE(writeDataToFile(Value::Data(1000, 7), path, true));
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_TRUE(writeDataToFile(Value::Data{1, 2, 3}, path, true));
    EXPECT_EQ(dataWithContentsOfFile(path), (Value::Data{1, 2, 3}));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_TRUE(writeDataToFile(Value::Data{4}, folder.file("plain"), false));
    EXPECT_EQ(dataWithContentsOfFile(folder.file("plain")), Value::Data{4});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              2);
    NSError error;
    EXPECT_FALSE(writeDataToFile(Value::Data{1}, folder.file("no/such/dir/file"), true, &error));
    EXPECT_EQ(error.domain, "NSCocoaErrorDomain");
}

TEST(NSDataFilesTest, ReadingIsBoundedAndRefusesFolders) {
    TemporaryDirectory folder;
    EXPECT_TRUE(writeDataToFile(Value::Data(100, 1), folder.file("f"), true));
    NSError error;
    EXPECT_FALSE(dataWithContentsOfFile(folder.file("f"), &error, 99));
    EXPECT_EQ(error.code, NSError::NSFileReadTooLargeError);
    EXPECT_FALSE(dataWithContentsOfFile(folder.path(), &error));
    EXPECT_FALSE(dataWithContentsOfFile(folder.file("missing"), &error));
    EXPECT_EQ(error.code, NSError::NSFileNoSuchFileError);
    EXPECT_EQ(dataWithContentsOfFile(folder.file("f"))->size(), 100u);
}

TEST(NSPathUtilitiesTest, ApplicationHomeHoldsEveryFolder) {
    TemporaryDirectory home;
    NSSetApplicationHome(home.path());
    EXPECT_EQ(NSSearchPathForDirectory(NSSearchPathDirectory::Documents), home.file("Documents"));
    EXPECT_EQ(NSSearchPathForDirectory(NSSearchPathDirectory::Caches), home.file("Caches"));
    EXPECT_EQ(NSSearchPathForDirectory(NSSearchPathDirectory::Library), home.file("Library"));
    EXPECT_EQ(NSUserDefaultsFilePath(), home.file("Preferences.plist"));
    for (const char* name : {"Documents", "Caches", "Library"}) {
        EXPECT_TRUE(std::filesystem::is_directory(home.file(name)));
        EXPECT_EQ(
            std::filesystem::status(home.file(name)).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
    }
    NSSetApplicationHome("");
}

TEST(NSPathUtilitiesTest, XDGFoldersByDefault) {
    TemporaryDirectory xdg;
    EnvironmentScope environment({{"HOME", xdg.file("home")},
                                  {"XDG_DATA_HOME", xdg.file("data")},
                                  {"XDG_CACHE_HOME", xdg.file("cache")},
                                  {"XDG_CONFIG_HOME", xdg.file("config")}});
    NSSetApplicationHome("");
    EXPECT_EQ(NSSearchPathForDirectory(NSSearchPathDirectory::Documents),
              xdg.file("data/kelvara/Documents"));
    EXPECT_EQ(NSSearchPathForDirectory(NSSearchPathDirectory::Caches), xdg.file("cache/kelvara"));
    EXPECT_EQ(NSSearchPathForDirectory(NSSearchPathDirectory::Library),
              xdg.file("config/kelvara/Library"));
    EXPECT_EQ(NSUserDefaultsFilePath(), xdg.file("config/kelvara/Preferences.plist"));
    EXPECT_TRUE(std::filesystem::is_directory(xdg.file("config/kelvara")));
    // A relative XDG path is ignored, as the XDG rules say: the fallback under $HOME is used.
    setenv("XDG_CACHE_HOME", "relative", 1);
    EXPECT_EQ(NSSearchPathForDirectory(NSSearchPathDirectory::Caches),
              xdg.file("home/.cache/kelvara"));
}

// A path kept relative to the home follows the home wherever it moves; a path
// of another home root is known by its part under the last home folder named.
TEST(NSPathUtilitiesTest, HomeRelativePathsFollowAMovedHome) {
    TemporaryDirectory old;
    TemporaryDirectory moved;
    NSSetApplicationHome(old.path());
    EXPECT_EQ(NSHomeRelativePathForPath(old.file("Caches/mapStoreUpdate/")),
              "Caches/mapStoreUpdate");
    EXPECT_EQ(NSHomeRelativePathForPath(old.file("Documents/../elsewhere")), std::nullopt);
    NSSetApplicationHome(moved.path());
    EXPECT_EQ(NSHomeRelativePathForPath(old.file("Documents/maps")), std::nullopt);
    EXPECT_EQ(NSPathForHomeRelativePath("Documents/maps"), moved.file("Documents/maps"));
    for (const char* refused : {"/Documents/maps", "Documents/../../etc", "maps"})
        EXPECT_EQ(NSPathForHomeRelativePath(refused), std::nullopt) << refused;
    for (const auto& [path, relative] : std::vector<std::pair<std::string, std::string>>{
             {old.file("Documents/maps"), "Documents/maps"},
             {"/home/ann/Documents/kelvara/Documents/wikipedia", "Documents/wikipedia"},
             {"/home/ann/.cache/kelvara/mapStoreUpdate", "Caches/mapStoreUpdate"},
             {"/b/.config/kelvara/Library/Application Support/M", "Library/Application Support/M"},
             {"/srv/maps", ""}})
        EXPECT_EQ(NSHomeRelativePathForPathInAnyHome(path).value_or(""), relative) << path;
    NSSetApplicationHome("");
}
