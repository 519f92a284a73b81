#include "SdkService.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <utility>

#include "InflatedBody.h"
#include "KeptBytes.h"
#include "LocalServing.h"

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
// The Content-Encoding of the request this worker thread reads: taken off
// the request before the body is read, so that the library keeps the body as
// it came and the service unpacks it within its bound.
thread_local std::optional<std::string> receivedEncoding;

bool isDeflated(const std::string& encoding) {
    return encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate";
}

}  // namespace

SdkService::SdkService(size_t historyLength, bool testControl, size_t memoryBytes)
    : memory_(memoryBytes), history_(kHistoryBytes, std::max<size_t>(1, historyLength)) {
    history_.useBudget(memory_);
    // One request per connection keeps an ordered drop and a quick stop simple.
    server_.set_keep_alive_max_count(1);
    server_.set_payload_max_length(kMaximumBodyBytes);
    server_.set_pre_routing_handler([testControl](const httplib::Request& request,
                                                  httplib::Response& response) {
        receivedEncoding.reset();
        if (!testControl && isControlPath(request.path)) {
            response.status = 404;
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.get_header_value("Transfer-Encoding").find("chunked") != std::string::npos) {
            response.status = 411;
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!request.has_header("Content-Encoding"))
            return httplib::Server::HandlerResponse::Unhandled;
        const std::string encoding = request.get_header_value("Content-Encoding");
        if (!isDeflated(encoding)) {
            response.status = 415;
            return httplib::Server::HandlerResponse::Handled;
        }
        receivedEncoding = encoding;
        const_cast<httplib::Request&>(request).headers.erase("Content-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    addControlEndpoints();
    // Requests no endpoint served (unknown paths, bodies the server could not
    // parse) are kept too, so a test sees every departure from the protocol.
    // Kept before the answer goes out (a logger runs after it), so a client
    // that asks for the record right after its answer finds its request.
    server_.set_post_routing_handler([this](const httplib::Request& request,
                                            httplib::Response& response) {
        const auto encoding = std::exchange(receivedEncoding, std::nullopt);
        if (std::exchange(servedByEndpoint, false) || request.path.rfind("/_", 0) == 0)
            return;
        // The server's own request, as sent: a copy would hold its body twice.
        if (encoding)
            const_cast<httplib::Request&>(request).headers.emplace("Content-Encoding", *encoding);
        const httplib::Match none;
        SdkExchange exchange{request, none, {}, response.status, {}, {}, {}};
        exchange.violation("not served by an endpoint: status " + std::to_string(response.status));
        std::lock_guard lock(mutex_);
        keep(exchange.record());
    });
}

bool SdkService::isControlPath(const std::string& path) {
    return path.rfind("/_", 0) == 0 && path.rfind("/_feedback/attachments/", 0) != 0;
}

void SdkService::addResetAction(std::function<void()> action) {
    std::lock_guard lock(mutex_);
    resetActions_.push_back(std::move(action));
}

void SdkService::keep(nlohmann::json record) {
    const size_t bytes = keptBytes(record);
    // Without room even so, the exchange goes unrecorded.
    history_.keep(std::move(record), bytes);
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
    server_.Get(path, [this, read](const httplib::Request&, httplib::Response& response) {
        answer(response, read().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
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

void SdkService::serve(const Handler& handler, const httplib::Request& received,
                       httplib::Response& response) {
    servedByEndpoint = true;
    // What the endpoint sees: the request as sent, its body unpacked. The
    // server's own request is changed in place: a copy would hold the body twice.
    auto& request = const_cast<httplib::Request&>(received);
    const auto encoding = std::exchange(receivedEncoding, std::nullopt);
    if (!encoding) {
        respond(handler, request, response);
        return;
    }
    request.headers.emplace("Content-Encoding", *encoding);
    MemoryClaim unpacking(memory_, request.remote_addr);
    auto inflated = InflatedBody::inflate(request.body, kMaximumBodyBytes, unpacking);
    if (inflated.outcome != InflatedBody::Outcome::Inflated) {
        refuseUnpacked(request, inflated.outcome, response);
        return;
    }
    request.body = std::move(inflated.bytes);
    respond(handler, request, response);
    // The unpacked body goes before the claim gives its bytes back.
    request.body = std::string();
}

void SdkService::refuseUnpacked(const httplib::Request& request, InflatedBody::Outcome outcome,
                                httplib::Response& response) {
    SdkExchange exchange{request, request.matches, {}, 503, {}, "text/plain", {}};
    if (outcome == InflatedBody::Outcome::TooLarge) {
        exchange.status = 413;
        exchange.violation("body unpacks to more than " + std::to_string(kMaximumBodyBytes) +
                           " bytes");
    } else if (outcome == InflatedBody::Outcome::Malformed) {
        exchange.status = 400;
        exchange.violation("body is not " + request.get_header_value("Content-Encoding"));
    } else {
        response.set_header("Retry-After", "1");
    }
    std::lock_guard lock(mutex_);
    keep(exchange.record());
    response.status = exchange.status;
}

void SdkService::respond(const Handler& handler, const httplib::Request& request,
                         httplib::Response& response) {
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
    if (forcedBody) {
        exchange.body = *forcedBody;
        exchange.heldBody.reset();
    }
    SharedBytes::Shared held = std::move(exchange.heldBody);
    if (!held && exchange.body.size() > kSmallAnswerBytes) {
        held = SharedBytes::hold(memory_, std::move(exchange.body));
        if (!held)
            exchange.status = 503;
    }
    nlohmann::json record = exchange.record();
    record["dropped"] = drop;
    {
        std::lock_guard lock(mutex_);
        keep(std::move(record));
    }
    if (drop) {
        dropConnection(request);
        return;
    }
    response.status = exchange.status;
    if (forcedLocation)
        response.set_header("Location", *forcedLocation);
    if (held) {
        answerWith(response, std::move(held), exchange.contentType);
    } else if (exchange.status == 503 && exchange.body.empty()) {
        response.set_header("Retry-After", "1");
    } else {
        response.set_content(exchange.body, exchange.contentType.c_str());
    }
}

void SdkService::answer(httplib::Response& response, std::string body,
                        const std::string& contentType) {
    if (body.size() <= kSmallAnswerBytes) {
        response.set_content(body, contentType);
        return;
    }
    if (auto held = SharedBytes::hold(memory_, std::move(body))) {
        answerWith(response, std::move(held), contentType);
        return;
    }
    response.status = 503;
    response.set_header("Retry-After", "1");
}

void SdkService::addControlEndpoints() {
    server_.Get("/_received", [this](const httplib::Request&, httplib::Response& response) {
        nlohmann::json received = nlohmann::json::array();
        {
            std::lock_guard lock(mutex_);
            for (const auto& kept : history_)
                received.push_back(kept.item);
        }
        answer(response, received.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
               "application/json");
    });
    server_.Get("/_memory", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(
            nlohmann::json{{"capacity", memory_.capacity()}, {"used", memory_.used()}}.dump(),
            "application/json");
    });
    server_.Post("/_control/reset", [this](const httplib::Request&, httplib::Response&) {
        std::lock_guard lock(mutex_);
        for (const auto& action : resetActions_)
            action();
        history_.forgetAll();
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
                         const auto status = parseDecimal(request.get_param_value("status"));
                         if (!status || *status < 100 || *status > 599) {
                             response.status = 400;
                             return;
                         }
                         nextStatus_ = static_cast<int>(*status);
                     }
                     // A long body does not fit an address: it comes as the request's.
                     if (request.has_param("body"))
                         nextBody_ = request.get_param_value("body");
                     else if (!request.body.empty())
                         nextBody_ = request.body;
                     if (request.has_param("location"))
                         nextLocation_ = request.get_param_value("location");
                     nextDrop_ = request.get_param_value("drop") == "1";
                 });
    server_.Post("/_control/app", [this](const httplib::Request& request, httplib::Response&) {
        addApp(request.get_param_value("id"));
    });
}

int SdkService::bind(int port) {
    return server_.bindToLoopback(port);
}

void SdkService::listen() {
    server_.listen_after_bind();
}
