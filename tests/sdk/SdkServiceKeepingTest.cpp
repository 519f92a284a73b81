#include <gtest/gtest.h>

#include <variant>

#include "Foundation/NSJSONSerialization.h"
#include "RawHttp.h"
#include "SdkServiceProcess.h"
#include "TelemetryLines.h"
#include "sdk/BITZizavaAppClient.h"
#include "sdk/NSData+BITGZIP.h"

// The service answers 2xx only for what it keeps whole.
namespace {

constexpr const char* kApp = "0123456789abcdef0123456789abcdef";
constexpr size_t kMiB = 1024 * 1024;

struct Answer {
    int status = 0;
    Value body;
};

Answer exchange(int port, const std::string& request) {
    const int socket = rawConnect(port);
    std::string response;
    if (socket >= 0 && rawSend(socket, request))
        response = rawReceive(socket, 60);
    if (socket >= 0)
        ::close(socket);
    Answer answer;
    if (response.rfind("HTTP/1.", 0) == 0 && response.size() >= 12)
        answer.status = std::atoi(response.c_str() + 9);
    const size_t head = response.find("\r\n\r\n");
    if (head == std::string::npos || head + 4 == response.size())
        return answer;
    Value::Data body(response.begin() + head + 4, response.end());
    // The service packs answers for clients that take gzip, as the SDK's do.
    if (response.substr(0, head).find("Content-Encoding: gzip") != std::string::npos)
        body = bit_gunzippedData(body, 64 * kMiB).value_or(Value::Data());
    answer.body = NSJSONSerialization::JSONObjectWithData(body).value_or(Value());
    return answer;
}

std::string post(const std::string& path, const std::string& type, const std::string& body,
                 const std::string& headers = {}) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers +
           "Content-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

// A new thread's first message with files of these sizes.
std::string feedback(const std::vector<size_t>& files, const std::string& text = "x") {
    std::string body;
    const auto add = [&body](const Value::Data& part) { body.append(part.begin(), part.end()); };
    for (const char* name : {"oem", "os_version", "model", "bundle_version", "message_token"})
        add(BITZizavaAppClient::dataWithPostValueForKeyBoundary("x", name, "B"));
    add(BITZizavaAppClient::dataWithPostValueForKeyBoundary(text, "text", "B"));
    for (size_t i = 0; i < files.size(); ++i)
        add(BITZizavaAppClient::dataWithPostValueForKeyContentTypeBoundaryFilename(
            Value::Data(files[i], 'f'), "attachment" + std::to_string(i), "image/png", "B",
            "f" + std::to_string(i) + ".png"));
    body += "--B--\r\n";
    return post(std::string("/api/2/apps/") + kApp +
                    "/feedback?format=json&sdk=ZizavaSDK&sdk_version=4.1.4&bundle_version=1",
                "multipart/form-data; boundary=B", body, "User-Agent: Zizava/iOS\r\n");
}

// Valid telemetry lines of about `bytes` in all, packed.
std::string track(size_t bytes) {
    const std::string lines = validTelemetryLines(bytes);
    const auto packed = bit_gzippedData(Value::Data(lines.begin(), lines.end()));
    return post("/v2/track", "application/x-json-stream",
                std::string(packed->begin(), packed->end()),
                "Content-Encoding: gzip\r\nCharset: UTF-8\r\nAccept-Encoding: gzip\r\n");
}

// Values along a path of keys and indexes; an empty value where there is none.
Value at(const Value& value, const std::vector<std::variant<const char*, size_t>>& path) {
    const Value* found = &value;
    for (const auto& step : path) {
        found = std::holds_alternative<size_t>(step) ? found->at(std::get<size_t>(step))
                                                     : found->get(std::get<const char*>(step));
        if (!found)
            return Value();
    }
    return *found;
}

size_t keptLines(const SdkServiceProcess& service) {
    return at(exchange(service.port(), rawGet("/_telemetry")).body, {"lines"}).count();
}

}  // namespace

// With a budget of 40 MiB, a request holds twice its body on its way in: a
// message of 10 and 4 MiB of files then leaves room for the first file but
// not both, and 10 MiB of telemetry lines unpack to more than the requests
// of one address may hold (a quarter of the budget).
TEST(SdkServiceKeeping, ARequestIsKeptWholeOrAnsweredUnavailable) {
    SdkServiceProcess service({kApp}, {"--memory", std::to_string(40 * kMiB)});
    ASSERT_TRUE(service.running());
    EXPECT_EQ(exchange(service.port(), feedback({10 * kMiB, 4 * kMiB})).status, 503);
    EXPECT_EQ(exchange(service.port(), track(10 * kMiB)).status, 503);
    // The endpoints refused them, not the way in.
    const Value refused = service.received();
    ASSERT_EQ(refused.count(), 2u);
    EXPECT_EQ(at(refused, {size_t(1), "path"}), Value("/v2/track"));
    EXPECT_EQ(at(refused, {size_t(1), "status"}), Value(503));
    EXPECT_EQ(exchange(service.port(), rawGet("/_feedback/threads")).body.count(), 0u);
    EXPECT_EQ(keptLines(service), 0u);

    // Files already acknowledged give way; the thread then says they are gone.
    const Answer first = exchange(service.port(), feedback({6 * kMiB}));
    ASSERT_EQ(first.status, 201);
    const Answer second = exchange(service.port(), feedback({10 * kMiB, 2 * kMiB}));
    ASSERT_EQ(second.status, 201);
    EXPECT_EQ(at(second.body, {"feedback", "messages", size_t(0), "attachments"}).count(), 2u);
    const Value threads = exchange(service.port(), rawGet("/_feedback/threads")).body;
    const Value gone = at(threads, {at(first.body, {"token"}).stringValue()->c_str(), "feedback",
                                    "messages", size_t(0), "attachments", size_t(0)});
    EXPECT_EQ(at(gone, {"gone"}), Value(true));
    EXPECT_FALSE(gone.get("url"));
    EXPECT_EQ(at(gone, {"file_name"}), Value("f0.png"));

    // What the history keeps of a request is its head and fields, no file's bytes.
    const Value received = service.received();
    const Value fields = at(received, {received.count() - 1, "fields"});
    EXPECT_EQ(at(fields, {"attachment0", "length"}), Value(int64_t(10 * kMiB)));
    EXPECT_FALSE(at(fields, {"attachment0"}).get("text"));
    EXPECT_EQ(at(fields, {"oem", "text"}), Value("x"));
}

// Lines that alone take more than the service keeps (each line also costs
// its place) could never be kept: 413, which the telemetry sender gives up,
// rather than a 503 it would send again for ever. Lines that fit are all
// kept, older ones giving way.
TEST(SdkServiceKeeping, TelemetryIsAcceptedOnlyAsItIsKept) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    const Answer tooMany = exchange(service.port(), track(12 * kMiB));
    EXPECT_EQ(tooMany.status, 413);
    ASSERT_TRUE(tooMany.body.get("itemsAccepted"));
    EXPECT_EQ(*tooMany.body.get("itemsAccepted"), Value(int64_t(0)));
    EXPECT_EQ(keptLines(service), 0u);

    size_t accepted = 0;
    for (int request = 0; request < 2; ++request) {
        const Answer answer = exchange(service.port(), track(6 * kMiB));
        ASSERT_EQ(answer.status, 200);
        ASSERT_TRUE(answer.body.get("itemsAccepted"));
        accepted = size_t(*answer.body.get("itemsAccepted")->integerValue());
        EXPECT_EQ(*answer.body.get("itemsReceived"), *answer.body.get("itemsAccepted"));
    }
    const size_t kept = keptLines(service);
    EXPECT_GE(kept, accepted);
    EXPECT_LT(kept, 2 * accepted);
}

// A text that is no UTF-8 once made the answer fail (500) after the message
// was kept, so that the client's next try was a conflict.
TEST(SdkServiceKeeping, AMessageWhoseTextIsNoUtf8IsAnsweredReadably) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    const Answer answer = exchange(service.port(), feedback({}, "caf\xE9 \x01"));
    EXPECT_EQ(answer.status, 201);
    EXPECT_EQ(at(answer.body, {"feedback", "messages", size_t(0), "text"}),
              Value("caf\xEF\xBF\xBD \x01"));
}
