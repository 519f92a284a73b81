#include "LocalHTTPServer.h"

#include <chrono>

// One request per connection: a kept-alive connection would hold stop() until it times out.
LocalHTTPServer::LocalHTTPServer() {
    server_.set_keep_alive_max_count(1);
}

LocalHTTPServer::~LocalHTTPServer() {
    server_.stop();
    if (thread_.joinable())
        thread_.join();
}

void LocalHTTPServer::start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() is ignored until the accept loop runs.
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string LocalHTTPServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}
