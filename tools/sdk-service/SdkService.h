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

#include "SdkExchange.h"

// The SDK's service on 127.0.0.1. Each endpoint checks requests against the
// protocol and answers as the service does; every request is kept for tests.
//
// Control endpoints (never seen by the SDK):
//   GET  /_received                      every exchange so far, as JSON
//   POST /_control/reset                 forgets exchanges and pending orders
//   POST /_control/next?status=N         the next request is answered with N
//   POST /_control/next?drop=1           the next request's connection is closed unanswered
//   POST /_control/next?...&body=TEXT    ... and answered with this body (empty: none)
//   POST /_control/next?...&location=URL ... with this Location header
//   POST /_control/app?id=ID             the service knows the app ID
class SdkService {
  public:
    using Handler = std::function<void(SdkService&, SdkExchange&)>;

    SdkService();

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

    // Binds to 127.0.0.1 (port 0: a free one); answers the port or -1.
    int bind(int port);
    void listen();

  private:
    void serve(const Handler& handler, const httplib::Request& request,
               httplib::Response& response);
    void addControlEndpoints();

    httplib::Server server_;
    mutable std::mutex mutex_;
    nlohmann::json received_ = nlohmann::json::array();
    std::optional<int> nextStatus_;
    std::optional<std::string> nextBody_;
    std::optional<std::string> nextLocation_;
    bool nextDrop_ = false;
    std::set<std::string> apps_;
    std::set<std::string> pingedApps_;
};

// Registers the integration ping.
void addIntegrationEndpoint(SdkService& service);
