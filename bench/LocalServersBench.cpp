// The local servers under attack by clients from many loopback addresses,
// as any local program could mount it: how long a normal request waits for
// its answer, and how much memory the SDK service holds under hostile
// bodies. KELVARA_BENCH_SERVER_DIR names another build's tools/ folder to
// measure its servers instead (tools/<server>/<binary> below it).
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "LocalServerSpawn.h"
#include "LoopbackAttack.h"
#include "RawHttp.h"

namespace {

constexpr size_t kAttackers = 300;
constexpr size_t kAddresses = 10;
constexpr const char* kApp = "0123456789abcdef0123456789abcdef";

std::string binary(const char* built, const char* tool, const char* name) {
    const char* other = std::getenv("KELVARA_BENCH_SERVER_DIR");
    return other ? std::string(other) + "/" + tool + "/" + name : built;
}

std::vector<std::string> serverArguments(int server, const std::string& root) {
    switch (server) {
        case 0:
            return {binary(KELVARA_MAPSTORE_SERVER, "mapstore-server", "kelvara-mapstore-server"),
                    "--root", root, "--port", "0"};
        case 1:
            return {binary(KELVARA_SDK_SERVICE, "sdk-service", "kelvara-sdk-service"), "--port",
                    "0"};
        default:
            return {binary(KELVARA_TILE_SERVER, "tile-server", "kelvara-tile-server"), "--port",
                    "0"};
    }
}

// A normal request to each server while 300 clients from 10 addresses
// trickle a header byte a second or say nothing, and connect again as soon
// as they are cut off. Arguments: the server (0 map store, 1 SDK service,
// 2 tile server) and the attack (0 trickling, 1 silent).
void BM_NormalRequestUnderAttack(benchmark::State& state) {
    const std::string root = std::filesystem::temp_directory_path() / "kelvara-bench-store";
    std::filesystem::create_directories(root);
    std::ofstream(root + "/map.zip") << std::string(1 << 20, 'z');
    RunningLocalServer server(serverArguments(int(state.range(0)), root));
    if (server.port() <= 0) {
        state.SkipWithError("the server did not start");
        return;
    }
    const std::string path = state.range(0) == 0   ? "/map.zip"
                             : state.range(0) == 1 ? "/x"
                                                   : "/_count";
    LoopbackAttack attack(
        server.port(), kAttackers, kAddresses,
        state.range(1) == 0 ? LoopbackAttack::Kind::Trickling : LoopbackAttack::Kind::Silent);
    // The attack holds its connections before the first request.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    double slowest = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = rawStatus(server.port(), rawGet(path), 60);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status == 0)
            state.SkipWithError("no answer");
        slowest = std::max(slowest, seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["slowest_s"] = slowest;
    state.counters["cut_off"] = double(attack.cutOff());
}
BENCHMARK(BM_NormalRequestUnderAttack)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

size_t residentBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return size_t(std::atoll(line.c_str() + 6)) * 1024;
    }
    return 0;
}

// Text fields are typed "text", as the SDK sends them: the service refuses others.
std::string multipart(const std::vector<std::pair<std::string, std::string>>& parts,
                      const std::string& fileName) {
    std::string body;
    for (const auto& [name, value] : parts) {
        body += "--B\r\nContent-Disposition: form-data; name=\"" + name + "\"";
        if (name.rfind("attachment", 0) == 0 || name == "xml")
            body += "; filename=\"" + fileName + "\"\r\nContent-Type: text/xml";
        else
            body += "\r\nContent-Type: text";
        body += "\r\n\r\n" + value + "\r\n";
    }
    return body + "--B--\r\n";
}

std::string post(const std::string& path, const std::string& type, const std::string& body,
                 const std::string& headers = {}, const std::string& userAgent = "Zizava/iOS") {
    return "POST " + path +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nUser-Agent: " + userAgent +
           "\r\nContent-Type: " + type + "\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string gzipped(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&stream, uLong(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = uInt(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

// Reads the answer to a GET of the path a little at a time, as a client on
// a slow line does, until it ends or `stopping`.
void readSlowly(int port, const std::string& path, const std::atomic<bool>& stopping) {
    const int socket = rawConnect(port);
    if (socket < 0)
        return;
    if (rawSend(socket, rawGet(path))) {
        char piece[16 * 1024];
        while (!stopping) {
            pollfd readable{socket, POLLIN, 0};
            if (::poll(&readable, 1, 1000) < 0)
                break;
            const ssize_t got = ::recv(socket, piece, sizeof piece, MSG_DONTWAIT);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ::close(socket);
}

// Bodies near the bound of 32 MiB that a hostile local program sends the
// SDK service from many connections at once: feedback with a large text and
// attachment, crash reports with a large log, packed telemetry that unpacks
// to the bound, multipart bodies of many parts, and bodies for no endpoint;
// with an argument, that many slow readers of one 30 MiB feedback attachment
// at the same time (each reads it for longer than the bodies flow). The
// resident size is sampled while they flow.
void BM_SdkServiceMemoryUnderHostileBodies(benchmark::State& state) {
    RunningLocalServer service({binary(KELVARA_SDK_SERVICE, "sdk-service", "kelvara-sdk-service"),
                                "--port", "0", "--app", kApp});
    if (service.port() <= 0) {
        state.SkipWithError("the service did not start");
        return;
    }
    const size_t large = 30u << 20;
    const std::string feedbackPath = std::string("/api/2/apps/") + kApp +
                                     "/feedback?format=json&sdk=ZizavaSDK&sdk_version=4.1.4"
                                     "&bundle_version=1";
    const std::string multipartType = "multipart/form-data; boundary=B";
    std::string attachmentPath;
    if (state.range(0) > 0) {
        const int socket = rawConnect(service.port());
        if (socket < 0) {
            state.SkipWithError("no connection");
            return;
        }
        rawSend(socket, post(feedbackPath, multipartType,
                             multipart({{"oem", "x"},
                                        {"os_version", "1"},
                                        {"model", "m"},
                                        {"bundle_version", "1"},
                                        {"message_token", "r"},
                                        {"attachment0", std::string(large, 'r')}},
                                       "r.png")));
        const std::string answer = rawReceive(socket, 60);
        ::close(socket);
        std::smatch url;
        if (!std::regex_search(
                answer, url,
                std::regex(R"x("url":"http://[^/"]*(/_feedback/attachments/[0-9a-f]{32})")x"))) {
            state.SkipWithError("the attachment was not kept");
            return;
        }
        attachmentPath = url[1];
    }
    std::vector<std::string> requests;
    requests.push_back(post(feedbackPath, multipartType,
                            multipart({{"oem", "x"},
                                       {"os_version", "1"},
                                       {"model", "m"},
                                       {"bundle_version", "1"},
                                       {"message_token", "t"},
                                       {"text", std::string(large / 2, 't')},
                                       {"attachment0", std::string(large / 2, 'a')}},
                                      "a.png")));
    const std::string crash =
        "<crashes><crash><log>" + std::string(large, 'l') + "</log></crash></crashes>";
    requests.push_back(post(std::string("/api/2/apps/") + kApp + "/crashes", multipartType,
                            multipart({{"sdk", "ZizavaSDK"},
                                       {"sdk_version", "4.1.4"},
                                       {"feedbackEnabled", "no"},
                                       {"xml", crash}},
                                      "crash.xml"),
                            "Accept-Encoding: gzip\r\n", "ZizavaSDK/iOS"));
    requests.push_back(post("/v2/track", "application/x-json-stream",
                            gzipped(std::string((32u << 20) - 1, ' ') + "\n"),
                            "Content-Encoding: gzip\r\n"));
    // As many parts as the HTTP library reads.
    std::vector<std::pair<std::string, std::string>> parts;
    for (size_t part = 0; part < 1000; ++part)
        parts.push_back({"f" + std::to_string(part), std::string(large / 1000, 'p')});
    requests.push_back(post(feedbackPath, multipartType, multipart(parts, "")));
    requests.push_back(post("/nowhere", "text/plain", std::string(large, 'n')));

    for (auto _ : state) {
        std::atomic<bool> stopping = false;
        std::vector<std::thread> clients;
        for (int64_t reader = 0; reader < state.range(0); ++reader) {
            clients.emplace_back([&] { readSlowly(service.port(), attachmentPath, stopping); });
        }
        for (size_t client = 0; client < 32; ++client) {
            clients.emplace_back([&, client] {
                for (size_t sent = client; !stopping; ++sent)
                    rawStatus(service.port(), requests[sent % requests.size()], 60);
            });
        }
        // A normal request now and then, answered while the bodies flow.
        size_t peak = 0;
        size_t unanswered = 0;
        double slowest = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < end) {
            peak = std::max(peak, residentBytes(service.pid()));
            const auto asked = std::chrono::steady_clock::now();
            if (rawStatus(service.port(), rawGet("/lookup?bundleId=x&country=de"), 60) != 200)
                ++unanswered;
            slowest = std::max(
                slowest,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
            peak = std::max(peak, residentBytes(service.pid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        stopping = true;
        for (std::thread& client : clients)
            client.join();
        state.counters["peak_resident_MB"] = double(peak) / (1 << 20);
        state.counters["normal_slowest_s"] = slowest;
        state.counters["normal_unanswered"] = double(unanswered);
    }
}
BENCHMARK(BM_SdkServiceMemoryUnderHostileBodies)
    ->Arg(0)
    ->Arg(40)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
