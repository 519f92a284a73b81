#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LocalServerSpawn.h"
#include "RawHttp.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace {

// The key the tile server takes by default.
const std::string kTileKey = "?apikey=5f3c9a0e7b2d4c18a6e9f01b3d7c5a42";

// A local server of tools/ while it lives.
class Running {
  public:
    explicit Running(std::vector<std::string> arguments) {
        port_ = spawnLocalServer(std::move(arguments), pid_);
    }
    ~Running() { stopLocalServer(pid_); }
    int port() const { return port_; }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

class LocalServersTest : public ::testing::Test {
  protected:
    struct Server {
        std::string name;
        std::vector<std::string> arguments;
        std::string path;  // a GET it answers
    };
    std::vector<Server> servers() const {
        return {
            {"tile server", {KELVARA_TILE_SERVER, "--port", "0"}, "/_count"},
            {"SDK service", {KELVARA_SDK_SERVICE, "--port", "0"}, "/_received"},
            {"map store server",
             {KELVARA_MAPSTORE_SERVER, "--root", root_.path(), "--port", "0"},
             "/nothing.zip"},
        };
    }

    TemporaryDirectory root_;
};

}  // namespace

TEST_F(LocalServersTest, ClientsSendingTheirRequestsSlowlyDoNotHoldEveryoneElse) {
    // More such clients than the HTTP library has workers by default, each
    // sending a byte of its headers now and then, as a slow client would.
    const unsigned held = std::max(8u, std::thread::hardware_concurrency() - 1) + 4;
    for (const Server& server : servers()) {
        SCOPED_TRACE(server.name);
        Running running(server.arguments);
        ASSERT_GT(running.port(), 0);
        std::vector<int> slow;
        for (unsigned i = 0; i < held; ++i) {
            const int socket = rawConnect(running.port());
            ASSERT_GE(socket, 0);
            rawSend(socket, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
            slow.push_back(socket);
        }
        std::atomic<bool> answered = false;
        std::thread dribble([&] {
            while (!answered) {
                for (const int socket : slow)
                    rawSend(socket, "a");
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
        });
        EXPECT_NE(rawStatus(running.port(), rawGet(server.path), 15), 0);
        answered = true;
        dribble.join();
        for (const int socket : slow)
            ::close(socket);
    }
}

TEST_F(LocalServersTest, NumbersTooLargeForTheirPlaceNameNothing) {
    Running tiles({KELVARA_TILE_SERVER, "--port", "0"});
    ASSERT_GT(tiles.port(), 0);
    EXPECT_EQ(rawStatus(tiles.port(), rawGet("/neighbourhood/2/1/1.png" + kTileKey)), 200);
    EXPECT_EQ(rawStatus(tiles.port(), rawGet("/neighbourhood/99999999999/1/1.png" + kTileKey)),
              404);
    EXPECT_EQ(rawStatus(tiles.port(),
                        rawGet("/neighbourhood/2/99999999999999999999999/1.png" + kTileKey)),
              404);

    Running sdk({KELVARA_SDK_SERVICE, "--port", "0"});
    ASSERT_GT(sdk.port(), 0);
    EXPECT_EQ(rawStatus(sdk.port(), rawGet("/_feedback/attachments/99999999999999999999")), 404);
    EXPECT_EQ(rawStatus(sdk.port(), rawGet("/_feedback/attachments/9223372036854775808")), 404);
    EXPECT_EQ(rawStatus(sdk.port(),
                        "POST /_control/next?status=4294967496 HTTP/1.1\r\nHost: "
                        "127.0.0.1\r\nConnection: close\r\nContent-Length: 0\r\n\r\n"),
              400);
    // The service still knows what it was asked.
    EXPECT_EQ(rawStatus(sdk.port(), rawGet("/_received")), 200);
}
