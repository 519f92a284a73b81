#include <atomic>
#include <chrono>
#include <regex>
#include <set>
#include <thread>

#include "KeptBytes.h"
#include "KeptQueue.h"
#include "SdkService.h"
#include "TrackEndpoint.h"

// POST v2/track: gzip-compressed JSON lines, one telemetry envelope per line.
// The server has already inflated the body (a body that is not gzip never
// reaches the endpoint and is recorded with the server's 400). Every line is
// checked against the envelope (a line longer than kLineBytes is none); the
// lines of requests that keep to it are kept as they came, the latest
// kKeptBytes of them, and GET /_telemetry answers {"lines": [...],
// "maxInFlight": N}, the most track requests the service ever served at
// once. A request to /_telemetry takes a pending /_control/next order like
// any endpoint, so read it only when none is pending.
// Only what is kept is accepted: the lines of a request are kept all or
// none, older requests' lines giving way. A request the service has no room
// for now is answered 503, which the client sends again; one whose lines
// alone take more than kKeptBytes 413, which the client gives up (a retry
// could never be kept).
namespace {

constexpr size_t kKeptBytes = 16 * 1024 * 1024;
// An envelope is a few hundred bytes; a line far longer is not read as one.
constexpr size_t kLineBytes = 64 * 1024;

struct TrackStore {
    std::mutex mutex;
    KeptQueue<std::string> lines{kKeptBytes};
    std::atomic<int> inFlight = 0;
    std::atomic<int> maxInFlight = 0;
};

TrackStore& store() {
    static TrackStore shared;
    return shared;
}

// Holds each request a little, so that concurrent uploads overlap and their
// number can be seen.
constexpr auto kHold = std::chrono::milliseconds(20);

const std::set<std::string> kTags = {
    "ai.application.ver",         "ai.internal.sdkVersion", "ai.device.id",
    "ai.device.language",         "ai.device.locale",       "ai.device.model",
    "ai.device.oemName",          "ai.device.os",           "ai.device.osVersion",
    "ai.device.screenResolution", "ai.device.type",         "ai.session.id",
    "ai.session.isFirst",         "ai.session.isNew",       "ai.user.id"};

void checkKeys(SdkExchange& exchange, const std::string& where, const nlohmann::json& object,
               const std::set<std::string>& allowed) {
    for (const auto& [key, value] : object.items()) {
        if (!allowed.count(key))
            exchange.violation(where + ": unexpected key \"" + key + "\"");
    }
}

void checkBaseData(SdkExchange& exchange, const std::string& where, const std::string& baseType,
                   const nlohmann::json& baseData) {
    if (!baseData.is_object()) {
        exchange.violation(where + ": baseData is not an object");
        return;
    }
    if (baseData.value("ver", nlohmann::json()) != 2)
        exchange.violation(where + ": baseData.ver is not 2");
    if (baseType == "SessionStateData") {
        checkKeys(exchange, where + " baseData", baseData, {"ver", "state"});
        if (!baseData.contains("state") || !baseData["state"].is_number_integer())
            exchange.violation(where + ": baseData.state is not an integer");
        return;
    }
    checkKeys(exchange, where + " baseData", baseData,
              {"ver", "name", "properties", "measurements"});
    if (baseData.contains("name") && !baseData["name"].is_string())
        exchange.violation(where + ": baseData.name is not a string");
    for (const char* key : {"properties", "measurements"}) {
        if (baseData.contains(key) && !baseData[key].is_object())
            exchange.violation(where + ": baseData." + key + " is not an object");
    }
}

void checkEnvelope(SdkExchange& exchange, const std::string& where, const nlohmann::json& line) {
    static const std::regex time(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    static const std::regex guid(
        R"([0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12})");
    if (!line.is_object()) {
        exchange.violation(where + ": not a JSON object");
        return;
    }
    checkKeys(exchange, where, line, {"ver", "name", "time", "sampleRate", "iKey", "tags", "data"});
    if (line.value("ver", nlohmann::json()) != 1)
        exchange.violation(where + ": ver is not 1");
    if (!line.contains("sampleRate") || !line["sampleRate"].is_number() ||
        line["sampleRate"].get<double>() != 100.0)
        exchange.violation(where + ": sampleRate is not 100.0");
    const std::string timeText = line.value("time", "");
    if (!std::regex_match(timeText, time))
        exchange.violation(where + ": time \"" + timeText + "\" is not yyyy-MM-ddTHH:mm:ss.SSSZ");
    if (line.contains("iKey") &&
        (!line["iKey"].is_string() || !std::regex_match(line["iKey"].get<std::string>(), guid)))
        exchange.violation(where + ": iKey is not 8-4-4-4-12");
    if (!line.contains("tags") || !line["tags"].is_object()) {
        exchange.violation(where + ": tags missing");
    } else {
        checkKeys(exchange, where + " tags", line["tags"], kTags);
        for (const auto& [key, value] : line["tags"].items()) {
            if (!value.is_string())
                exchange.violation(where + ": tag " + key + " is not a string");
        }
    }
    const std::string name = line.value("name", "");
    std::string expectedType;
    if (name == "Zizava.Telemetry.SessionState")
        expectedType = "SessionStateData";
    else if (name == "Zizava.Telemetry.Event")
        expectedType = "EventData";
    else
        exchange.violation(where + ": unknown name \"" + name + "\"");
    if (!line.contains("data") || !line["data"].is_object()) {
        exchange.violation(where + ": data missing");
        return;
    }
    const auto& data = line["data"];
    checkKeys(exchange, where + " data", data, {"baseType", "baseData"});
    if (data.value("baseType", "") != expectedType)
        exchange.violation(where + ": baseType does not match the name");
    if (!data.contains("baseData"))
        exchange.violation(where + ": baseData missing");
    else
        checkBaseData(exchange, where, expectedType, data["baseData"]);
}

}  // namespace

void addTrackEndpoint(SdkService& service) {
    {
        std::lock_guard lock(store().mutex);
        store().lines.useBudget(service.memory());
    }
    service.addEndpoint("POST", "/v2/track", [](SdkService&, SdkExchange& exchange) {
        TrackStore& shared = store();
        const int running = ++shared.inFlight;
        for (int seen = shared.maxInFlight; running > seen;)
            shared.maxInFlight.compare_exchange_weak(seen, running);
        std::this_thread::sleep_for(kHold);

        exchange.expectHeader("Content-Encoding", "gzip");
        exchange.expectHeader("Content-Type", "application/x-json-stream");
        exchange.expectHeader("Charset", "UTF-8");
        exchange.expectHeader("Accept-Encoding", "gzip");
        const std::string& body = exchange.request.body;
        if (body.empty() || body.back() != '\n')
            exchange.violation("body is not newline-terminated JSON lines");
        // Only the lines of a request that keeps to the protocol are kept.
        std::vector<std::string_view> lines;
        size_t count = 0;
        size_t start = 0;
        while (start < body.size()) {
            const size_t end = std::min(body.find('\n', start), body.size());
            const std::string_view text(body.data() + start, end - start);
            const std::string where = "line " + std::to_string(++count);
            if (text.size() > kLineBytes) {
                exchange.violation(where + ": longer than " + std::to_string(kLineBytes) +
                                   " bytes");
            } else {
                const auto line = nlohmann::json::parse(text, nullptr, false);
                if (line.is_discarded())
                    exchange.violation(where + ": not JSON");
                else
                    checkEnvelope(exchange, where, line);
            }
            if (exchange.violations.empty())
                lines.push_back(text);
            start = end + 1;
        }
        size_t bytes = 0;
        for (const std::string_view line : lines)
            bytes += kKeptValueBytes + line.size();
        if (exchange.violations.empty() && !shared.lines.fits(bytes)) {
            exchange.violation("lines take " + std::to_string(bytes) + " bytes, more than the " +
                               std::to_string(kKeptBytes) + " the service keeps");
            exchange.status = 413;
        }
        if (exchange.violations.empty() && !exchange.failureOrdered()) {
            std::lock_guard lock(shared.mutex);
            if (!shared.lines.reserve(bytes)) {
                exchange.status = 503;
                --shared.inFlight;
                return;
            }
            for (const std::string_view line : lines)
                shared.lines.keepReserved(std::string(line), kKeptValueBytes + line.size());
        }
        exchange.contentType = "application/json";
        exchange.body = nlohmann::json{{"itemsReceived", count},
                                       {"itemsAccepted", exchange.violations.empty() ? count : 0},
                                       {"errors", exchange.violations}}
                            .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        --shared.inFlight;
    });
    service.addEndpoint("GET", "/_telemetry", [](SdkService&, SdkExchange& exchange) {
        TrackStore& shared = store();
        std::lock_guard lock(shared.mutex);
        nlohmann::json lines = nlohmann::json::array();
        for (const auto& kept : shared.lines)
            lines.push_back(nlohmann::json::parse(kept.item));
        exchange.contentType = "application/json";
        exchange.body =
            nlohmann::json{{"lines", lines}, {"maxInFlight", shared.maxInFlight.load()}}.dump(
                -1, ' ', false, nlohmann::json::error_handler_t::replace);
    });
}
