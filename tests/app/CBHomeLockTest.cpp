#include "app/CBHomeLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>

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
