#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "LocalServerSpawn.h"
#include "LoopbackAttack.h"
#include "RawHttp.h"
#include "SteadyReader.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace {

// The key the tile server takes by default.
const std::string kTileKey = "?apikey=5f3c9a0e7b2d4c18a6e9f01b3d7c5a42";

// Clients that each send the start of a request's headers, then a byte of
// them every `interval`, as a slow client would, while this lives.
class Trickling {
  public:
    Trickling(int port, unsigned count, std::chrono::milliseconds interval) {
        for (unsigned i = 0; i < count; ++i) {
            const int socket = rawConnect(port);
            if (socket < 0)
                continue;
            rawSend(socket, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
            sockets_.push_back(socket);
        }
        dribble_ = std::thread([this, interval] {
            while (!stopping_) {
                for (const int socket : sockets_)
                    rawSend(socket, "a");
                for (auto waited = std::chrono::milliseconds(0); waited < interval && !stopping_;
                     waited += std::chrono::milliseconds(50))
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    ~Trickling() {
        stopping_ = true;
        dribble_.join();
        for (const int socket : sockets_)
            ::close(socket);
    }
    size_t connected() const { return sockets_.size(); }

  private:
    std::vector<int> sockets_;
    std::atomic<bool> stopping_ = false;
    std::thread dribble_;
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
            {"SDK service", {KELVARA_SDK_SERVICE, "--port", "0"}, "/api/2/apps/x"},
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
        RunningLocalServer running(server.arguments);
        ASSERT_GT(running.port(), 0);
        Trickling slow(running.port(), held, std::chrono::milliseconds(300));
        ASSERT_EQ(slow.connected(), held);
        EXPECT_NE(rawStatus(running.port(), rawGet(server.path), 15), 0);
    }
}

// As many clients as a server has workers by default, each trickling a
// header byte a second, cannot delay a normal request past a second.
TEST_F(LocalServersTest, ANormalRequestIsAnsweredAtOnceWhileManyClientsTrickle) {
    constexpr unsigned kTricklers = 64;
    for (const Server& server : servers()) {
        SCOPED_TRACE(server.name);
        RunningLocalServer running(server.arguments);
        ASSERT_GT(running.port(), 0);
        Trickling slow(running.port(), kTricklers, std::chrono::seconds(1));
        ASSERT_EQ(slow.connected(), kTricklers);
        EXPECT_NE(rawStatus(running.port(), rawGet(server.path), 1), 0);
    }
}

// More clients than may wait at once, from ten loopback addresses, silent or
// trickling and connecting again when cut off: every server still answers a
// normal request, and a map download goes on.
TEST_F(LocalServersTest, ClientsFromManyAddressesCannotStallANormalRequest) {
    const std::string zip(256 * 1024, 'z');
    {
        std::ofstream file(root_.path() + "/map.zip", std::ios::binary);
        file << zip;
    }
    for (const Server& server : servers()) {
        SCOPED_TRACE(server.name);
        RunningLocalServer running(server.arguments);
        ASSERT_GT(running.port(), 0);
        LoopbackAttack silent(running.port(), 150, 10, LoopbackAttack::Kind::Silent);
        LoopbackAttack trickling(running.port(), 150, 10, LoopbackAttack::Kind::Trickling);
        ASSERT_TRUE(eventually([&] { return silent.cutOff() + trickling.cutOff() >= 300; }));
        EXPECT_NE(rawStatus(running.port(), rawGet(server.path)), 0);
        if (server.name == "map store server") {
            const int socket = rawConnect(running.port());
            ASSERT_TRUE(rawSend(socket, rawGet("/map.zip", "Range: bytes=1000-\r\n")));
            const std::string answer = rawReceive(socket, 30);
            ::close(socket);
            EXPECT_EQ(answer.rfind("HTTP/1.1 206", 0), 0u);
            EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), zip.substr(1000));
        }
    }
}

// The map store's package and what the test waits for while clients read.
class SlowReadersTest : public LocalServersTest {
  protected:
    void SetUp() override {
        // Larger than what the kernel buffers of a connection hold.
        package_.resize(16 << 20);
        for (size_t i = 0; i < package_.size(); ++i)
            package_[i] = char(i * 7 % 251);
        std::ofstream(root_.path() + "/map.zip", std::ios::binary) << package_;
    }

    std::string package_;
};

// More clients than the map store server has workers read the package at
// 64 KB/s from ten addresses: each had its answer begun at once, and while
// they all read on, a small request is answered and another client
// downloads the whole package (a worker writing to a slow reader was held
// until it had read all of it).
TEST_F(SlowReadersTest, ClientsReadingSlowlyHoldNoWorker) {
    RunningLocalServer store({KELVARA_MAPSTORE_SERVER, "--root", root_.path(), "--port", "0"});
    ASSERT_GT(store.port(), 0);
    const size_t readers = std::max(32u, 4 * std::thread::hardware_concurrency()) + 8;
    LoopbackAttack slow(store.port(), readers, 10, rawGet("/map.zip"), 64 * 1024);
    ASSERT_TRUE(eventually([&] { return slow.answered() == readers; }));
    EXPECT_EQ(rawStatus(store.port(), rawGet("/nothing.zip")), 404);
    const std::string download = rawAnswer(store.port(), rawGet("/map.zip"));
    EXPECT_EQ(download.rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_TRUE(rawBody(download) == package_);
    // None of them has come to its end yet.
    EXPECT_EQ(slow.cutOff(), 0u);
}

// Clients that read nothing of the package, or a byte a second, make no
// progress: each is cut off after the write timeout, holding no worker
// meanwhile.
TEST_F(SlowReadersTest, ClientsThatReadNothingOrAByteASecondAreCutOff) {
    RunningLocalServer store(
        {KELVARA_MAPSTORE_SERVER, "--root", root_.path(), "--port", "0", "--write-timeout", "5"});
    ASSERT_GT(store.port(), 0);
    const size_t clients = std::max(32u, 4 * std::thread::hardware_concurrency()) / 2 + 4;
    LoopbackAttack silent(store.port(), clients, 10, rawGet("/map.zip"), 0);
    LoopbackAttack byteAtATime(store.port(), clients, 10, rawGet("/map.zip"), 1);
    ASSERT_TRUE(eventually(
        [&] { return silent.answered() == clients && byteAtATime.answered() == clients; }));
    EXPECT_EQ(rawStatus(store.port(), rawGet("/nothing.zip")), 404);
    ASSERT_TRUE(
        eventually([&] { return silent.cutOff() >= clients && byteAtATime.cutOff() >= clients; }));
}

// With a write timeout of 3 s, a client that reads the package steadily at
// 256 KB/s reads on for three timeouts and more (the kernel grew the send
// buffer to megabytes and told the server it could write only once a third
// of it was free, seconds apart at that pace), while one that has stopped
// reading is reset.
TEST_F(SlowReadersTest, AReaderTakingBytesSteadilyIsNeverCutOffWhileOneThatStopsIs) {
    RunningLocalServer store(
        {KELVARA_MAPSTORE_SERVER, "--root", root_.path(), "--port", "0", "--write-timeout", "3"});
    ASSERT_GT(store.port(), 0);
    SteadyReader stopped(store.port(), "127.0.0.11", rawGet("/map.zip"), 0,
                         std::chrono::minutes(1));
    SteadyReader steady(store.port(), "127.0.0.10", rawGet("/map.zip"), 256 * 1024,
                        std::chrono::seconds(10));
    steady.finish();
    EXPECT_FALSE(steady.cut());
    EXPECT_GT(steady.received(), 1u << 20);
    stopped.finish();
    EXPECT_TRUE(stopped.cut());
}

namespace {

// The answer came whole with `body`, or was 503 with Retry-After (false,
// for a retry); anything else fails the test.
bool cameWhole(const std::string& answer, const std::string& body) {
    if (answer.rfind("HTTP/1.1 503", 0) == 0) {
        EXPECT_NE(answer.find("\r\nRetry-After: "), std::string::npos) << answer;
        return false;
    }
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer.substr(0, 200);
    EXPECT_TRUE(rawBody(answer) == body) << rawBody(answer).size() << " of " << body.size();
    return true;
}

// The head of the answer on the connection; empty when it ended without one.
std::string headOf(int socket) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd readable{socket, POLLIN, 0};
        const ssize_t got = ::poll(&readable, 1, 30000) > 0
                                ? ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT)
                                : 0;
        if (got <= 0)
            return {};
        head.append(buffer, size_t(got));
    }
    return head.substr(0, head.find("\r\n\r\n") + 4);
}

}  // namespace

// A map store that may open 128 files is asked for the package by 100
// clients at once that then read nothing, each holding a socket and the
// file: every one is answered 200, or 503 with Retry-After when no
// descriptor was left for the file (it was 404 when the digest could not be
// computed, or a 200 without a body), and as the readers that read nothing
// give way, a small file and the package come whole.
TEST_F(SlowReadersTest, RunningOutOfDescriptorsGivesNoWrongAnswer) {
    const std::string statistics(973, 's');
    std::ofstream(root_.path() + "/statistics.plist") << statistics;
    RunningLocalServer store({KELVARA_MAPSTORE_SERVER, "--root", root_.path(), "--port", "0"}, 128);
    ASSERT_GT(store.port(), 0);
    std::vector<int> readers;
    for (int reader = 0; reader < 100; ++reader)
        readers.push_back(rawConnect(store.port()));
    for (const int reader : readers)
        ASSERT_TRUE(rawSend(reader, rawGet("/map.zip")));
    size_t unavailable = 0;
    for (const int reader : readers) {
        // A reader reset before its head came gave way.
        const std::string head = headOf(reader);
        const bool served = head.rfind("HTTP/1.1 200", 0) == 0;
        const bool refused = head.rfind("HTTP/1.1 503", 0) == 0 &&
                             head.find("\r\nRetry-After: ") != std::string::npos;
        EXPECT_TRUE(head.empty() || served || refused) << head;
        unavailable += refused;
    }
    EXPECT_GT(unavailable, 0u);
    EXPECT_TRUE(eventually([&] {
        return cameWhole(rawAnswer(store.port(), rawGet("/statistics.plist")), statistics);
    }));
    EXPECT_TRUE(eventually(
        [&] { return cameWhole(rawAnswer(store.port(), rawGet("/map.zip")), package_); }));
    for (const int reader : readers)
        ::close(reader);
}

// The SDK service with a limit of 128 descriptors, and more readers of a
// feedback attachment that read nothing than it may hold sockets for,
// connecting again when cut off: a normal download of the attachment comes
// whole, the readers giving way rather than holding every descriptor until
// the write timeout.
TEST_F(LocalServersTest, WithoutDescriptorsTheSdkServiceStillServesAnAttachmentWhole) {
    const std::string app = "0123456789abcdef0123456789abcdef";
    RunningLocalServer sdk({KELVARA_SDK_SERVICE, "--port", "0", "--app", app}, 128);
    ASSERT_GT(sdk.port(), 0);
    httplib::Client client("127.0.0.1", sdk.port());
    client.set_default_headers({{"User-Agent", "Zizava/iOS"}});
    const std::string attachment(1 << 20, 'a');
    const auto answer = client.Post(
        "/api/2/apps/" + app +
            "/feedback?format=json&sdk=ZizavaSDK&sdk_version=4.1.4&bundle_version=1",
        httplib::MultipartFormDataItems{{"oem", "Kelvara", "", "text"},
                                        {"os_version", "1", "", "text"},
                                        {"model", "desktop", "", "text"},
                                        {"bundle_version", "1", "", "text"},
                                        {"message_token", "m", "", "text"},
                                        {"attachment0", attachment, "a.png", "image/png"}});
    ASSERT_TRUE(answer);
    std::smatch url;
    ASSERT_TRUE(std::regex_search(answer->body, url,
                                  std::regex(R"x(/_feedback/attachments/[0-9a-f]{32})x")))
        << answer->body;
    const std::string path = url[0];
    LoopbackAttack stalled(sdk.port(), 150, 10, rawGet(path), 0);
    ASSERT_TRUE(eventually([&] { return stalled.cutOff() > 0; }));
    EXPECT_TRUE(
        eventually([&] { return cameWhole(rawAnswer(sdk.port(), rawGet(path)), attachment); }));
}

// Requests that ask at once for a package whose digest is not known yet
// wait for the one computation of it: the server reads the file about once
// (/proc counts what it read), not once a request.
TEST_F(SlowReadersTest, RequestsAskingAtOnceWaitForOneDigestOfThePackage) {
    RunningLocalServer store({KELVARA_MAPSTORE_SERVER, "--root", root_.path(), "--port", "0",
                              "--test-control", root_.path()});
    ASSERT_GT(store.port(), 0);
    auto control = [&](const std::string& pathAndQuery) {
        return rawStatus(store.port(), "POST " + pathAndQuery +
                                           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: "
                                           "close\r\nContent-Length: 0\r\n\r\n");
    };
    auto bytesRead = [&] {
        std::ifstream io("/proc/" + std::to_string(store.pid()) + "/io");
        std::string name;
        uint64_t value = 0;
        while (io >> name >> value && name != "rchar:") {
        }
        return value;
    };
    // Held until all have asked, then let go together.
    ASSERT_EQ(control("/_control/fault?path=/map.zip&hold=1"), 200);
    const uint64_t before = bytesRead();
    std::vector<int> asking;
    for (int request = 0; request < 16; ++request) {
        asking.push_back(rawConnect(store.port()));
        ASSERT_TRUE(rawSend(asking.back(),
                            "HEAD /map.zip HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                            "Connection: close\r\n\r\n"));
    }
    ASSERT_EQ(control("/_control/release?path=/map.zip"), 200);
    std::set<std::string> digests;
    for (const int socket : asking) {
        const std::string answer = rawReceive(socket, 30);
        ::close(socket);
        EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
        const size_t digest = answer.find("X-Amz-Meta-Md5-Hash: ");
        if (digest != std::string::npos)
            digests.insert(answer.substr(digest, answer.find("\r\n", digest) - digest));
    }
    EXPECT_EQ(digests.size(), 1u);
    EXPECT_LT(bytesRead() - before, 2 * package_.size());
}

// However steadily its bytes come, a request must arrive whole in time: a
// client still sending its headers is cut off after a few seconds.
TEST_F(LocalServersTest, AClientTricklingItsHeadersIsCutOffAtTheDeadline) {
    RunningLocalServer tiles({KELVARA_TILE_SERVER, "--port", "0"});
    ASSERT_GT(tiles.port(), 0);
    const int socket = rawConnect(tiles.port());
    ASSERT_GE(socket, 0);
    rawSend(socket, "GET /_count HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    // The server's deadline is 5 s; a byte goes every 0.5 s for up to 20 s.
    // The server may say why before it closes the connection.
    bool cutOff = false;
    for (int tick = 0; tick < 40 && !cutOff; ++tick) {
        rawSend(socket, "a");
        pollfd wanted{socket, POLLIN, 0};
        cutOff = ::poll(&wanted, 1, 500) > 0;
    }
    ASSERT_TRUE(cutOff);
    const std::string said = rawReceive(socket, 5);
    EXPECT_TRUE(said.empty() || said.rfind("HTTP/1.1 4", 0) == 0) << said;
    ::close(socket);
}

TEST_F(LocalServersTest, NumbersTooLargeForTheirPlaceNameNothing) {
    RunningLocalServer tiles({KELVARA_TILE_SERVER, "--port", "0"});
    ASSERT_GT(tiles.port(), 0);
    EXPECT_EQ(rawStatus(tiles.port(), rawGet("/neighbourhood/2/1/1.png" + kTileKey)), 200);
    EXPECT_EQ(rawStatus(tiles.port(), rawGet("/neighbourhood/99999999999/1/1.png" + kTileKey)),
              404);
    EXPECT_EQ(rawStatus(tiles.port(),
                        rawGet("/neighbourhood/2/99999999999999999999999/1.png" + kTileKey)),
              404);

    RunningLocalServer sdk({KELVARA_SDK_SERVICE, "--port", "0", "--test-control"});
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

// A port past 65535 or not a number is refused: it would be bound as
// another one, or as any, and said as it was given.
TEST_F(LocalServersTest, APortOutsideZeroTo65535IsRefused) {
    for (const Server& server : servers()) {
        for (const std::string port : {"65536", "4501145012", "-1", "45a01"}) {
            std::string command = "timeout 10";
            for (const std::string& argument : server.arguments)
                command += " '" + (argument == "0" ? port : argument) + "'";
            FILE* output = ::popen((command + " 2>&1").c_str(), "r");
            ASSERT_NE(output, nullptr);
            std::string said;
            char buffer[256];
            while (const size_t got = std::fread(buffer, 1, sizeof buffer, output))
                said.append(buffer, got);
            const int status = ::pclose(output);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2)
                << server.name << " " << port;
            EXPECT_NE(said.find("--port must be a number from 0 to 65535"), std::string::npos)
                << server.name << " " << port << ": " << said;
        }
    }
}

// Another local program could read a user's thread and attachment by
// counting; their token and URL name them by 128 random bits instead, while
// an attachment's "id" stays the protocol's number.
TEST_F(LocalServersTest, AFeedbackAttachmentIsServedOnlyAtItsUnguessableAddress) {
    const std::string app = "0123456789abcdef0123456789abcdef";
    RunningLocalServer sdk({KELVARA_SDK_SERVICE, "--port", "0", "--app", app});
    ASSERT_GT(sdk.port(), 0);
    httplib::Client client("127.0.0.1", sdk.port());
    client.set_default_headers({{"User-Agent", "Zizava/iOS"}});
    const std::string prefix = "/_feedback/attachments/";
    std::set<std::string> keys;
    for (const std::string token : {"m1", "m2"}) {
        const httplib::MultipartFormDataItems fields = {
            {"oem", "Kelvara", "", "text"},
            {"os_version", "1", "", "text"},
            {"model", "desktop", "", "text"},
            {"bundle_version", "1", "", "text"},
            {"message_token", token, "", "text"},
            {"text", "see the picture", "", "text"},
            {"attachment0", "secret " + token, "picture.png", "image/png"}};
        const auto answer = client.Post("/api/2/apps/" + app +
                                            "/feedback?format=json&sdk=ZizavaSDK&sdk_version=4.1.4"
                                            "&bundle_version=1",
                                        fields);
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status, 201) << answer->body;
        EXPECT_TRUE(std::regex_search(
            answer->body, std::regex(R"x("status":"success","token":"[0-9a-f]{32}"\}$)x")))
            << answer->body;
        std::smatch found;
        const std::regex attachment(R"("attachments":\[\{"content_type":"image/png","file_name":)"
                                    R"("picture.png","id":(\d+),"url":"[^"]*)" +
                                    prefix + R"x(([^"]*)")x");
        ASSERT_TRUE(std::regex_search(answer->body, found, attachment)) << answer->body;
        const std::string id = found[1];
        const std::string key = found[2];
        EXPECT_TRUE(std::regex_match(key, std::regex("[0-9a-f]{32}"))) << key;
        keys.insert(key);
        const auto bytes = client.Get(prefix + key);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->status, 200);
        EXPECT_EQ(bytes->body, "secret " + token);
        // Neither its number nor a made-up key finds it.
        EXPECT_EQ(client.Get(prefix + id)->status, 404);
        EXPECT_EQ(client.Get(prefix + std::string(32, '0'))->status, 404);
    }
    EXPECT_EQ(keys.size(), 2u);
}

// Every accepted crash report was kept for good: now the latest ones are, as
// many as their bound holds, and their numbers go on from the last.
TEST_F(LocalServersTest, TheSdkServiceKeepsTheLatestCrashReports) {
    const std::string app = "0123456789abcdef0123456789abcdef";
    RunningLocalServer sdk({KELVARA_SDK_SERVICE, "--port", "0", "--test-control"});
    ASSERT_GT(sdk.port(), 0);
    httplib::Client client("127.0.0.1", sdk.port());
    client.set_default_headers({{"User-Agent", "ZizavaSDK/iOS"}, {"Accept-Encoding", "gzip"}});
    std::string values;
    for (const char* element : {"applicationname", "bundleidentifier", "systemversion", "platform",
                                "senderversion", "versionstring", "version", "uuid", "userid",
                                "username", "contact", "installstring", "description"})
        values += std::string("<") + element + ">x</" + element + ">";
    // 4 MB each: four of them fill the bound.
    const std::string crash = "<crashes><crash>" + values + "<log>" + std::string(4 << 20, 'l') +
                              "</log></crash></crashes>";
    for (int report = 1; report <= 6; ++report) {
        const auto answer =
            client.Post("/api/2/apps/" + app + "/crashes",
                        httplib::MultipartFormDataItems{{"sdk", "ZizavaSDK", "", "text"},
                                                        {"sdk_version", "4.1.4", "", "text"},
                                                        {"feedbackEnabled", "no", "", "text"},
                                                        {"xml", crash, "crash.xml", "text/xml"}});
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status, 201) << answer->body;
        EXPECT_NE(answer->body.find("<integer>" + std::to_string(report) + "</integer>"),
                  std::string::npos);
    }
    const auto kept = client.Get("/_crashes");
    ASSERT_TRUE(kept);
    std::vector<int> ids;
    const std::regex id(R"x("id":(\d+))x");
    for (auto found = std::sregex_iterator(kept->body.begin(), kept->body.end(), id);
         found != std::sregex_iterator(); ++found)
        ids.push_back(std::stoi((*found)[1]));
    EXPECT_EQ(ids, (std::vector<int>{4, 5, 6}));
}
