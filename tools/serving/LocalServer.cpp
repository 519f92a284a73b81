#include "LocalServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

namespace {

// A client that has said nothing for this long is cut off; a request on
// 127.0.0.1 arrives at once.
constexpr time_t kReadTimeoutSeconds = 2;
constexpr time_t kKeepAliveSeconds = 2;
// How often a wait looks whether the server is stopping.
constexpr int kStopCheckMilliseconds = 100;

std::string addressOf(const sockaddr_storage& address, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    port = 0;
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    return text;
}

std::string endpointOf(int socket, bool peer, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int result = peer ? ::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                            : ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    if (result != 0) {
        port = 0;
        return {};
    }
    return addressOf(address, port);
}

int millisecondsUntil(LocalServer::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - LocalServer::Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// Waits until the socket has bytes (or is closed), the time has come or the
// server stops listening.
bool awaitReadable(int socket, LocalServer::Clock::time_point until,
                   const std::atomic<socket_t>& listening) {
    while (listening != INVALID_SOCKET) {
        const int left = millisecondsUntil(until);
        if (left == 0)
            return false;
        pollfd wanted{socket, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, std::min(left, kStopCheckMilliseconds));
        if (ready != 0)
            return ready > 0;
    }
    return false;
}

bool pollFor(int socket, short events, int milliseconds) {
    pollfd wanted{socket, events, 0};
    return ::poll(&wanted, 1, milliseconds) > 0;
}

}  // namespace

// The connection as the HTTP library reads and writes it: buffered reads
// that end at the request's deadline, which moves from the headers' to the
// body's once the blank line after the headers has gone through.
class LocalServer::ConnectionStream : public httplib::Stream {
  public:
    ConnectionStream(LocalServer& server, Connection& connection, time_t writeTimeoutSeconds)
        : server_(server), connection_(connection), writeTimeout_(writeTimeoutSeconds) {}

    void beginRequest() {
        deadline_ = Clock::now() + kHeaderDeadline;
        lineEnds_ = 0;
        inBody_ = false;
    }

    bool is_readable() const override { return start_ < end_ || awaitBytes(); }

    bool is_writable() const override {
        return pollFor(connection_.socket, POLLOUT, static_cast<int>(writeTimeout_ * 1000));
    }

    ssize_t read(char* bytes, size_t size) override {
        if (start_ == end_) {
            if (!awaitBytes())
                return -1;
            const ssize_t received = ::recv(connection_.socket, buffer_, sizeof buffer_, 0);
            if (received <= 0)
                return received < 0 ? -1 : 0;
            start_ = 0;
            end_ = static_cast<size_t>(received);
        }
        const size_t count = std::min(size, end_ - start_);
        std::memcpy(bytes, buffer_ + start_, count);
        start_ += count;
        if (!inBody_)
            watchForHeaderEnd(bytes, count);
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* bytes, size_t size) override {
        if (!is_writable())
            return -1;
        return ::send(connection_.socket, bytes, size, MSG_NOSIGNAL);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = endpointOf(connection_.socket, true, port);
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = endpointOf(connection_.socket, false, port);
    }

    socket_t socket() const override { return connection_.socket; }

    // Bytes of a next request that came with the last one.
    bool hasBuffered() const { return start_ < end_; }

  private:
    // Waits for bytes as long as the read timeout, cut short by the
    // request's deadline, and while the server runs.
    bool awaitBytes() const {
        const auto readTimeout = std::chrono::seconds(server_.read_timeout_sec_) +
                                 std::chrono::microseconds(server_.read_timeout_usec_);
        return awaitReadable(connection_.socket, std::min(deadline_, Clock::now() + readTimeout),
                             server_.svr_sock_);
    }

    // The headers end with an empty line (CRLF or a bare LF alike).
    void watchForHeaderEnd(const char* bytes, size_t count) {
        for (size_t i = 0; i < count && !inBody_; ++i) {
            if (bytes[i] == '\n')
                ++lineEnds_;
            else if (bytes[i] != '\r')
                lineEnds_ = 0;
            if (lineEnds_ == 2) {
                inBody_ = true;
                deadline_ = Clock::now() + kBodyDeadline;
                server_.setWaiting(connection_, false);
            }
        }
    }

    LocalServer& server_;
    Connection& connection_;
    const time_t writeTimeout_;
    Clock::time_point deadline_ = Clock::now() + kHeaderDeadline;
    int lineEnds_ = 0;  // in a row, with nothing but CR between them
    bool inBody_ = false;
    char buffer_[4096];
    size_t start_ = 0;
    size_t end_ = 0;
};

LocalServer::LocalServer() {
    const unsigned workers = workerCount();
    new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    set_read_timeout(kReadTimeoutSeconds, 0);
    set_keep_alive_timeout(kKeepAliveSeconds);
}

unsigned LocalServer::workerCount() {
    return std::max<unsigned>(2 * kConnectionsPerClient, 4 * std::thread::hardware_concurrency());
}

int LocalServer::bindToLoopback(int port) {
    const int bound =
        port == 0 ? bind_to_any_port("127.0.0.1") : (bind_to_port("127.0.0.1", port) ? port : -1);
    // The library's backlog of five drops the connections of a burst of
    // clients, which then wait a second to try again.
    if (bound > 0)
        ::listen(svr_sock_, SOMAXCONN);
    return bound;
}

std::optional<LocalServer::Connections::iterator> LocalServer::admit(int socket,
                                                                     const std::string& client) {
    std::lock_guard lock(mutex_);
    size_t held = 0;
    Connection* longestWaiting = nullptr;
    for (Connection& connection : connections_) {
        if (connection.client != client || connection.closedForAnother)
            continue;
        ++held;
        if (connection.waitingSince &&
            (!longestWaiting || *connection.waitingSince < *longestWaiting->waitingSince))
            longestWaiting = &connection;
    }
    if (held >= kConnectionsPerClient) {
        if (!longestWaiting)
            return std::nullopt;
        // Still registered, so its socket is still open: its worker
        // unregisters under the lock before closing it.
        ::shutdown(longestWaiting->socket, SHUT_RDWR);
        longestWaiting->closedForAnother = true;
    }
    return connections_.insert(connections_.end(), Connection{socket, client, Clock::now()});
}

void LocalServer::release(Connections::iterator connection) {
    std::lock_guard lock(mutex_);
    connections_.erase(connection);
}

void LocalServer::setWaiting(Connection& connection, bool waiting) {
    std::lock_guard lock(mutex_);
    if (waiting)
        connection.waitingSince = Clock::now();
    else
        connection.waitingSince.reset();
}

bool LocalServer::process_and_close_socket(socket_t socket) {
    int port = 0;
    const auto connection = admit(socket, endpointOf(socket, true, port));
    bool served = false;
    if (connection) {
        ConnectionStream stream(*this, **connection, write_timeout_sec_);
        for (size_t left = keep_alive_max_count_; left > 0; --left) {
            setWaiting(**connection, true);
            const auto keptAlive = Clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
            if (!stream.hasBuffered() && !awaitReadable(socket, keptAlive, svr_sock_))
                break;
            stream.beginRequest();
            bool closed = false;
            served = process_request(stream, left == 1, closed, [](httplib::Request&) {});
            if (!served || closed)
                break;
        }
        release(*connection);
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    return served;
}
