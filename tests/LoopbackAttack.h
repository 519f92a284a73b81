#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "RawHttp.h"

// Clients that try to hold a local server's connections without ever
// sending a whole request, as any local program could, from many loopback
// addresses (127.0.0.10, .11, ...) while this lives. Each client sends
// nothing (Silent) or the start of a request and then one byte of its
// headers every `interval` (Trickling); when the server cuts it off it
// connects again at once.
class LoopbackAttack {
  public:
    enum class Kind { Silent, Trickling };

    LoopbackAttack(int port, size_t clients, size_t addresses, Kind kind,
                   std::chrono::milliseconds interval = std::chrono::seconds(1))
        : port_(port), addresses_(addresses), kind_(kind), interval_(interval) {
        sockets_.assign(clients, -1);
        for (size_t client = 0; client < clients; ++client)
            connect(client);
        thread_ = std::thread([this] { run(); });
    }

    ~LoopbackAttack() {
        stopping_ = true;
        thread_.join();
        for (const int socket : sockets_) {
            if (socket >= 0)
                ::close(socket);
        }
    }

    // How many times the server cut a client off.
    size_t cutOff() const { return cutOff_; }

  private:
    void connect(size_t client) {
        const std::string source = "127.0.0." + std::to_string(10 + client % addresses_);
        const int socket = rawConnectFrom(source.c_str(), port_);
        if (socket >= 0 && kind_ == Kind::Trickling)
            rawSend(socket, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
        sockets_[client] = socket;
    }

    void run() {
        auto nextByte = std::chrono::steady_clock::now() + interval_;
        std::vector<pollfd> watched(sockets_.size());
        while (!stopping_) {
            for (size_t client = 0; client < sockets_.size(); ++client)
                watched[client] = {sockets_[client], POLLIN, 0};
            ::poll(watched.data(), watched.size(), 20);
            for (size_t client = 0; client < sockets_.size(); ++client) {
                const bool closed = sockets_[client] < 0;
                if (!closed && !(watched[client].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                // Whatever the server says before it closes is read and dropped.
                char ignored[4096];
                if (!closed && ::recv(sockets_[client], ignored, sizeof ignored, MSG_DONTWAIT) > 0)
                    continue;
                if (!closed) {
                    ::close(sockets_[client]);
                    ++cutOff_;
                }
                connect(client);
            }
            if (kind_ == Kind::Trickling && std::chrono::steady_clock::now() >= nextByte) {
                for (const int socket : sockets_) {
                    if (socket >= 0)
                        ::send(socket, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
                }
                nextByte += interval_;
            }
        }
    }

    const int port_;
    const size_t addresses_;
    const Kind kind_;
    const std::chrono::milliseconds interval_;
    std::vector<int> sockets_;
    std::atomic<size_t> cutOff_ = 0;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};
