#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "LocalServerSpawn.h"
#include "MapStoreServerProcess.h"
#include "Net/NSURLConnection.h"
#include "RawHttp.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

struct Answer {
    long status = 0;
    NSHTTPHeaderFields headers;
    std::string body;
};

class MapStoreServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(root_.file("map/DE"));
        std::ofstream(root_.file("map/DE/x.zip")) << "0123456789";
        server_ = std::make_unique<MapStoreServerProcess>(root_.path());
        ASSERT_TRUE(server_->running());
    }
    Answer get(const std::string& path, const NSHTTPHeaderFields& headers = {},
               const std::string& method = "GET") {
        NSMutableURLRequest request(*NSURL::URLWithString(server_->urlFor(path)));
        request.setHTTPMethod(method);
        for (const auto& [name, value] : headers)
            request.setValueForHTTPHeaderField(value, name);
        std::optional<NSHTTPURLResponse> response;
        const auto body = NSURLConnection::sendSynchronousRequest(request, &response);
        Answer answer;
        if (response) {
            answer.status = response->statusCode();
            answer.headers = response->allHeaderFields();
        }
        if (body)
            answer.body.assign(body->begin(), body->end());
        return answer;
    }
    TemporaryFolder root_;
    std::unique_ptr<MapStoreServerProcess> server_;
};

// MD5 of "0123456789".
constexpr const char* kMD5 = "781e5e245d69b566979b86e28d23f2c7";

TEST_F(MapStoreServerTest, ServesFilesWithIntegrityHeadersAndAnswersHead) {
    const Answer whole = get("/map/DE/x.zip");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, "0123456789");
    EXPECT_EQ(whole.headers.at("Content-Length"), "10");
    EXPECT_EQ(whole.headers.at("Accept-Ranges"), "bytes");
    EXPECT_EQ(whole.headers.at("ETag"), std::string("\"") + kMD5 + "\"");
    EXPECT_EQ(whole.headers.at("X-Amz-Meta-Md5-Hash"), kMD5);
    EXPECT_FALSE(whole.headers.at("Last-Modified").empty());
    const Answer head = get("/map/DE/x.zip", {}, "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(head.headers.at("Content-Length"), "10");
}

TEST_F(MapStoreServerTest, AnswersRangesAndIfRangeItself) {
    const std::string tag = std::string("\"") + kMD5 + "\"";
    const Answer part = get("/map/DE/x.zip", {{"Range", "bytes=4-"}, {"If-Range", tag}});
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, "456789");
    EXPECT_EQ(part.headers.at("Content-Range"), "bytes 4-9/10");
    const Answer changed = get("/map/DE/x.zip", {{"Range", "bytes=4-"}, {"If-Range", "\"other\""}});
    EXPECT_EQ(changed.status, 200);
    EXPECT_EQ(changed.body, "0123456789");
    const Answer past = get("/map/DE/x.zip", {{"Range", "bytes=10-"}});
    EXPECT_EQ(past.status, 416);
    EXPECT_EQ(past.headers.at("Content-Range"), "bytes */10");
    // The last bytes; none of them is no range at all.
    const Answer tail = get("/map/DE/x.zip", {{"Range", "bytes=-3"}});
    EXPECT_EQ(tail.status, 206);
    EXPECT_EQ(tail.body, "789");
    EXPECT_EQ(tail.headers.at("Content-Range"), "bytes 7-9/10");
    EXPECT_EQ(get("/map/DE/x.zip", {{"Range", "bytes=-30"}}).body, "0123456789");
    const Answer none = get("/map/DE/x.zip", {{"Range", "bytes=-0"}});
    EXPECT_EQ(none.status, 416);
    EXPECT_EQ(none.headers.at("Content-Range"), "bytes */10");
    // Forms it does not serve as ranges get the whole file.
    for (const char* odd : {"bytes=-", "bytes=1-2,4-5"})
        EXPECT_EQ(get("/map/DE/x.zip", {{"Range", odd}}).status, 200) << odd;
}

TEST_F(MapStoreServerTest, APathWithANulIsRefused) {
    EXPECT_EQ(rawStatus(server_->port(), rawGet("/map/DE/x.zip%00.jpg")), 400);
    EXPECT_EQ(rawStatus(server_->port(), rawGet("/map/DE/x.zip")), 200);
}

TEST_F(MapStoreServerTest, FaultValuesAreCheckedBeforeAnyIsTaken) {
    std::ofstream(root_.file("newer.zip")) << "abcdefghij";
    auto control = [&](const std::string& query) {
        NSMutableURLRequest request(
            *NSURL::URLWithString(server_->urlFor("/_control/fault?" + query)));
        request.setHTTPMethod("POST");
        std::optional<NSHTTPURLResponse> response;
        NSURLConnection::sendSynchronousRequest(request, &response);
        return response ? response->statusCode() : 0;
    };
    const std::string path = "path=/map/DE/x.zip&";
    for (const std::string& refused : std::vector<std::string>{
             "throttle=0", "status=0", "status=99", "status=600", "status=99999999999999999999",
             "count=0", "count=-1", "cut=ten", "cut=1e3", "ignoreRange=yes", "unknown=1",
             "count=1&count=2", "replaceWith=/etc/passwd", "replaceWith=" + root_.file("missing"),
             "replaceWith=" + root_.file("map/DE/../../../etc/passwd")}) {
        EXPECT_EQ(control(path + refused), 400) << refused;
        // Nothing of it was taken: the file is served as it is.
        EXPECT_EQ(get("/map/DE/x.zip").body, "0123456789") << refused;
    }
    EXPECT_EQ(control("throttle=5"), 400);  // no path
    EXPECT_EQ(control("path=map&status=500"), 400);
    EXPECT_EQ(control(path + "status=503&count=1&replaceWith=" + root_.file("newer.zip")), 200);
    EXPECT_EQ(get("/map/DE/x.zip").status, 503);
    // The file is replaced before the request shows in the log.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto logged = [&] {
        for (const Value& entry : server_->log()) {
            if (*entry.dictionaryValue()->at("status").integerValue() == 503)
                return true;
        }
        return false;
    };
    while (!logged() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(get("/map/DE/x.zip").body, "abcdefghij");
}

TEST_F(MapStoreServerTest, WithoutTheTestFlagNothingSteersTheServer) {
    pid_t pid = -1;
    const int port =
        spawnLocalServer({KELVARA_MAPSTORE_SERVER, "--root", root_.path(), "--port", "0"}, pid);
    ASSERT_GT(port, 0);
    const std::string post =
        "POST /_control/fault?path=/map/DE/x.zip&status=500 HTTP/1.1\r\n"
        "Host: 127.0.0.1\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
    EXPECT_EQ(rawStatus(port, post), 404);
    EXPECT_EQ(rawStatus(port, rawGet("/map/DE/x.zip")), 200);
    EXPECT_EQ(rawStatus(port, rawGet("/_log")), 404);
    stopLocalServer(pid);
}

TEST_F(MapStoreServerTest, FaultsAreSwitchedPerPathAndTheLogKeepsEveryRequest) {
    server_->fault("/map/DE/x.zip", "status=404&count=1");
    EXPECT_EQ(get("/map/DE/x.zip").status, 404);
    EXPECT_EQ(get("/map/DE/x.zip").status, 200);
    server_->fault("/map/DE/x.zip", "lieRange=1");
    EXPECT_EQ(get("/map/DE/x.zip", {{"Range", "bytes=4-"}}).headers.at("Content-Range"),
              "bytes 0-5/10");
    server_->clearFaults();
    EXPECT_EQ(get("/../etc/passwd").status, 404);
    EXPECT_EQ(get("/map/DE/missing.zip").status, 404);
    const Value::Array log = server_->log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(*log[0].dictionaryValue()->at("status").integerValue(), 404);
    EXPECT_EQ(*log[2].dictionaryValue()->at("range").stringValue(), "bytes=4-");
}

}  // namespace
