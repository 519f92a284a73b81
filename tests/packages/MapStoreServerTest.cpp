#include <gtest/gtest.h>

#include <fstream>

#include "MapStoreServerProcess.h"
#include "Net/NSURLConnection.h"
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
