#include <gtest/gtest.h>

#include "Dispatch/NSRunLoop.h"
#include "LocalServerSpawn.h"
#include "RawHttp.h"
#include "SdkServiceProcess.h"
#include "SdkTestSupport.h"
#include "sdk/BITZizavaAppClient.h"
#include "sdk/NSData+BITGZIP.h"

namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

// Posts through the SDK's client and answers the status (0 on failure).
long post(BITZizavaAppClient& client, const std::string& path,
          const BITZizavaAppClient::Parameters& fields) {
    long status = -1;
    client.postPathParametersCompletion(path, fields, [&](const auto& operation, auto, auto) {
        const auto response = operation->response();
        status = response ? response->statusCode() : 0;
    });
    NSRunLoop::mainRunLoop()->runUntil([&] { return status >= 0; }, 20);
    return status;
}

}  // namespace

// The service is only a fair judge if it notices departures from the protocol.
TEST(SdkService, RequestsOffTheProtocolAreAnswered422AndRecordedWithWhy) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    BITZizavaAppClient client(*NSURL::URLWithString(service.baseURL()));
    const std::string path = std::string("api/3/apps/") + kApp + "/integration";

    EXPECT_EQ(post(client, path, {{"timestamp", "1"}, {"sdk", "Other"}, {"sdk_version", "4.1.4"}}),
              422);
    EXPECT_EQ(post(client, "api/3/apps/ABC/integration",
                   {{"timestamp", "1"},
                    {"sdk", "ZizavaSDK"},
                    {"sdk_version", "4.1.4"},
                    {"bundle_version", "1"},
                    {"extra", "x"}}),
              422);
    EXPECT_EQ(post(client, "api/3/unknown", {{"a", "b"}}), 404);
    service.answerNextWith(503);
    EXPECT_EQ(post(client, path,
                   {{"timestamp", "1"},
                    {"sdk", "ZizavaSDK"},
                    {"sdk_version", "4.1.4"},
                    {"bundle_version", "1"}}),
              503);

    const Value received = service.received();
    ASSERT_EQ(received.count(), 4u);
    const auto violations = [&](size_t i) {
        std::string all;
        for (size_t k = 0; k < received.at(i)->get("violations")->count(); ++k)
            all += *received.at(i)->get("violations")->at(k)->stringValue() + "|";
        return all;
    };
    EXPECT_NE(violations(0).find("field sdk is \"Other\""), std::string::npos);
    EXPECT_NE(violations(0).find("field bundle_version appears 0 times"), std::string::npos);
    EXPECT_NE(violations(1).find("is not 32 lower-case hex digits"), std::string::npos);
    EXPECT_NE(violations(1).find("unexpected field extra"), std::string::npos);
    EXPECT_NE(violations(2).find("not served by an endpoint: status 404"), std::string::npos);
    EXPECT_EQ(violations(3), "");
}

TEST(SdkService, BodiesAreBoundedAsSentAndAsUnpacked) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    auto track = [&](const std::string& headers, const std::string& body) {
        return rawStatus(service.port(),
                         "POST /v2/track HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                         "application/x-json-stream\r\n" +
                             headers + "\r\n" + body);
    };
    // 64 MiB of empty lines packed into far less than a megabyte.
    const auto packed =
        bit_gzippedDataWithCompressionLevel(Value::Data((64u << 20), uint8_t('\n')), 1.0);
    ASSERT_TRUE(packed);
    const std::string bomb(packed->begin(), packed->end());
    EXPECT_LT(bomb.size(), 1u << 20);
    const std::string gzip = "Content-Encoding: gzip\r\n";
    EXPECT_EQ(track(gzip + "Content-Length: " + std::to_string(bomb.size()) + "\r\n", bomb), 413);
    EXPECT_EQ(track(gzip + "Content-Length: 9\r\n", "not gzip!"), 400);
    EXPECT_EQ(track("Content-Encoding: br\r\nContent-Length: 1\r\n", "x"), 415);
    // A body with no length, or a length above the bound, is not read.
    EXPECT_EQ(track("Transfer-Encoding: chunked\r\n", "5\r\nhello\r\n0\r\n\r\n"), 411);
    EXPECT_EQ(track("Content-Length: 40000000\r\n", ""), 413);

    const Value received = service.received();
    ASSERT_EQ(received.count(), 5u);
    auto firstViolation = [&](size_t i) {
        return *received.at(i)->get("violations")->at(0)->stringValue();
    };
    EXPECT_EQ(firstViolation(0), "body unpacks to more than 33554432 bytes");
    EXPECT_EQ(firstViolation(1), "body is not gzip");
    EXPECT_EQ(firstViolation(2), "not served by an endpoint: status 415");
    EXPECT_EQ(firstViolation(3), "not served by an endpoint: status 411");
    EXPECT_EQ(firstViolation(4), "not served by an endpoint: status 413");
}

// A 4 MiB body of empty lines packs into a few kilobytes; each line is a
// violation, and the answer and the record keep only the first of them.
TEST(SdkService, ABodyOfBadLinesGetsABoundedAnswerAndRecord) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    constexpr size_t kLines = 4u << 20;
    const auto packed = bit_gzippedData(Value::Data(kLines, uint8_t('\n')));
    ASSERT_TRUE(packed);
    const int socket = rawConnect(service.port());
    ASSERT_GE(socket, 0);
    ASSERT_TRUE(rawSend(socket,
                        "POST /v2/track HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                        "Connection: close\r\nContent-Type: application/x-json-stream\r\n"
                        "Charset: UTF-8\r\n"
                        "Content-Encoding: gzip\r\nContent-Length: " +
                            std::to_string(packed->size()) + "\r\n\r\n" +
                            std::string(packed->begin(), packed->end())));
    // Four million violations take a while on a busy machine or in a
    // sanitized build: the bound is only for a service that never answers.
    const std::string answer = rawReceive(socket, 240);
    ::close(socket);
    EXPECT_EQ(answer.rfind("HTTP/1.1 422", 0), 0u) << answer.substr(0, 100);
    EXPECT_LT(answer.size(), 64u << 10);
    EXPECT_NE(answer.find("\"line 1: not JSON\""), std::string::npos);
    // Without Accept-Encoding (else the answer comes packed): one violation more.
    EXPECT_NE(answer.find("and " + std::to_string(kLines + 1 - 99) + " more violations"),
              std::string::npos);

    const Value received = service.received();
    ASSERT_EQ(received.count(), 1u);
    EXPECT_EQ(received.at(0)->get("violations")->count(), 100u);
}

// Any local program could otherwise script the program's next answer (a
// redirect to a local file) or read what it sent.
TEST(SdkService, OnlyAServiceStartedForTestsCanBeSteeredOrRead) {
    pid_t pid = -1;
    const int port = spawnLocalServer({KELVARA_SDK_SERVICE, "--port", "0", "--app", kApp}, pid);
    ASSERT_GT(port, 0);
    const auto post = [&](const std::string& path) {
        return rawStatus(port, "POST " + path +
                                   " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                   "Content-Length: 0\r\n\r\n");
    };
    EXPECT_EQ(post("/_control/next?status=302&location=file:///etc/passwd"), 404);
    EXPECT_EQ(post("/_control/app?id=ffffffffffffffffffffffffffffffff"), 404);
    EXPECT_EQ(post("/_control/reset"), 404);
    EXPECT_EQ(post("/_feedback/next-body"), 404);
    for (const char* path : {"/_received", "/_telemetry", "/_crashes", "/_feedback/threads"})
        EXPECT_EQ(rawStatus(port, rawGet(path)), 404) << path;
    // The order was not taken: the next request gets its own answer.
    EXPECT_EQ(rawStatus(port, rawGet("/lookup?bundleId=x&country=de")), 200);
    stopLocalServer(pid);
}

TEST(SdkService, KeepsOnlyTheLatestExchanges) {
    SdkServiceProcess service({kApp}, {"--history", "3"});
    ASSERT_TRUE(service.running());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(rawStatus(service.port(), rawGet("/nothing" + std::to_string(i))), 404);
    const Value received = service.received();
    ASSERT_EQ(received.count(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(*received.at(i)->get("path")->stringValue(), "/nothing" + std::to_string(i + 2));
}
