#include "app/CBHomeLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Eventually.h"
#include "mapkit/MapkitTestSupport.h"

extern char** environ;

// One holder at a time, until it lets go, even while a program it started
// (the desktop's opener, notify-send waiting for its action) lives on. A
// home where no lock can be taken says why rather than passing for one that
// is held, on which a start would wait.
TEST(CBHomeLockTest, AHomeIsHeldByOneHolderAtATime) {
    TemporaryFolder home;
    const std::string path = CBHomeLock::lockPathForHome(home.file("Documents"));
    auto held = CBHomeLock::tryToHold(path);
    ASSERT_TRUE(held.lock) << held.error;
    const auto second = CBHomeLock::tryToHold(path);
    EXPECT_FALSE(second.lock);
    EXPECT_TRUE(second.heldElsewhere);
    EXPECT_EQ(second.error, "");

    char program[] = "/bin/sleep";
    char duration[] = "60";
    char* arguments[] = {program, duration, nullptr};
    pid_t started = 0;
    ASSERT_EQ(::posix_spawn(&started, program, nullptr, nullptr, arguments, environ), 0);
    held.lock.reset();
    const auto next = CBHomeLock::tryToHold(path);
    ::kill(started, SIGKILL);
    ::waitpid(started, nullptr, 0);
    EXPECT_TRUE(next.lock);

    const auto missing = CBHomeLock::tryToHold(home.file("gone/instance.lock"));
    EXPECT_FALSE(missing.lock);
    EXPECT_FALSE(missing.heldElsewhere);
    EXPECT_EQ(missing.error, "No such file or directory");
}

// Whatever else lies at the lock's path is refused at once, named as what it
// is: nothing waits on a FIFO, follows a link out of the home or runs
// unlocked beside a folder.
TEST(CBHomeLockTest, WhatIsNoLockFileIsRefusedWithoutWaitingOrFollowing) {
    TemporaryFolder home;
    const std::string path = home.file("instance.lock");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto fifo = CBHomeLock::tryToHold(path);
    EXPECT_FALSE(fifo.lock);
    EXPECT_TRUE(fifo.notALockFile);
    EXPECT_EQ(fifo.error, "it is not a regular file");
    std::filesystem::remove(path);

    const std::string outside = home.file("elsewhere/target");
    std::filesystem::create_symlink(outside, path);
    auto link = CBHomeLock::tryToHold(path);
    EXPECT_TRUE(link.notALockFile);
    EXPECT_EQ(link.error, "it is a link, not a lock file");
    EXPECT_FALSE(std::filesystem::exists(home.file("elsewhere")));
    std::filesystem::remove(path);

    std::filesystem::create_directory(path);
    auto folder = CBHomeLock::tryToHold(path);
    EXPECT_FALSE(folder.lock);
    EXPECT_TRUE(folder.notALockFile);
    EXPECT_EQ(folder.error, "it is a folder, not a lock file");
}

// The home's folder holds it where its lock file cannot be taken: one holder
// at a time, by whichever path; a link where the folder should be is
// refused, not followed.
TEST(CBHomeLockTest, AFolderIsHeldByOneHolderAtATimeWhateverItsPath) {
    TemporaryFolder work;
    std::filesystem::create_directory(work.file("home"));
    std::filesystem::create_directory_symlink(work.file("home"), work.file("link"));
    auto held = CBHomeLock::tryToHoldFolder(work.file("home"));
    ASSERT_TRUE(held.lock) << held.error;
    EXPECT_TRUE(CBHomeLock::tryToHoldFolder(work.file("link/.")).heldElsewhere);
    const auto link = CBHomeLock::tryToHoldFolder(work.file("link"));
    EXPECT_TRUE(link.notALockFile);
    EXPECT_EQ(link.error, "it is a link, not a folder");
}

// A hold belongs to the process that took it: a program it is replaced with
// (exec) does not keep it, so no program started from a start holding the
// home can hold it too.
TEST(CBHomeLockTest, NoProgramTheHolderIsReplacedWithKeepsTheLock) {
    TemporaryFolder home;
    const std::string path = home.file("instance.lock");
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        auto held = CBHomeLock::tryToHold(path);
        if (!held.lock)
            ::_exit(1);
        held.lock.release();
        ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
        ::_exit(2);
    }
    // The lock is free once the holder has become sleep.
    const std::string program = "/proc/" + std::to_string(holder) + "/exe";
    const bool free = eventually([&] {
        std::error_code error;
        return std::filesystem::read_symlink(program, error).filename() == "sleep" &&
               CBHomeLock::tryToHold(path).lock != nullptr;
    });
    ::kill(holder, SIGKILL);
    int status = 0;
    ::waitpid(holder, &status, 0);
    EXPECT_TRUE(free);
}
