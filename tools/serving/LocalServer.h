#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>

// An HTTP server on 127.0.0.1 that slow or greedy clients cannot take over.
// Every connection holds a worker while it sends its request, so:
// - a request must arrive whole in time, however steadily its bytes trickle
//   in: its headers within kHeaderDeadline, then its body within
//   kBodyDeadline; a connection that misses either is closed;
// - one client address holds at most kConnectionsPerClient connections: a
//   new one beyond that closes the client's connection that has waited
//   longest for a request, and is itself refused when every connection of
//   the client is being answered;
// - the pool has many more workers than one client may hold.
class LocalServer : public httplib::Server {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::seconds kHeaderDeadline{5};
    static constexpr std::chrono::seconds kBodyDeadline{30};
    static constexpr size_t kConnectionsPerClient = 32;

    LocalServer();

    static unsigned workerCount();

    // Binds to 127.0.0.1 (port 0: a free one) with room for many waiting
    // connections; answers the port or -1.
    int bindToLoopback(int port);

  private:
    class ConnectionStream;

    struct Connection {
        int socket = -1;
        std::string client;
        // Set while the connection waits for (the rest of) a request's headers.
        std::optional<Clock::time_point> waitingSince;
        bool closedForAnother = false;
    };
    using Connections = std::list<Connection>;

    bool process_and_close_socket(socket_t socket) override;
    // Registers a connection of `client`, making room as described above;
    // nullopt when the client may have no more.
    std::optional<Connections::iterator> admit(int socket, const std::string& client);
    void release(Connections::iterator connection);
    void setWaiting(Connection& connection, bool waiting);

    std::mutex mutex_;
    Connections connections_;
};
