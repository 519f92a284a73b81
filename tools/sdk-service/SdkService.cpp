#include "SdkService.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <utility>

namespace {

// Closes the connection a request came on, before any reply is written: finds
// the accepted socket whose peer is the request's remote address.
void dropConnection(const httplib::Request& request) {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        const int descriptor = std::atoi(entry->d_name);
        if (descriptor <= 2)
            continue;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
            peer.sin_family != AF_INET)
            continue;
        char address[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
        if (ntohs(peer.sin_port) == request.remote_port && request.remote_addr == address)
            ::shutdown(descriptor, SHUT_RDWR);
    }
    ::closedir(folder);
}

// Set while an endpoint serves the request on this worker thread.
thread_local bool servedByEndpoint = false;

}  // namespace

SdkService::SdkService() {
    // One request per connection keeps an ordered drop and a quick stop simple.
    server_.set_keep_alive_max_count(1);
    addControlEndpoints();
    // Requests no endpoint served (unknown paths, bodies the server could not
    // parse) are kept too, so a test sees every departure from the protocol.
    // Kept before the answer goes out (a logger runs after it), so a client
    // that asks for the record right after its answer finds its request.
    server_.set_post_routing_handler([this](const httplib::Request& request,
                                            httplib::Response& response) {
        if (std::exchange(servedByEndpoint, false) || request.path.rfind("/_", 0) == 0)
            return;
        const httplib::Match none;
        SdkExchange exchange{request, none, {}, response.status, {}, {}, {}};
        exchange.violation("not served by an endpoint: status " + std::to_string(response.status));
        std::lock_guard lock(mutex_);
        received_.push_back(exchange.record());
    });
}

void SdkService::addEndpoint(const std::string& method, const std::string& pathPattern,
                             Handler handler) {
    auto serve = [this, handler](const httplib::Request& request, httplib::Response& response) {
        this->serve(handler, request, response);
    };
    if (method == "GET")
        server_.Get(pathPattern, serve);
    else if (method == "POST")
        server_.Post(pathPattern, serve);
    else if (method == "PUT")
        server_.Put(pathPattern, serve);
    else if (method == "DELETE")
        server_.Delete(pathPattern, serve);
}

void SdkService::addInspection(const std::string& path, std::function<nlohmann::json()> read) {
    server_.Get(path, [read](const httplib::Request&, httplib::Response& response) {
        response.set_content(read().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                             "application/json");
    });
}

void SdkService::addApp(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    apps_.insert(identifier);
}

bool SdkService::knowsApp(const std::string& identifier) const {
    std::lock_guard lock(mutex_);
    return apps_.count(identifier) > 0;
}

bool SdkService::firstPingOf(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    return pingedApps_.insert(identifier).second;
}

void SdkService::serve(const Handler& handler, const httplib::Request& request,
                       httplib::Response& response) {
    servedByEndpoint = true;
    SdkExchange exchange{request, request.matches, {}, 200, {}, "text/plain", {}};
    std::optional<int> forcedStatus;
    std::optional<std::string> forcedBody;
    std::optional<std::string> forcedLocation;
    bool drop = false;
    {
        std::lock_guard lock(mutex_);
        forcedStatus = std::exchange(nextStatus_, std::nullopt);
        forcedBody = std::exchange(nextBody_, std::nullopt);
        forcedLocation = std::exchange(nextLocation_, std::nullopt);
        drop = std::exchange(nextDrop_, false);
    }
    exchange.forcedStatus = forcedStatus;
    handler(*this, exchange);
    if (!exchange.violations.empty() && exchange.status < 400)
        exchange.status = 422;
    if (forcedStatus)
        exchange.status = *forcedStatus;
    if (forcedBody)
        exchange.body = *forcedBody;
    nlohmann::json record = exchange.record();
    record["dropped"] = drop;
    {
        std::lock_guard lock(mutex_);
        received_.push_back(std::move(record));
    }
    if (drop) {
        dropConnection(request);
        return;
    }
    response.status = exchange.status;
    if (forcedLocation)
        response.set_header("Location", *forcedLocation);
    response.set_content(exchange.body, exchange.contentType.c_str());
}

void SdkService::addControlEndpoints() {
    server_.Get("/_received", [this](const httplib::Request&, httplib::Response& response) {
        std::lock_guard lock(mutex_);
        response.set_content(
            received_.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
            "application/json");
    });
    server_.Post("/_control/reset", [this](const httplib::Request&, httplib::Response&) {
        std::lock_guard lock(mutex_);
        received_ = nlohmann::json::array();
        nextStatus_.reset();
        nextBody_.reset();
        nextLocation_.reset();
        nextDrop_ = false;
        pingedApps_.clear();
    });
    server_.Post("/_control/next",
                 [this](const httplib::Request& request, httplib::Response& response) {
                     std::lock_guard lock(mutex_);
                     if (request.has_param("status")) {
                         const int status = std::atoi(request.get_param_value("status").c_str());
                         if (status < 100 || status > 599) {
                             response.status = 400;
                             return;
                         }
                         nextStatus_ = status;
                     }
                     if (request.has_param("body"))
                         nextBody_ = request.get_param_value("body");
                     if (request.has_param("location"))
                         nextLocation_ = request.get_param_value("location");
                     nextDrop_ = request.get_param_value("drop") == "1";
                 });
    server_.Post("/_control/app", [this](const httplib::Request& request, httplib::Response&) {
        addApp(request.get_param_value("id"));
    });
}

int SdkService::bind(int port) {
    if (port == 0)
        return server_.bind_to_any_port("127.0.0.1");
    return server_.bind_to_port("127.0.0.1", port) ? port : -1;
}

void SdkService::listen() {
    server_.listen_after_bind();
}
