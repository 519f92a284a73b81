// The local servers under attack by clients from many loopback addresses,
// as any local program could mount it: how long a normal request waits for
// its answer while clients send slowly or nothing, read their answers slowly
// or wait in thousands to be taken, how long a package download takes
// meanwhile, and how much memory the SDK service holds under hostile bodies;
// whether readers at a steady pace are cut off, how much of the kernel's
// memory clients that never read hold, and what normal requests get while
// stalled readers hold the descriptors a server may open, and which genuine
// readers, by pace, they have cut off meanwhile.
// KELVARA_BENCH_SERVER_DIR names another build's tools/ folder to measure its servers instead
// (tools/<server>/<binary> below it).
#include <benchmark/benchmark.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <latch>
#include <memory>
#include <optional>
#include <regex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "LocalServerSpawn.h"
#include "LoopbackAttack.h"
#include "RawHttp.h"
#include "SteadyReader.h"
#include "TelemetryLines.h"

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

// The resident size now (VmRSS), or the highest it has been (VmHWM).
size_t residentBytes(pid_t pid, const char* field = "VmRSS:") {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return size_t(std::atoll(line.c_str() + std::strlen(field))) * 1024;
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

// As large as the packages the map store serves.
constexpr size_t kPackageBytes = 10'500'000;
constexpr const char* kTileKey = "5f3c9a0e7b2d4c18a6e9f01b3d7c5a42";

// A server started for a benchmark, with the path of a large answer (a
// package, a kept attachment, a tile) and its body's size (0 for a tile),
// and the path of a small request.
struct ServerUnderTest {
    std::unique_ptr<RunningLocalServer> process;
    std::string slowPath;
    size_t slowBytes = 0;
    std::string smallPath;
};

// With `descriptors`, the server may open no more files than that; the SDK
// service's readers fetch an attachment of `attachmentBytes`.
ServerUnderTest startServer(int server, rlim_t descriptors = 0, size_t attachmentBytes = 1 << 20) {
    const std::string root = std::filesystem::temp_directory_path() / "kelvara-bench-readers";
    std::filesystem::create_directories(root);
    std::ofstream(root + "/map.zip", std::ios::binary) << std::string(kPackageBytes, 'z');
    std::ofstream(root + "/small.plist") << std::string(1024, 'p');
    ServerUnderTest started;
    switch (server) {
        case 0:
            started.process =
                std::make_unique<RunningLocalServer>(serverArguments(0, root), descriptors);
            started.slowPath = "/map.zip";
            started.slowBytes = kPackageBytes;
            started.smallPath = "/small.plist";
            break;
        case 1: {
            started.process = std::make_unique<RunningLocalServer>(
                std::vector<std::string>{
                    binary(KELVARA_SDK_SERVICE, "sdk-service", "kelvara-sdk-service"), "--port",
                    "0", "--app", kApp},
                descriptors);
            // A feedback message whose attachment the readers fetch.
            std::string body;
            for (const char* field :
                 {"oem", "os_version", "model", "bundle_version", "message_token"})
                body += std::string("--B\r\nContent-Disposition: form-data; name=\"") + field +
                        "\"\r\nContent-Type: text\r\n\r\nx\r\n";
            body +=
                "--B\r\nContent-Disposition: form-data; name=\"attachment0\"; filename=\"a.png\""
                "\r\nContent-Type: image/png\r\n\r\n" +
                std::string(attachmentBytes, 'a') + "\r\n--B--\r\n";
            const std::string answer = rawAnswer(
                started.process->port(),
                post(std::string("/api/2/apps/") + kApp +
                         "/feedback?format=json&sdk=ZizavaSDK&sdk_version=4.1.4&bundle_version=1",
                     "multipart/form-data; boundary=B", body));
            const std::string prefix = "/_feedback/attachments/";
            const size_t key = answer.find(prefix);
            if (key != std::string::npos)
                started.slowPath = answer.substr(key, prefix.size() + 32);
            started.slowBytes = attachmentBytes;
            started.smallPath = "/lookup?bundleId=x&country=de";
            break;
        }
        default:
            started.process = std::make_unique<RunningLocalServer>(serverArguments(2, root));
            started.slowPath = std::string("/neighbourhood/11/1000/700.png?apikey=") + kTileKey;
            started.smallPath = "/_count";
            break;
    }
    return started;
}

// The port of a server started with its large answer, or 0 with the
// benchmark skipped.
int portOf(benchmark::State& state, const ServerUnderTest& server) {
    const int port = server.process->port();
    if (port > 0 && !server.slowPath.empty())
        return port;
    state.SkipWithError("the server did not start");
    return 0;
}

// Times a small request an iteration, each on a connection of its own.
void timeSmallRequests(benchmark::State& state, int port, const std::string& path) {
    double slowest = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = rawStatus(port, rawGet(path), 60);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 200)
            state.SkipWithError("no answer");
        slowest = std::max(slowest, seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["slowest_s"] = slowest;
}

// A small request to a server while clients from 10 addresses read slowly
// what they asked for: the map store's package, a kept attachment of the
// SDK service (a tile fits in a connection's kernel buffers, so a tile
// server has nothing a slow reader could hold). Arguments: the server (0
// map store, 1 SDK service), the readers and the bytes each reads a second.
void BM_NormalRequestUnderSlowReaders(benchmark::State& state) {
    const ServerUnderTest server = startServer(int(state.range(0)));
    const int port = portOf(state, server);
    if (port <= 0)
        return;
    const size_t readers = size_t(state.range(1));
    LoopbackAttack attack(port, readers, kAddresses, rawGet(server.slowPath),
                          size_t(state.range(2)));
    if (!eventually([&] { return attack.answered() == readers; })) {
        state.SkipWithError("the readers were not all answered");
        return;
    }
    timeSmallRequests(state, port, server.smallPath);
    state.counters["answered_readers"] = double(attack.answered());
    state.counters["cut_off"] = double(attack.cutOff());
}
BENCHMARK(BM_NormalRequestUnderSlowReaders)
    ->ArgsProduct({{0, 1}, {40}, {64 * 1024}})
    ->ArgsProduct({{0, 1}, {100}, {4 * 1024}})
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// The whole package downloaded by a client while others read it slowly from
// 10 addresses (none: its time alone). Arguments: the readers and the bytes
// each reads a second.
void BM_PackageDownloadUnderSlowReaders(benchmark::State& state) {
    const ServerUnderTest server = startServer(0);
    const int port = portOf(state, server);
    if (port <= 0)
        return;
    // The server learns the package's digest once, before the readers come.
    if (rawBody(rawAnswer(port, rawGet(server.slowPath), 60)).size() != kPackageBytes) {
        state.SkipWithError("the package did not come whole");
        return;
    }
    const size_t readers = size_t(state.range(0));
    LoopbackAttack attack(port, readers, kAddresses, rawGet(server.slowPath),
                          size_t(state.range(1)));
    if (!eventually([&] { return attack.answered() == readers; })) {
        state.SkipWithError("the readers were not all answered");
        return;
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::string answer = rawAnswer(port, rawGet(server.slowPath), 60);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (rawBody(answer).size() != kPackageBytes)
            state.SkipWithError("the package did not come whole");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kPackageBytes));
}
BENCHMARK(BM_PackageDownloadUnderSlowReaders)
    ->Args({0, 0})
    ->Args({40, 64 * 1024})
    ->Args({100, 4 * 1024})
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// A small request to each server while thousands of clients from 10
// addresses connect and send nothing, connecting again as soon as they are
// cut off, so that the server always has more of them than may wait.
// Arguments: the server and the attackers.
void BM_NormalRequestUnderWaitingConnections(benchmark::State& state) {
    const ServerUnderTest server = startServer(int(state.range(0)));
    const int port = portOf(state, server);
    if (port <= 0)
        return;
    const size_t attackers = size_t(state.range(1));
    LoopbackAttack attack(port, attackers, kAddresses, LoopbackAttack::Kind::Silent);
    if (!eventually([&] { return attack.cutOff() >= attackers; })) {
        state.SkipWithError("the attackers were not taken");
        return;
    }
    timeSmallRequests(state, port, server.smallPath);
    state.counters["cut_off"] = double(attack.cutOff());
}
BENCHMARK(BM_NormalRequestUnderWaitingConnections)
    ->ArgsProduct({{0, 1, 2}, {2000, 4000}})
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// The SDK service, which knows the app the requests below name.
std::vector<std::string> sdkServiceKnowingTheApp() {
    return {binary(KELVARA_SDK_SERVICE, "sdk-service", "kelvara-sdk-service"), "--port", "0",
            "--app", kApp};
}

const std::string kFeedbackPath = std::string("/api/2/apps/") + kApp +
                                  "/feedback?format=json&sdk=ZizavaSDK&sdk_version=4.1.4"
                                  "&bundle_version=1";
constexpr const char* kMultipartType = "multipart/form-data; boundary=B";

// A new feedback thread's first message: the device's fields, then `parts`.
std::string feedbackPost(const std::string& token,
                         const std::vector<std::pair<std::string, std::string>>& parts,
                         const std::string& fileName) {
    std::vector<std::pair<std::string, std::string>> fields = {{"oem", "x"},
                                                               {"os_version", "1"},
                                                               {"model", "m"},
                                                               {"bundle_version", "1"},
                                                               {"message_token", token}};
    fields.insert(fields.end(), parts.begin(), parts.end());
    return post(kFeedbackPath, kMultipartType, multipart(fields, fileName));
}

// A crash report whose document holds the elements of one crash.
std::string crashPost(const std::string& elements) {
    const std::string crash = "<crashes><crash>" + elements + "</crash></crashes>";
    return post(std::string("/api/2/apps/") + kApp + "/crashes", kMultipartType,
                multipart({{"sdk", "ZizavaSDK"},
                           {"sdk_version", "4.1.4"},
                           {"feedbackEnabled", "no"},
                           {"xml", crash}},
                          "crash.xml"),
                "Accept-Encoding: gzip\r\n", "ZizavaSDK/iOS");
}

// A whole crash document, which the service keeps, with a log of `logBytes`.
std::string keptCrashPost(size_t logBytes) {
    std::string elements;
    for (const char* name : {"applicationname", "bundleidentifier", "systemversion", "platform",
                             "senderversion", "versionstring", "version", "uuid", "userid",
                             "username", "contact", "installstring", "description"})
        elements += std::string("<") + name + ">x</" + name + ">";
    return crashPost(elements + "<log>" + std::string(logBytes, 'l') + "</log>");
}

// Telemetry lines of about `bytes` in all, packed as the SDK sends them.
std::string telemetryPost(size_t bytes) {
    return post("/v2/track", "application/x-json-stream", gzipped(validTelemetryLines(bytes)),
                "Content-Encoding: gzip\r\nCharset: UTF-8\r\nAccept-Encoding: gzip\r\n");
}

// About 31 KB that unpack to the bound of 32 MiB: one line far too long.
std::string gzipBombPost() {
    return post("/v2/track", "application/x-json-stream",
                gzipped(std::string((32u << 20) - 1, ' ') + "\n"), "Content-Encoding: gzip\r\n");
}

// Fills what the SDK service keeps, as the users of a busy app would, 16 at
// once: feedback with 10 MB attachments, crash reports with 4 MB logs and
// telemetry of 8 MB of lines, more of each than its store holds. Each
// client sends its request again a second after a 503 or a connection cut
// off, as the SDK does.
// False when one was not kept.
bool fillSdkStores(int port) {
    std::vector<std::pair<std::string, int>> uploads;
    for (int message = 0; message < 6; ++message)
        uploads.push_back({feedbackPost("f" + std::to_string(message),
                                        {{"attachment0", std::string(10'000'000, 'a')}}, "a.png"),
                           201});
    for (int report = 0; report < 5; ++report)
        uploads.push_back({keptCrashPost(4'000'000), 201});
    for (int batch = 0; batch < 5; ++batch)
        uploads.push_back({telemetryPost(8'000'000), 200});
    std::atomic<size_t> kept = 0;
    std::vector<std::thread> clients;
    for (const auto& [request, accepted] : uploads) {
        clients.emplace_back([&, accepted] {
            for (int tries = 0; tries < 30; ++tries) {
                const int status = rawStatus(port, request, 60);
                if (status != 503 && status != 0) {
                    kept += status == accepted;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
        });
    }
    for (std::thread& client : clients)
        client.join();
    return kept == uploads.size();
}

// The source address of the flood's client: 127.0.0.1, the address of
// every local program that names none, and up.
std::string floodAddress(size_t client, size_t addresses) {
    return "127.0.0." + std::to_string(1 + client % addresses);
}

// The stores full, then 16 packed bodies of 32 MiB at once from 16
// addresses, four times over.
void measureGzipBurstsOnFullStores(benchmark::State& state, const RunningLocalServer& service) {
    if (!fillSdkStores(service.port())) {
        state.SkipWithError("the stores were not filled");
        return;
    }
    const std::string bomb = gzipBombPost();
    constexpr size_t kBodies = 16;
    for (auto _ : state) {
        std::atomic<size_t> refused = 0;
        for (int burst = 0; burst < 4; ++burst) {
            std::latch ready(kBodies);
            std::vector<std::thread> clients;
            for (size_t client = 0; client < kBodies; ++client) {
                clients.emplace_back([&, client] {
                    ready.arrive_and_wait();
                    const std::string source = floodAddress(client, kBodies);
                    refused += rawStatusFrom(source.c_str(), service.port(), bomb, 60) == 503;
                });
            }
            for (std::thread& client : clients)
                client.join();
        }
        state.counters["peak_resident_MB"] =
            double(residentBytes(service.pid(), "VmHWM:")) / (1 << 20);
        state.counters["bodies_refused_503"] = double(refused);
    }
}

// Bodies near the bound of 32 MiB that a hostile local program sends the
// SDK service from many connections at once: feedback with a large text and
// attachment, crash reports with a large log, packed telemetry that unpacks
// to the bound, multipart bodies of many parts, and bodies for no endpoint;
// with a first argument, that many slow readers of one 30 MiB feedback
// attachment at the same time (each reads it for longer than the bodies
// flow). With a second argument instead, the stores are filled first and
// then 16 packed bodies of 32 MiB come at once. The peak is the resident
// size's high-water mark.
void BM_SdkServiceMemoryUnderHostileBodies(benchmark::State& state) {
    RunningLocalServer service(sdkServiceKnowingTheApp());
    if (service.port() <= 0) {
        state.SkipWithError("the service did not start");
        return;
    }
    if (state.range(1) > 0) {
        measureGzipBurstsOnFullStores(state, service);
        return;
    }
    const size_t large = 30u << 20;
    std::string attachmentPath;
    if (state.range(0) > 0) {
        const std::string answer =
            rawAnswer(service.port(),
                      feedbackPost("r", {{"attachment0", std::string(large, 'r')}}, "r.png"), 60);
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
    requests.push_back(feedbackPost(
        "t", {{"text", std::string(large / 2, 't')}, {"attachment0", std::string(large / 2, 'a')}},
        "a.png"));
    requests.push_back(crashPost("<log>" + std::string(large, 'l') + "</log>"));
    requests.push_back(gzipBombPost());
    // As many parts as the HTTP library reads.
    std::vector<std::pair<std::string, std::string>> parts;
    for (size_t part = 0; part < 1000; ++part)
        parts.push_back({"f" + std::to_string(part), std::string(large / 1000, 'p')});
    requests.push_back(post(kFeedbackPath, kMultipartType, multipart(parts, "")));
    requests.push_back(post("/nowhere", "text/plain", std::string(large, 'n')));

    for (auto _ : state) {
        std::atomic<bool> stopping = false;
        std::optional<LoopbackAttack> readers;
        if (state.range(0) > 0)
            readers.emplace(service.port(), size_t(state.range(0)), kAddresses,
                            rawGet(attachmentPath), 512 * 1024);
        std::vector<std::thread> clients;
        for (size_t client = 0; client < 32; ++client) {
            clients.emplace_back([&, client] {
                for (size_t sent = client; !stopping; ++sent)
                    rawStatus(service.port(), requests[sent % requests.size()], 60);
            });
        }
        // A normal request now and then, answered while the bodies flow.
        size_t unanswered = 0;
        double slowest = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < end) {
            const auto asked = std::chrono::steady_clock::now();
            if (rawStatus(service.port(), rawGet("/lookup?bundleId=x&country=de"), 60) != 200)
                ++unanswered;
            slowest = std::max(
                slowest,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        stopping = true;
        for (std::thread& client : clients)
            client.join();
        state.counters["peak_resident_MB"] =
            double(residentBytes(service.pid(), "VmHWM:")) / (1 << 20);
        state.counters["normal_slowest_s"] = slowest;
        state.counters["normal_unanswered"] = double(unanswered);
    }
}
BENCHMARK(BM_SdkServiceMemoryUnderHostileBodies)
    ->Args({0, 0})
    ->Args({40, 0})
    ->Args({0, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Normal telemetry while 16 clients post packed bodies of 32 MiB again and
// again, each at once after its answer: one valid line, sent again a second
// after each answer (the SDK's sender tries again a second after a 503),
// from 127.0.0.1 as the app's. Arguments: the flood's addresses (one: the
// normal client's own), and whether the stores are filled first.
void BM_NormalTelemetryUnderGzipFlood(benchmark::State& state) {
    RunningLocalServer service(sdkServiceKnowingTheApp());
    if (service.port() <= 0) {
        state.SkipWithError("the service did not start");
        return;
    }
    if (state.range(1) > 0 && !fillSdkStores(service.port())) {
        state.SkipWithError("the stores were not filled");
        return;
    }
    const std::string bomb = gzipBombPost();
    const std::string normal = telemetryPost(1);
    const size_t addresses = size_t(state.range(0));
    constexpr size_t kFloodClients = 16;
    for (auto _ : state) {
        std::atomic<bool> stopping = false;
        std::atomic<size_t> answered = 0;
        std::atomic<size_t> refused = 0;
        std::vector<std::thread> clients;
        for (size_t client = 0; client < kFloodClients; ++client) {
            clients.emplace_back([&, client] {
                const std::string source = floodAddress(client, addresses);
                while (!stopping) {
                    refused += rawStatusFrom(source.c_str(), service.port(), bomb, 60) == 503;
                    ++answered;
                }
            });
        }
        if (!eventually([&] { return answered >= kFloodClients; })) {
            state.SkipWithError("the flood was not answered");
            stopping = true;
            for (std::thread& client : clients)
                client.join();
            return;
        }
        size_t tries = 0;
        size_t accepted = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            accepted += rawStatus(service.port(), normal, 60) == 200;
            ++tries;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        stopping = true;
        for (std::thread& client : clients)
            client.join();
        state.counters["normal_tries"] = double(tries);
        state.counters["normal_accepted"] = double(accepted);
        state.counters["normal_accepted_share"] = double(accepted) / double(tries);
        state.counters["flood_answers"] = double(answered);
        state.counters["flood_refused_503"] = double(refused);
        state.counters["peak_resident_MB"] =
            double(residentBytes(service.pid(), "VmHWM:")) / (1 << 20);
    }
}
BENCHMARK(BM_NormalTelemetryUnderGzipFlood)
    ->ArgsProduct({{1, 16}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The TCP memory of the whole machine (/proc/net/sockstat counts it in pages).
size_t tcpMemoryBytes() {
    std::ifstream sockstat("/proc/net/sockstat");
    std::string line;
    while (std::getline(sockstat, line)) {
        const size_t mem = line.find(" mem ");
        if (line.rfind("TCP:", 0) == 0 && mem != std::string::npos)
            return size_t(std::atoll(line.c_str() + mem + 5)) * size_t(::sysconf(_SC_PAGESIZE));
    }
    return 0;
}

// How an answer came that should have been `status` with a body of `bytes`:
// so, or 503 with Retry-After (unavailable, for a retry), or wrong.
enum class Came { Whole, Unavailable, Wrong };

Came cameAs(const std::string& answer, int status, size_t bytes) {
    const int got = answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
    if (got == 503 && answer.find("\r\nRetry-After: ") != std::string::npos)
        return Came::Unavailable;
    return got == status && rawBody(answer).size() == bytes ? Came::Whole : Came::Wrong;
}

// What a downloader got: the answers that came whole, were refused or were
// cut off, and the longest the kernel went without bringing new bytes to one
// read at a steady pace.
struct Downloads {
    size_t whole = 0;
    size_t unavailable = 0;
    size_t cut = 0;
    double longestGapSeconds = 0;
};

// Reading at full speed rather than at a pace.
constexpr size_t kFullSpeed = 0;

// Reads the answer to a request again and again for `reading` from one
// loopback address, at a steady pace (a SteadyReader each time) or at full
// speed: again a second after an answer that was refused (503, whose
// Retry-After says a second) or cut off, as a downloader would, and at once
// after a whole one, whose body is `bytes`.
Downloads download(int port, const std::string& source, const std::string& request, size_t pace,
                   size_t bytes, std::chrono::seconds reading) {
    Downloads downloads;
    const auto end = std::chrono::steady_clock::now() + reading;
    for (auto now = std::chrono::steady_clock::now(); now < end;
         now = std::chrono::steady_clock::now()) {
        Came came = Came::Wrong;
        if (pace == kFullSpeed) {
            came = cameAs(rawAnswerFrom(source.c_str(), port, request, 60), 200, bytes);
        } else {
            SteadyReader reader(port, source, request, pace,
                                std::chrono::ceil<std::chrono::seconds>(end - now));
            reader.finish();
            downloads.longestGapSeconds =
                std::max(downloads.longestGapSeconds, reader.longestGapSeconds());
            if (reader.status() == 503)
                came = Came::Unavailable;
            else if (reader.whole() && reader.status() == 200)
                came = Came::Whole;
            else if (!reader.cut())
                break;  // the while ran out mid-answer
        }
        downloads.whole += came == Came::Whole;
        downloads.unavailable += came == Came::Unavailable;
        downloads.cut += came == Came::Wrong;
        if (came != Came::Whole)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return downloads;
}

constexpr size_t kReadersAtAPace = 3;
using Downloaders = std::vector<std::future<Downloads>>;

// kReadersAtAPace downloaders of the server's large answer at each of
// `paces` (bytes a second, or kFullSpeed) for `reading`, each on a thread and
// a loopback address of its own, 127.0.0.`first` and up.
Downloaders downloadAtPaces(const ServerUnderTest& server, std::span<const size_t> paces,
                            size_t first, std::chrono::seconds reading) {
    Downloaders downloaders;
    for (const size_t pace : paces) {
        for (size_t reader = 0; reader < kReadersAtAPace; ++reader)
            downloaders.push_back(
                std::async(std::launch::async, download, server.process->port(),
                           "127.0.0." + std::to_string(first + downloaders.size()),
                           rawGet(server.slowPath), pace, server.slowBytes, reading));
    }
    return downloaders;
}

// Waits for them to finish, then counts for each pace the answers that came
// whole, were refused and were cut off, and the longest the kernel went
// without bringing new bytes to a reader at that pace.
void countAtPaces(benchmark::State& state, Downloaders& downloaders,
                  std::span<const size_t> paces) {
    for (size_t pace = 0; pace < paces.size(); ++pace) {
        const std::string name =
            paces[pace] == kFullSpeed ? "full_speed" : std::to_string(paces[pace] / 1024) + "KBps";
        Downloads all;
        for (size_t reader = 0; reader < kReadersAtAPace; ++reader) {
            const Downloads one = downloaders[pace * kReadersAtAPace + reader].get();
            all.whole += one.whole;
            all.unavailable += one.unavailable;
            all.cut += one.cut;
            all.longestGapSeconds = std::max(all.longestGapSeconds, one.longestGapSeconds);
        }
        state.counters["whole_" + name] = double(all.whole);
        state.counters["unavailable_" + name] = double(all.unavailable);
        state.counters["cut_" + name] = double(all.cut);
        if (paces[pace] != kFullSpeed)
            state.counters["gap_s_" + name] = all.longestGapSeconds;
    }
}

// Readers that each read at a steady pace for 60 s from loopback addresses
// of their own, three at each of 1, 16, 64, 128 and 256 KB/s, asking again
// when an answer ends: none may be cut off, and those at 256 KB/s get the
// whole package (the SDK service's 30 MiB attachment takes longer than the
// minute); gap_s tells how far apart the kernel shows each pace's progress.
// A small request is timed every half second meanwhile. Argument: the server
// (0 map store, 1 SDK service).
void BM_SteadyReaders(benchmark::State& state) {
    const ServerUnderTest server = startServer(int(state.range(0)), 0, 30u << 20);
    const int port = portOf(state, server);
    if (port <= 0)
        return;
    constexpr size_t kPaces[] = {1024, 16 * 1024, 64 * 1024, 128 * 1024, 256 * 1024};
    for (auto _ : state) {
        Downloaders readers = downloadAtPaces(server, kPaces, 10, std::chrono::seconds(60));
        double slowest = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end) {
            const auto asked = std::chrono::steady_clock::now();
            if (rawStatus(port, rawGet(server.smallPath), 60) != 200)
                state.SkipWithError("a small request was not answered");
            slowest = std::max(
                slowest,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        countAtPaces(state, readers, kPaces);
        state.counters["small_slowest_s"] = slowest;
    }
}
BENCHMARK(BM_SteadyReaders)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

// Clients that ask for the package, close their sending side and never
// read, from 10 addresses: the TCP memory of the machine at its peak while
// the server sends to them (less what it held before), and a small request
// timed meanwhile. Argument: the clients.
void BM_NeverReadingClientsKernelMemory(benchmark::State& state) {
    const ServerUnderTest server = startServer(0);
    const int port = portOf(state, server);
    if (port <= 0)
        return;
    const size_t before = tcpMemoryBytes();
    std::vector<int> sockets;
    for (size_t client = 0; client < size_t(state.range(0)); ++client) {
        const std::string source = "127.0.0." + std::to_string(10 + client % kAddresses);
        const int socket = rawConnectFrom(source.c_str(), port);
        if (socket >= 0 && rawSend(socket, rawGet(server.slowPath)))
            ::shutdown(socket, SHUT_WR);
        sockets.push_back(socket);
    }
    const bool answered = eventually([&] {
        return std::all_of(sockets.begin(), sockets.end(), [](int socket) {
            int waiting = 0;
            return socket >= 0 && ::ioctl(socket, FIONREAD, &waiting) == 0 && waiting > 0;
        });
    });
    // The peak, once the memory has not grown for two seconds.
    size_t peak = 0;
    for (auto grew = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - grew < std::chrono::seconds(2);) {
        if (const size_t now = tcpMemoryBytes(); now > peak) {
            peak = now;
            grew = std::chrono::steady_clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!answered)
        state.SkipWithError("the clients were not all answered");
    else
        timeSmallRequests(state, port, server.smallPath);
    state.counters["tcp_memory_MB"] = double(peak > before ? peak - before : 0) / (1 << 20);
    for (const int socket : sockets)
        ::close(socket);
}
BENCHMARK(BM_NeverReadingClientsKernelMemory)
    ->Arg(300)
    ->Arg(1000)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// `readers` from 10 addresses that stop mid-answer to the server's large
// answer and connect again when their connections end, once half of them
// have been answered; none, with the benchmark skipped, if they were not.
std::unique_ptr<LoopbackAttack> stalledReaders(benchmark::State& state,
                                               const ServerUnderTest& server, size_t readers) {
    auto stalled = std::make_unique<LoopbackAttack>(server.process->port(), readers, kAddresses,
                                                    rawGet(server.slowPath), 0);
    if (eventually([&] { return stalled->answered() >= readers / 2; }))
        return stalled;
    state.SkipWithError("the stalled readers were not answered");
    return nullptr;
}

// Readers that stop mid-answer and connect again when cut off, more of them
// than a server may open files for under the common limit of 1,024 (each
// holds a socket, and at the map store a file): what normal requests get
// meanwhile, none of which may be wrong (a 404 for a file that is there, a
// 2xx shorter than it says). A request an iteration: at the map store a
// small file, and the first bytes of the package in turn; at the SDK
// service the whole 30 MiB attachment. Arguments: the server and the readers.
void BM_StalledReadersUnderDescriptorLimit(benchmark::State& state) {
    const ServerUnderTest server = startServer(int(state.range(0)), 1024, 30u << 20);
    const int port = portOf(state, server);
    if (port <= 0)
        return;
    const auto stalled = stalledReaders(state, server, size_t(state.range(1)));
    if (!stalled)
        return;
    size_t asked = 0;
    size_t unavailable = 0;
    size_t wrong = 0;
    double slowest = 0;
    for (auto _ : state) {
        const bool sdk = state.range(0) == 1;
        const bool range = !sdk && asked++ % 2 == 1;
        const auto start = std::chrono::steady_clock::now();
        const std::string answer =
            range ? rawAnswer(port, rawGet(server.slowPath, "Range: bytes=0-99\r\n"), 60)
                  : rawAnswer(port, rawGet(sdk ? server.slowPath : server.smallPath), 60);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        slowest = std::max(slowest, seconds);
        const Came came = cameAs(answer, range ? 206 : 200, range ? 100 : sdk ? 30u << 20 : 1024);
        unavailable += came == Came::Unavailable;
        wrong += came == Came::Wrong;
    }
    state.counters["wrong"] = double(wrong);
    state.counters["unavailable"] = double(unavailable);
    state.counters["slowest_s"] = slowest;
    state.counters["readers_cut_off"] = double(stalled->cutOff());
}
BENCHMARK(BM_StalledReadersUnderDescriptorLimit)
    ->Args({0, 600})
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StalledReadersUnderDescriptorLimit)
    ->Args({1, 1100})
    ->UseManualTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);

// Genuine readers, three at each of 16, 64, 128 and 256 KB/s and three at
// full speed, each from a loopback address of its own and asking again as a
// downloader would, for 60 s while stalled readers from 10 other addresses,
// connecting again as soon as their connections end, hold what runs short:
// the descriptors under a limit of 1,024, or with the hard limit the SDK
// service's answer memory (the map store sends from files and holds none).
// Those that have gone longest without the kernel showing progress give way,
// and it shows a slow reader's only as its receive buffer empties (gap_s):
// the answers at each pace that were cut off, refused or came whole.
// Arguments: the server (0 map store, 1 SDK service), the descriptor limit
// (0: the hard limit) and the stalled readers (each holds a socket, and at
// the map store a file).
void BM_SteadyReadersUnderStalledFlood(benchmark::State& state) {
    const ServerUnderTest server =
        startServer(int(state.range(0)), rlim_t(state.range(1)), 30u << 20);
    if (portOf(state, server) <= 0)
        return;
    const auto stalled = stalledReaders(state, server, size_t(state.range(2)));
    if (!stalled)
        return;
    constexpr size_t kPaces[] = {16 * 1024, 64 * 1024, 128 * 1024, 256 * 1024, kFullSpeed};
    for (auto _ : state) {
        const size_t cutBefore = stalled->cutOff();
        Downloaders downloaders = downloadAtPaces(server, kPaces, 100, std::chrono::seconds(60));
        countAtPaces(state, downloaders, kPaces);
        state.counters["stalled_cut_off"] = double(stalled->cutOff() - cutBefore);
    }
}
BENCHMARK(BM_SteadyReadersUnderStalledFlood)
    ->Args({0, 1024, 600})
    ->Args({1, 1024, 1100})
    ->Args({1, 0, 1100})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
