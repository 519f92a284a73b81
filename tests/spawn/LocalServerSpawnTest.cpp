#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "Eventually.h"
#include "LocalServerSpawn.h"

namespace {

// Whether anything accepts connections on the loopback port.
bool listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Whether the process runs; one that ended but awaits its reaper does not.
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const auto name = line.rfind(')');
    return name != std::string::npos && name + 2 < line.size() && line[name + 2] != 'Z' &&
           line[name + 2] != 'X';
}

struct Orphan {
    pid_t pid = -1;
    int port = 0;
};

// A test process of its own starts a tile server, tells the server's pid and
// port, then ends by `end` without stopping it; answers the server it left.
Orphan serverOfAnEndedTest(const std::function<void()>& end) {
    int report[2];
    if (pipe(report) != 0)
        return {};
    const pid_t test = fork();
    if (test == 0) {
        close(report[0]);
        Orphan server;
        server.port = spawnLocalServer({KELVARA_TILE_SERVER, "--port", "0"}, server.pid);
        const bool told = write(report[1], &server, sizeof server) == sizeof server;
        close(report[1]);
        if (told)
            end();
        _exit(2);
    }
    close(report[1]);
    Orphan server;
    if (test < 0 || read(report[0], &server, sizeof server) != sizeof server)
        server = {};
    close(report[0]);
    if (test > 0)
        waitpid(test, nullptr, 0);
    return server;
}

TEST(LocalServerSpawnTest, StartsAServerAndStopsIt) {
    pid_t pid = -1;
    const int port = spawnLocalServer({KELVARA_TILE_SERVER, "--port", "0"}, pid);
    ASSERT_GT(port, 0);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(listening(port));
    stopLocalServer(pid);
    EXPECT_EQ(pid, -1);
    EXPECT_FALSE(listening(port));
}

TEST(LocalServerSpawnTest, AProgramThatCannotRunLeavesNoChild) {
    pid_t pid = 0;
    EXPECT_EQ(spawnLocalServer({"/nonexistent/kelvara-server", "--port", "0"}, pid), 0);
    EXPECT_EQ(pid, -1);
    // A program that ends without naming a port is no server either.
    EXPECT_EQ(spawnLocalServer({"/bin/true"}, pid), 0);
    EXPECT_EQ(pid, -1);
    // Both were reaped: no child is left behind.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// A crashed or timed-out test leaves no server holding ctest's output.
TEST(LocalServerSpawnTest, TheServerEndsWithAKilledTest) {
    const Orphan server = serverOfAnEndedTest([] { raise(SIGKILL); });
    ASSERT_GT(server.port, 0);
    EXPECT_TRUE(eventually([&] { return !running(server.pid) && !listening(server.port); },
                           std::chrono::seconds(30)));
}

TEST(LocalServerSpawnTest, TheServerEndsWithATestThatExitsAtOnce) {
    const Orphan server = serverOfAnEndedTest([] { _exit(1); });
    ASSERT_GT(server.port, 0);
    EXPECT_TRUE(eventually([&] { return !running(server.pid) && !listening(server.port); },
                           std::chrono::seconds(30)));
}

}  // namespace
