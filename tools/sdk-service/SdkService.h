#pragma once

#include <httplib.h>

#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "InflatedBody.h"
#include "KeptQueue.h"
#include "LocalServer.h"
#include "MemoryBudget.h"
#include "SdkExchange.h"

// The SDK's service on 127.0.0.1. Each endpoint checks requests against the
// protocol and answers as the service does; the latest requests are kept for
// tests (the history, at most `historyLength` of them and kHistoryBytes, the
// oldest going first).
//
// A body must come with its length and may be at most kMaximumBodyBytes, and
// a gzip or deflate body may unpack to at most that many bytes: larger ones
// are answered 413, one that is not what its encoding says 400, a body sent
// in chunks 411, another encoding 415.
//
// Whatever the service holds counts against one memory budget, of
// kMemoryBytes unless told otherwise: requests on their way in, bodies being
// unpacked (taken as they unpack, within what the client's address may hold:
// MemoryBudget), answers being written (each from one copy, however many
// read it), the history and what the endpoints keep, each of these within
// its own bound too. What is kept gives way, oldest first, when the budget
// has no room, but never to a part of the same request: a request is kept
// whole or not at all, and only what is kept is answered 2xx. A request that
// finds no room is answered 503 and may be sent again; one larger than an
// endpoint ever keeps, 413. The history keeps of a request its head and the
// start of its text fields, never a file's bytes.
//
// Control endpoints (never seen by the SDK), open only to a service started
// for tests (`testControl`); otherwise every path under "/_" but the feedback
// attachments (whose URLs the feedback answers carry) is answered 404:
//   GET  /_received                      the history of exchanges, as JSON
//   GET  /_memory                        the memory budget: {"capacity", "used"} in bytes
//   POST /_control/reset                 forgets exchanges, pending orders and what
//                                        the endpoints keep (addResetAction)
//   POST /_control/next?status=N         the next request is answered with N
//   POST /_control/next?drop=1           the next request's connection is closed unanswered
//   POST /_control/next?...&body=TEXT    ... and answered with this body (empty: none)
//   POST /_control/next?... with a body  ... and answered with the request's body
//   POST /_control/next?...&location=URL ... with this Location header
//   POST /_control/app?id=ID             the service knows the app ID
class SdkService {
  public:
    using Handler = std::function<void(SdkService&, SdkExchange&)>;

    static constexpr size_t kMaximumBodyBytes = 32 * 1024 * 1024;
    static constexpr size_t kDefaultHistoryLength = 1000;
    static constexpr size_t kHistoryBytes = 48 * 1024 * 1024;
    static constexpr size_t kMemoryBytes = 256 * 1024 * 1024;
    // Answers up to this size are written as they are made, uncounted: the
    // workers bound how many there are at once.
    static constexpr size_t kSmallAnswerBytes = 64 * 1024;

    explicit SdkService(size_t historyLength = kDefaultHistoryLength, bool testControl = false,
                        size_t memoryBytes = kMemoryBytes);

    // The endpoints, one call per endpoint file.
    void addEndpoint(const std::string& method, const std::string& pathPattern, Handler handler);

    // A GET endpoint for tests that answers `read()` as JSON; never recorded.
    void addInspection(const std::string& path, std::function<nlohmann::json()> read);

    void addApp(const std::string& identifier);
    bool knowsApp(const std::string& identifier) const;
    // True the first time an app is pinged.
    bool firstPingOf(const std::string& identifier);

    // The underlying server, for an endpoint file's own control routes ("/_...").
    httplib::Server& server() { return server_; }
    // The budget what endpoints keep counts against.
    MemoryBudget& memory() { return memory_; }
    // Run by POST /_control/reset, for what an endpoint file keeps itself.
    void addResetAction(std::function<void()> action);
    // Answers with the body, held within the budget until it is written;
    // 503 when the budget has no room for it.
    void answer(httplib::Response& response, std::string body, const std::string& contentType);

    // Binds to 127.0.0.1 (port 0: a free one); answers the port or -1.
    int bind(int port);
    void listen();

  private:
    // Unpacks a packed body within the request's claim on the budget, then responds.
    void serve(const Handler& handler, const httplib::Request& request,
               httplib::Response& response);
    void refuseUnpacked(const httplib::Request& request, InflatedBody::Outcome outcome,
                        httplib::Response& response);
    // Runs the endpoint's handler and answers as it says, or as a test ordered.
    void respond(const Handler& handler, const httplib::Request& request,
                 httplib::Response& response);
    void addControlEndpoints();
    void keep(nlohmann::json record);  // under mutex_
    static bool isControlPath(const std::string& path);

    MemoryBudget memory_;
    LocalServer server_{memory_};
    mutable std::mutex mutex_;
    KeptQueue<nlohmann::json> history_;
    std::optional<int> nextStatus_;
    std::optional<std::string> nextBody_;
    std::optional<std::string> nextLocation_;
    bool nextDrop_ = false;
    std::set<std::string> apps_;
    std::set<std::string> pingedApps_;
    std::vector<std::function<void()>> resetActions_;
};

// Registers the integration ping.
void addIntegrationEndpoint(SdkService& service);
