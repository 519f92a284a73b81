#include "TileServer.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include "LocalServing.h"

namespace {
constexpr uint64_t kMaximumLevel = 11;
}

TileServer::TileServer(const TileRenderer& renderer, Options options)
    : renderer_(renderer), options_(std::move(options)) {
    server_.Get(R"(/neighbourhood/(\d+)/(\d+)/(\d+)\.png)",
                [this](const httplib::Request& request, httplib::Response& response) {
                    serveTile(request, response);
                });
    server_.Get("/_count", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::to_string(requests_.load()), "text/plain");
    });
}

int TileServer::bind(int port) {
    return server_.bindToLoopback(port);
}

bool TileServer::shouldFail() {
    if (options_.failureRate <= 0)
        return false;
    std::lock_guard lock(randomMutex_);
    return std::uniform_real_distribution<double>(0, 1)(random_) < options_.failureRate;
}

void TileServer::serveTile(const httplib::Request& request, httplib::Response& response) {
    ++requests_;
    if (options_.delayMilliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.delayMilliseconds));
    if (request.get_param_value("apikey") != options_.apiKey) {
        response.status = 403;
        response.set_content(TileRenderer::errorTile("Invalid API key"), "image/png");
        return;
    }
    // Numbers too large for any level name no tile either.
    const auto z = parseDecimal(request.matches[1].str());
    const auto x = parseDecimal(request.matches[2].str());
    const auto y = parseDecimal(request.matches[3].str());
    const uint64_t count = z && *z <= kMaximumLevel ? uint64_t(1) << *z : 0;
    if (!x || !y || *x >= count || *y >= count) {
        response.status = 404;
        response.set_content("no such tile", "text/plain");
        return;
    }
    if (shouldFail()) {
        response.status = 500;
        response.set_content(TileRenderer::errorTile("Server error"), "image/png");
        return;
    }
    response.set_header("Cache-Control", "max-age=86400");
    response.set_content(
        renderer_.tile(static_cast<int>(*z), static_cast<int>(*x), static_cast<int>(*y)),
        "image/png");
}
