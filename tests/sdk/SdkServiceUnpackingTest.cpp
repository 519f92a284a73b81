#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "RawHttp.h"
#include "SdkServiceProcess.h"
#include "TelemetryLines.h"
#include "sdk/NSData+BITGZIP.h"

// A packed body takes of the service's memory budget what it unpacks to, as
// it unpacks, and gives it all back with its answer.
namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

std::string packed(const std::string& text) {
    const auto data =
        bit_gzippedDataWithCompressionLevel(Value::Data(text.begin(), text.end()), 1.0);
    return data ? std::string(data->begin(), data->end()) : std::string();
}

// A telemetry upload as the SDK sends it, but for its body and length.
std::string trackHead(size_t length) {
    return "POST /v2/track HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
           "Content-Type: application/x-json-stream\r\nContent-Encoding: gzip\r\n"
           "Charset: UTF-8\r\nAccept-Encoding: gzip\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
}

std::string track(const std::string& body) {
    return trackHead(body.size()) + body;
}

}  // namespace

// However a packed body fails (past the bound, a stream cut short, lines
// that are none, a body that stops coming), the answer says why and nothing
// of it stays held: once the records are forgotten the budget holds what it
// held before.
TEST(SdkServiceUnpacking, ARefusedPackedBodyHoldsNothingAfter) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    service.reset();
    const auto before = service.memoryUsed();
    ASSERT_TRUE(before);

    const std::string bomb = packed(std::string(33 * kMiB, '\n'));
    EXPECT_EQ(rawStatus(service.port(), track(bomb)), 413);
    EXPECT_EQ(rawStatus(service.port(), track(packed(std::string(4 * kMiB, ' ') + "\n"))), 422);
    const std::string whole = packed(std::string(kMiB, 'x'));
    EXPECT_EQ(rawStatus(service.port(), track(whole.substr(0, whole.size() / 2))), 400);
    const int socket = rawConnect(service.port());
    ASSERT_GE(socket, 0);
    ASSERT_TRUE(rawSend(socket, trackHead(bomb.size()) + bomb.substr(0, bomb.size() / 2)));
    const std::string timedOut = rawReceive(socket, 60);
    ::close(socket);
    EXPECT_EQ(timedOut.rfind("HTTP/1.1 408", 0), 0u) << timedOut.substr(0, 40);

    service.reset();
    EXPECT_TRUE(eventually([&] { return service.memoryUsed() == before; }))
        << service.memoryUsed().value_or(0) << " bytes held, " << *before << " before";
}

// Clients of one address that post bodies unpacking to the bound of 32 MiB
// again and again, each at once after its answer, hold at most that
// address's share of the budget (a quarter) and leave the rest; a small
// upload gets in meanwhile, from that address as from another.
TEST(SdkServiceUnpacking, SmallTelemetryGetsInWhileOneAddressFloodsLargeBodies) {
    SdkServiceProcess service({kApp});
    ASSERT_TRUE(service.running());
    const std::string large = track(packed(std::string(32 * kMiB - 1, ' ') + "\n"));
    std::atomic<bool> stopping = false;
    std::atomic<size_t> answered = 0;
    std::vector<std::thread> flood;
    for (int client = 0; client < 12; ++client) {
        flood.emplace_back([&] {
            while (!stopping) {
                rawStatusFrom("127.0.0.20", service.port(), large, 120);
                ++answered;
            }
        });
    }
    size_t most = 0;
    const auto sample = [&] { most = std::max(most, service.memoryUsed().value_or(0)); };
    EXPECT_TRUE(eventually([&] {
        sample();
        return answered >= flood.size();
    }));
    for (const char* source : {"127.0.0.20", "127.0.0.30"}) {
        for (int upload = 0; upload < 3; ++upload) {
            EXPECT_EQ(rawStatusFrom(source, service.port(), track(packed(validTelemetryLines()))),
                      200)
                << source;
            sample();
        }
    }
    stopping = true;
    for (std::thread& client : flood)
        client.join();
    // The share of the default budget of 256 MiB, and room for the records
    // and the bodies as they came.
    EXPECT_GT(most, 0u);
    EXPECT_LE(most, 64 * kMiB + 8 * kMiB);
}
