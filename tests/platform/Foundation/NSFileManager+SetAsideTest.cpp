#include "Foundation/NSFileManager+SetAside.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "Foundation/NSLog.h"
#include "TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

// Damages within one second, each set aside under a name of its own, with
// the files that belong to it; the earlier copies keep what they held.
TEST(NSFileManagerSetAsideTest, EveryDamageKeepsItsOwnCopy) {
    TemporaryDirectory folder;
    const std::string store = folder.file("Bookmarks.sqlite");
    std::vector<std::string> kept;
    for (int damage = 1; damage <= 3; ++damage) {
        write(store, "damage " + std::to_string(damage));
        write(store + "-journal", "journal " + std::to_string(damage));
        const auto copy = NSFileManagerSetAsideDamagedFile(store, {"-journal", "-wal"});
        ASSERT_TRUE(copy);
        kept.push_back(*copy);
        EXPECT_FALSE(fs::exists(store));
        EXPECT_FALSE(fs::exists(store + "-journal"));
        EXPECT_EQ(contents(*copy + "-journal"), "journal " + std::to_string(damage));
    }
    ASSERT_EQ(NSFileManagerSetAsideCopiesOfFile(store), kept);
    for (int damage = 1; damage <= 3; ++damage)
        EXPECT_EQ(contents(kept[size_t(damage - 1)]), "damage " + std::to_string(damage));
    EXPECT_TRUE(kept[0].starts_with(store + ".")) << kept[0];
    EXPECT_TRUE(kept[0].ends_with(".corrupt")) << kept[0];
}

// The oldest copy (the name earlier versions gave one counts as such) and
// the one just made stay, the others newest first while they fit; each
// removal is named in the log and to the caller. The copy just made comes
// after the copies of earlier versions even when they are named after it.
TEST(NSFileManagerSetAsideTest, CopiesAreBoundBySpaceKeepingTheOldestAndTheNewest) {
    constexpr uintmax_t kLarge = uintmax_t{6} << 20;
    TemporaryDirectory folder;
    const std::string store = folder.file("CBUserMapStore.bin");
    write(store + ".corrupt", "from an earlier version");
    write(store + ".corrupt-journal", "its journal");
    for (const char* stamp : {"20990101-000000", "20990101-000000-2", "20990102-000000"}) {
        write(store + "." + stamp + ".corrupt", stamp);
        fs::resize_file(store + "." + stamp + ".corrupt", kLarge);
    }
    write(folder.file("Other.bin.20990103-000000.corrupt"), "another file's copy");
    write(store + ".notes", "not a copy");

    std::string logged;
    NSLogSink previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged += line + "\n"; });
    write(store, "the fifth copy");
    std::vector<std::string> removed{"stale"};
    const auto fifth = NSFileManagerSetAsideDamagedFile(store, {"-journal"}, nullptr, &removed);
    NSLogSetSink(previous);
    ASSERT_TRUE(fifth);
    const std::string gone = store + ".20990101-000000.corrupt";
    EXPECT_EQ(removed, std::vector<std::string>{gone});
    EXPECT_NE(logged.find("Removed the damaged copy " + gone + ":"), std::string::npos) << logged;
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(store),
              (std::vector<std::string>{store + ".corrupt", store + ".20990101-000000-2.corrupt",
                                        store + ".20990102-000000.corrupt", *fifth}));
    EXPECT_EQ(contents(store + ".corrupt-journal"), "its journal");
    EXPECT_TRUE(fs::exists(folder.file("Other.bin.20990103-000000.corrupt")));
    EXPECT_TRUE(fs::exists(store + ".notes"));

    // Every earlier copy named later than now: the new one stays all the same.
    const std::string queue = folder.file("Queue.sqlite");
    for (const char* stamp : {"20990101-000000", "20990102-000000", "20990103-000000",
                              "20990104-000000", "20990105-000000"}) {
        write(queue + "." + stamp + ".corrupt", stamp);
        fs::resize_file(queue + "." + stamp + ".corrupt", uintmax_t{5} << 20);
    }
    write(queue, "damaged now");
    const auto now = NSFileManagerSetAsideDamagedFile(queue);
    ASSERT_TRUE(now);
    EXPECT_EQ(contents(*now), "damaged now");
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(queue),
              (std::vector<std::string>{queue + ".20990101-000000.corrupt",
                                        queue + ".20990104-000000.corrupt",
                                        queue + ".20990105-000000.corrupt", *now}));
}

// Copies are ordered by their number, not by the time in their name: a
// copy named by a clock set back never passes for the first, and the next
// number follows the highest, not the count.
TEST(NSFileManagerSetAsideTest, ACopyNamedByASetBackClockNeverCostsTheFirstCopy) {
    constexpr uintmax_t kLarge = uintmax_t{6} << 20;
    TemporaryDirectory folder;
    const std::string store = folder.file("Bookmarks.sqlite");
    const std::string first = store + ".20261207-212147.1.corrupt";
    const std::string setBack = store + ".20000101-000000.2.corrupt";
    const std::string third = store + ".20261208-090000.3.corrupt";
    for (const std::string& copy : {first, setBack, third}) {
        write(copy, copy == first ? "the first bookmarks" : "later bookmarks");
        fs::resize_file(copy, kLarge);
    }

    write(store, "the fourth damage");
    std::vector<std::string> removed;
    const auto fourth = NSFileManagerSetAsideDamagedFile(store, {}, nullptr, &removed);
    ASSERT_TRUE(fourth);
    EXPECT_TRUE(fourth->ends_with(".4.corrupt")) << *fourth;
    EXPECT_EQ(removed, std::vector<std::string>{setBack});
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(store),
              (std::vector<std::string>{first, third, *fourth}));
    EXPECT_EQ(contents(first).substr(0, 19), "the first bookmarks");

    // Copies of every naming: the earlier versions' first, whatever their
    // time says; numbers by value, not as text.
    const std::string mixed = folder.file("Preferences.plist");
    const std::vector<std::string> ordered{
        mixed + ".corrupt",
        mixed + ".20261207-212147.corrupt",
        mixed + ".20261207-212147-2.corrupt",
        mixed + ".20000101-000000.1.corrupt",
        mixed + ".20261209-000000.9.corrupt",
        mixed + ".20261208-000000.10.corrupt",
    };
    for (const auto& copy : ordered)
        write(copy, "copy");
    // Not copies of Preferences.plist: another file's copy in the earlier
    // naming, and names that only look alike.
    for (const char* other : {".5.20261207-212147.corrupt", ".20261207-212147.x.corrupt",
                              ".20261207-212147.corrupt.bak", ".2026120-212147.3.corrupt"})
        write(mixed + other, "other");
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(mixed), ordered);
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(mixed + ".5"),
              std::vector<std::string>{mixed + ".5.20261207-212147.corrupt"});
    write(mixed, "damaged");
    const auto next = NSFileManagerSetAsideDamagedFile(mixed);
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->ends_with(".11.corrupt")) << *next;
    EXPECT_EQ(NSFileManagerSetAsideCopiesOfFile(mixed).back(), *next);
}

// The bound on its own: the oldest and the new copy stay however large; of
// the others the newest that fit, skipping one too large for what is left.
TEST(NSFileManagerSetAsideTest, TheBoundKeepsTheOldestTheNewCopyAndTheNewestThatFit) {
    using Indexes = std::vector<size_t>;
    EXPECT_EQ(NSFileManagerSetAsideCopiesToRemove({500, 10, 10}, 500, 100), (Indexes{1, 2}));
    EXPECT_EQ(NSFileManagerSetAsideCopiesToRemove({10, 30, 60, 30}, 10, 100), Indexes{2});
}

TEST(NSFileManagerSetAsideTest, WhatCannotBeSetAsideSaysWhy) {
    TemporaryDirectory folder;
    std::string error;
    EXPECT_FALSE(NSFileManagerSetAsideDamagedFile(folder.file("missing.sqlite"), {}, &error));
    EXPECT_EQ(error, "no such file");
    fs::create_directories(folder.file("folder.sqlite"));
    EXPECT_FALSE(NSFileManagerSetAsideDamagedFile(folder.file("folder.sqlite"), {}, &error));
    EXPECT_TRUE(fs::is_directory(folder.file("folder.sqlite")));
    EXPECT_TRUE(NSFileManagerSetAsideCopiesOfFile(folder.file("folder.sqlite")).empty());
}

// Names planted beside the file: a folder and a link named like copies are
// never removed, and a copy numbered at the end of the range neither stops
// the numbering nor lets the copies outgrow their bound.
TEST(NSFileManagerSetAsideTest, PlantedNamesNeitherLoseFilesNorBreakTheBound) {
    constexpr uintmax_t kLarge = uintmax_t{6} << 20;
    TemporaryDirectory folder;
    const std::string store = folder.file("Bookmarks.sqlite");
    const std::string first = store + ".20261207-212147.1.corrupt";
    write(first, "the first bookmarks");
    fs::resize_file(first, kLarge);
    const std::string planted = store + ".20261207-212148.3.corrupt";
    fs::create_directories(planted);
    write(planted + "/inside", "not a copy");
    const std::string outside = folder.file("outside");
    write(outside, "outside");
    fs::create_symlink(outside, store + ".20261207-212148.4.corrupt");
    const std::string huge = store + ".20261207-212149.999999999999999999.corrupt";
    write(huge, "huge");
    fs::resize_file(huge, kLarge);

    std::string logged;
    NSLogSink previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged += line + "\n"; });
    std::vector<std::string> made;
    for (int damage = 1; damage <= 3; ++damage) {
        write(store, "damage");
        fs::resize_file(store, kLarge);
        const auto copy = NSFileManagerSetAsideDamagedFile(store);
        ASSERT_TRUE(copy);
        made.push_back(*copy);
    }
    NSLogSetSink(previous);
    EXPECT_TRUE(made[0].ends_with(".2.corrupt")) << made[0];
    EXPECT_TRUE(made[2].ends_with(".4.corrupt")) << made[2];
    EXPECT_EQ(contents(planted + "/inside"), "not a copy");
    EXPECT_EQ(contents(outside), "outside");
    EXPECT_NE(logged.find(planted + " is named like a damaged copy"), std::string::npos) << logged;

    const auto copies = NSFileManagerSetAsideCopiesOfFile(store);
    ASSERT_FALSE(copies.empty());
    EXPECT_EQ(copies.front(), first);
    EXPECT_NE(std::find(copies.begin(), copies.end(), made.back()), copies.end());
    uintmax_t taken = 0;
    for (const auto& copy : copies)
        taken += fs::file_size(copy);
    EXPECT_LE(taken, kNSSetAsideBytesKept);
}

// A copy planted at the edge of numbering: the numbers after it go on above
// every copy, each given once, never again once the bound on copies has
// removed one (equal numbers would leave the copies' order to the clock, a
// number given again would put a new copy among the old). When no number is
// left, the set-aside says so.
TEST(NSFileManagerSetAsideTest, EveryCopyHasANumberOfItsOwnWhateverIsPlanted) {
    TemporaryDirectory folder;
    const std::string store = folder.file("CBUserMapStore.bin");
    const std::string first = store + ".20261207-212147.1.corrupt";
    write(first, "the first maps");
    write(store + ".20261207-212148.999999999999998999.corrupt", "planted");
    write(store + ".20261207-212148.999999999999999001.corrupt", "planted above it");
    std::vector<std::string> made;
    for (int damage = 1; damage <= 6; ++damage) {
        write(store, "damage");
        fs::resize_file(store, uintmax_t{5} << 20);
        const auto copy = NSFileManagerSetAsideDamagedFile(store);
        ASSERT_TRUE(copy);
        made.push_back(fs::path(*copy).stem().extension().string());
    }
    EXPECT_EQ(made, (std::vector<std::string>{".999999999999999002", ".999999999999999003",
                                              ".999999999999999004", ".999999999999999005",
                                              ".999999999999999006", ".999999999999999007"}));
    const auto copies = NSFileManagerSetAsideCopiesOfFile(store);
    EXPECT_EQ(copies.front(), first);
    EXPECT_TRUE(copies.back().ends_with(made.back() + ".corrupt"));

    write(store + ".20261207-212149.999999999999999999.corrupt", "planted at the end");
    write(store, "damage");
    std::string error;
    EXPECT_FALSE(NSFileManagerSetAsideDamagedFile(store, {}, &error));
    EXPECT_EQ(error, "every number for a copy is taken");
    EXPECT_TRUE(fs::exists(store));
}
