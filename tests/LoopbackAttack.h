#pragma once

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "RawHttp.h"

// Clients that try to hold a local server's connections, as any local
// program could, from many loopback addresses (127.0.0.10, .11, ...) while
// this lives. Each client sends nothing (Silent), the start of a request and
// then one byte of its headers every `interval` (Trickling), or a whole
// request whose answer it then reads at a few bytes a second or not at all
// (Reading); when the server cuts it off, or closes the connection after
// the answer, it connects again at once.
class LoopbackAttack {
  public:
    enum class Kind { Silent, Trickling, Reading };

    LoopbackAttack(int port, size_t clients, size_t addresses, Kind kind,
                   std::chrono::milliseconds interval = std::chrono::seconds(1))
        : port_(port), addresses_(addresses), kind_(kind), interval_(interval) {
        start(clients);
    }

    // Reading clients: each sends `request`, then reads `bytesPerSecond` of
    // the answer a second (0: nothing).
    LoopbackAttack(int port, size_t clients, size_t addresses, std::string request,
                   size_t bytesPerSecond)
        : port_(port),
          addresses_(addresses),
          kind_(Kind::Reading),
          interval_(std::chrono::seconds(1)),
          request_(std::move(request)),
          bytesPerSecond_(bytesPerSecond) {
        start(clients);
    }

    ~LoopbackAttack() {
        stopping_ = true;
        thread_.join();
        for (const int socket : sockets_) {
            if (socket >= 0)
                ::close(socket);
        }
    }

    // How many times the server cut a client off (for Reading: ended its
    // connection, whole or not).
    size_t cutOff() const { return cutOff_; }
    // Reading: how many clients have some of their answer, read or waiting
    // to be read, on the connection they hold now.
    size_t answered() const { return answered_; }

  private:
    void start(size_t clients) {
        sockets_.assign(clients, -1);
        received_.assign(clients, 0);
        for (size_t client = 0; client < clients; ++client)
            connect(client);
        thread_ = std::thread([this] { run(); });
    }

    void connect(size_t client) {
        const std::string source = "127.0.0." + std::to_string(10 + client % addresses_);
        const int socket = rawConnectFrom(source.c_str(), port_);
        if (socket >= 0 && kind_ == Kind::Trickling)
            rawSend(socket, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
        if (socket >= 0 && kind_ == Kind::Reading)
            rawSend(socket, request_);
        sockets_[client] = socket;
        received_[client] = 0;
    }

    void cutOffClient(size_t client) {
        ::close(sockets_[client]);
        ++cutOff_;
        connect(client);
    }

    void run() {
        auto nextByte = std::chrono::steady_clock::now() + interval_;
        auto lastRead = std::chrono::steady_clock::now();
        std::vector<pollfd> watched(sockets_.size());
        while (!stopping_) {
            // A reading client is told of the end of its connection without
            // reading, a close after its answer as well as a reset; the others
            // read whatever comes.
            const short events = kind_ == Kind::Reading ? POLLRDHUP : POLLIN;
            for (size_t client = 0; client < sockets_.size(); ++client)
                watched[client] = {sockets_[client], events, 0};
            ::poll(watched.data(), watched.size(), 20);
            if (kind_ == Kind::Reading) {
                const auto now = std::chrono::steady_clock::now();
                const double allowance =
                    std::chrono::duration<double>(now - lastRead).count() * double(bytesPerSecond_);
                if (allowance >= 1)
                    lastRead = now;
                read(watched, allowance >= 1 ? size_t(allowance) : 0);
                continue;
            }
            for (size_t client = 0; client < sockets_.size(); ++client) {
                const bool closed = sockets_[client] < 0;
                if (!closed && !(watched[client].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                // Whatever the server says before it closes is read and dropped.
                char ignored[4096];
                if (!closed && ::recv(sockets_[client], ignored, sizeof ignored, MSG_DONTWAIT) > 0)
                    continue;
                if (closed)
                    connect(client);
                else
                    cutOffClient(client);
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

    // Each reading client reads up to `bytes` of its answer.
    void read(const std::vector<pollfd>& watched, size_t bytes) {
        size_t answered = 0;
        std::vector<char> buffer(std::max<size_t>(bytes, 1));
        for (size_t client = 0; client < sockets_.size(); ++client) {
            if (sockets_[client] < 0) {
                connect(client);
                continue;
            }
            bool ended = watched[client].revents & (POLLRDHUP | POLLHUP | POLLERR);
            for (size_t left = bytes; !ended && left > 0;) {
                const ssize_t got = ::recv(sockets_[client], buffer.data(), left, MSG_DONTWAIT);
                if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    break;
                ended = got <= 0;
                if (got > 0) {
                    received_[client] += size_t(got);
                    left -= size_t(got);
                }
            }
            if (ended) {
                cutOffClient(client);
                continue;
            }
            int waiting = 0;
            ::ioctl(sockets_[client], FIONREAD, &waiting);
            answered += received_[client] > 0 || waiting > 0;
        }
        answered_ = answered;
    }

    const int port_;
    const size_t addresses_;
    const Kind kind_;
    const std::chrono::milliseconds interval_;
    const std::string request_;
    const size_t bytesPerSecond_ = 0;
    std::vector<int> sockets_;
    std::vector<size_t> received_;
    std::atomic<size_t> cutOff_ = 0;
    std::atomic<size_t> answered_ = 0;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};
