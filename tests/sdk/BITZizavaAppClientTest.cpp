#include "sdk/BITZizavaAppClient.h"

#include <gtest/gtest.h>

#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSThread.h"
#include "SdkServiceProcess.h"
#include "SdkTestSupport.h"

namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

std::string text(const Value::Data& data) {
    return std::string(data.begin(), data.end());
}

BITZizavaAppClient client() {
    return BITZizavaAppClient(*NSURL::URLWithString("https://127.0.0.1/base/"));
}

// The parts of a multipart body, split at its boundary lines.
std::vector<std::string> parts(const std::string& body, const std::string& boundary) {
    std::vector<std::string> found;
    const std::string separator = "--" + boundary + "\r\n";
    size_t position = body.find(separator);
    while (position != std::string::npos) {
        const size_t start = position + separator.size();
        position = body.find("\r\n--" + boundary, start);
        if (position == std::string::npos)
            break;
        found.push_back(body.substr(start, position - start));
        position += 2;
        if (body.compare(position, separator.size(), separator) != 0)
            break;
    }
    return found;
}

}  // namespace

TEST(BITZizavaAppClient, GetRequestsCarryTheParametersInTheQuery) {
    const auto plain = client().requestWithMethodPathParameters(
        "GET", std::string("feedback"), BITZizavaAppClient::Parameters{{"a", "1"}});
    EXPECT_EQ(plain.URL().absoluteString(), "https://127.0.0.1/base/feedback?a=1");
    EXPECT_EQ(plain.HTTPMethod(), "GET");
    EXPECT_TRUE(plain.HTTPBody().empty());

    const auto withQuery = client().requestWithMethodPathParameters(
        "GET", std::string("feedback?x=2"), BITZizavaAppClient::Parameters{{"a", "1"}});
    EXPECT_EQ(withQuery.URL().absoluteString(), "https://127.0.0.1/base/feedback?x=2&a=1");

    // Values that would break the query are encoded.
    const auto hostile = client().requestWithMethodPathParameters(
        "GET", std::nullopt, BITZizavaAppClient::Parameters{{"k&", "a b=c#d"}});
    EXPECT_EQ(hostile.URL().absoluteString(), "https://127.0.0.1/base/?k%26=a%20b%3Dc%23d");
    EXPECT_EQ(BITZizavaAppClient::queryStringFromParametersWithEncoding(
                  BITZizavaAppClient::Parameters{{"k&", "a b=c#d"}, {"z", "1"}}),
              "k%26=a%20b%3Dc%23d&z=1");
}

TEST(BITZizavaAppClient, PostWithoutParametersHasNoBodyAndNoContentType) {
    const auto request =
        client().requestWithMethodPathParameters("POST", std::string("p"), std::nullopt);
    EXPECT_TRUE(request.HTTPBody().empty());
    EXPECT_FALSE(request.valueForHTTPHeaderField("Content-type"));
}

TEST(BITZizavaAppClient, PostBodyIsMultipartWithTheUsualBoundary) {
    const auto request = client().requestWithMethodPathParameters(
        "POST", std::string("p"), BITZizavaAppClient::Parameters{{"a", "1"}, {"b", "two"}});
    EXPECT_EQ(request.valueForHTTPHeaderField("content-type"),
              "multipart/form-data; boundary=----FOO");
    EXPECT_EQ(
        text(request.HTTPBody()),
        "------FOO\r\nContent-Disposition: form-data; name=\"a\"\r\nContent-Type: text\r\n\r\n"
        "1\r\n------FOO\r\nContent-Disposition: form-data; name=\"b\"\r\nContent-Type: "
        "text\r\n\r\ntwo\r\n------FOO--\r\n");
}

TEST(BITZizavaAppClient, OnlyFilePartsSayTheirTransferEncoding) {
    const Value::Data value{'x'};
    const std::string file =
        text(BITZizavaAppClient::dataWithPostValueForKeyContentTypeBoundaryFilename(
            value, "attachment0", "application/octet-stream", "B", std::string("log.txt")));
    EXPECT_EQ(
        file,
        "--B\r\nContent-Disposition: form-data; name=\"attachment0\"; filename=\"log.txt\"\r\n"
        "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: binary\r\n\r\n"
        "x\r\n");
    const std::string field =
        text(BITZizavaAppClient::dataWithPostValueForKeyBoundary("v", "k", "B"));
    EXPECT_EQ(field.find("Content-Transfer-Encoding"), std::string::npos);
}

TEST(BITZizavaAppClient, HostileContentCannotBreakTheBody) {
    const std::string evil =
        "x\r\n------FOO--\r\n------FOO\r\nContent-Disposition: form-data; name=\"sdk\"";
    const auto request = client().requestWithMethodPathParameters(
        "POST", std::string("p"), BITZizavaAppClient::Parameters{{"a", evil}, {"b", "plain"}});
    const std::string type = *request.valueForHTTPHeaderField("Content-type");
    const std::string boundary = type.substr(type.find("boundary=") + 9);
    EXPECT_NE(boundary, "----FOO");
    EXPECT_EQ(evil.find(boundary), std::string::npos);
    const auto found = parts(text(request.HTTPBody()), boundary);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(found[0].ends_with("\r\n\r\n" + evil));

    const std::string header =
        text(BITZizavaAppClient::dataWithPostValueForKeyContentTypeBoundaryFilename(
            {}, "n\"ame", "text/plain\r\nX-Evil: 1", "B", std::string("a\"b\r\nc\\d%.txt")));
    EXPECT_NE(header.find("name=\"n%22ame\"; filename=\"a%22b%0D%0Ac%5Cd%25.txt\""),
              std::string::npos);
    EXPECT_NE(header.find("Content-Type: text/plainX-Evil: 1\r\n"), std::string::npos);
}

TEST(BITZizavaAppClient, CancellingWithNoFiltersCancelsEveryQueuedOperation) {
    BITZizavaAppClient appClient(*NSURL::URLWithString("http://127.0.0.1:9/"));
    bool called = false;
    for (const char* path : {"a", "b", "c"})
        appClient.postPathParametersCompletion(std::string(path), std::nullopt,
                                               [&](auto, auto, auto) { called = true; });
    appClient.getPathParametersCompletion(std::string("d"), std::nullopt,
                                          [&](auto, auto, auto) { called = true; });
    EXPECT_EQ(appClient.cancelOperationsWithPathMethod(std::string("d"), std::string("POST")), 0u);
    EXPECT_EQ(appClient.cancelOperationsWithPathMethod(std::string("d"), std::string("GET")), 1u);
    EXPECT_EQ(appClient.cancelOperationsWithPathMethod(std::nullopt, std::nullopt), 3u);
    runMainLoopFor(0.3);
    EXPECT_FALSE(called);
}

TEST(BITZizavaAppClient, OperationsRunOneAtATimeAndCompleteOnTheMainThread) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    BITZizavaAppClient appClient(*NSURL::URLWithString(service.baseURL()));
    const std::string path = std::string("api/3/apps/") + kApp + "/integration";
    const BITZizavaAppClient::Parameters fields{{"timestamp", "1"},
                                                {"sdk", "ZizavaSDK"},
                                                {"sdk_version", "4.1.4"},
                                                {"bundle_version", "42"}};
    std::vector<long> statuses;
    bool onMain = true;
    for (int i = 0; i < 3; ++i) {
        appClient.postPathParametersCompletion(
            path, fields,
            [&](const std::shared_ptr<BITHTTPOperation>& operation, auto data, auto error) {
                onMain = onMain && NSThread::isMainThread();
                statuses.push_back(error ? -1 : operation->response()->statusCode());
                EXPECT_TRUE(data);
            });
    }
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return statuses.size() == 3; }, 20));
    EXPECT_EQ(statuses, (std::vector<long>{201, 200, 200}));
    EXPECT_TRUE(onMain);

    service.dropNext();
    std::optional<NSError> failure;
    bool done = false;
    appClient.postPathParametersCompletion(path, fields, [&](auto, auto data, auto error) {
        failure = error;
        EXPECT_FALSE(data);
        done = true;
    });
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return done; }, 20));
    EXPECT_TRUE(failure);
}
