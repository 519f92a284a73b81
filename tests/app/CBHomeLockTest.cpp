#include "app/CBHomeLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "mapkit/MapkitTestSupport.h"

extern char** environ;

namespace {

// A process of its own that takes the lock and keeps it until it is killed.
// Its pid, once it holds the lock; -1 when it could not take it.
pid_t holdInAnotherProcess(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        const auto attempt = CBHomeLock::tryToHold(path);
        const char held = attempt.lock ? '1' : '0';
        if (::write(ready[1], &held, 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char held = '0';
    const bool told = child > 0 && ::read(ready[0], &held, 1) == 1;
    ::close(ready[0]);
    if (told && held == '1')
        return child;
    if (child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    return -1;
}

void killAndWait(pid_t process) {
    ::kill(process, SIGKILL);
    ::waitpid(process, nullptr, 0);
}

}  // namespace

// One process at a time holds a home, this one included, until the holder
// lets go or ends however it ends; a home where no lock can be taken says
// why rather than passing for one that is held.
TEST(CBHomeLockTest, AHomeIsHeldByOneProcessUntilItEnds) {
    TemporaryFolder home;
    const std::string path = CBHomeLock::lockPathForHome(home.file("Documents"));
    EXPECT_EQ(path, home.file("instance.lock"));

    const pid_t other = holdInAnotherProcess(path);
    ASSERT_GT(other, 0);
    auto attempt = CBHomeLock::tryToHold(path);
    EXPECT_FALSE(attempt.lock);
    EXPECT_TRUE(attempt.heldElsewhere);
    EXPECT_EQ(attempt.error, "");
    killAndWait(other);

    auto held = CBHomeLock::tryToHold(path);
    ASSERT_TRUE(held.lock) << held.error;
    EXPECT_TRUE(CBHomeLock::tryToHold(path).heldElsewhere);
    held.lock.reset();
    EXPECT_TRUE(CBHomeLock::tryToHold(path).lock);

    const auto missing = CBHomeLock::tryToHold(home.file("gone/instance.lock"));
    EXPECT_FALSE(missing.lock);
    EXPECT_FALSE(missing.heldElsewhere);
    EXPECT_EQ(missing.error, "No such file or directory");
}

// A program the holder starts (the desktop's opener, notify-send waiting for
// its action) may outlive it: it must not keep the home held.
TEST(CBHomeLockTest, NoProgramTheHolderStartsKeepsTheHome) {
    TemporaryFolder home;
    const std::string path = CBHomeLock::lockPathForHome(home.file("Documents"));
    auto held = CBHomeLock::tryToHold(path);
    ASSERT_TRUE(held.lock) << held.error;
    char program[] = "/bin/sleep";
    char duration[] = "60";
    char* arguments[] = {program, duration, nullptr};
    pid_t started = 0;
    ASSERT_EQ(::posix_spawn(&started, program, nullptr, nullptr, arguments, environ), 0);
    held.lock.reset();
    const auto next = CBHomeLock::tryToHold(path);
    killAndWait(started);
    EXPECT_TRUE(next.lock);
}
