#include "RequestIntake.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>

namespace {

// The most one read takes off a connection, and how many reads one turn of
// the intake gives a connection before it looks at the others.
constexpr size_t kReadBytes = 64 * 1024;
constexpr int kReadsPerTurn = 16;

constexpr const char* kTimedOut =
    "HTTP/1.1 408 Request Timeout\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
constexpr const char* kLineTooLong =
    "HTTP/1.1 414 URI Too Long\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
constexpr const char* kHeadTooLarge =
    "HTTP/1.1 431 Request Header Fields Too Large\r\nConnection: close\r\nContent-Length: "
    "0\r\n\r\n";
constexpr const char* kNoRoom =
    "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nRetry-After: 1\r\nContent-Length: "
    "0\r\n\r\n";

// What fits in the socket's send buffer now; a client that reads nothing
// gets no more.
void sendAtOnce(int socket, std::string_view text) {
    (void)::send(socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void closeSocket(int socket) {
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
}

}  // namespace

RequestIntake::RequestIntake(Limits limits, MemoryBudget& budget,
                             std::function<void(Request)> whole)
    : limits_(limits),
      budget_(budget),
      whole_(std::move(whole)),
      poller_({[this](uint64_t socket) {
                   // Gone already when an earlier event made it give way.
                   const auto connection = waiting_.find(int(socket));
                   if (connection != waiting_.end())
                       read(connection);
               },
               [this] { takeArrivals(); }, [this](Clock::time_point now) { sweep(now); },
               [this] { closeAll(); }}) {}

RequestIntake::~RequestIntake() {
    stop();
}

void RequestIntake::admitNew(int socket) {
    {
        std::unique_lock lock(mutex_);
        taken_.wait(lock, [&] { return stopped_ || arrivals_.size() < limits_.connections; });
    }
    admit(socket);
}

void RequestIntake::admit(int socket, std::string bytes, size_t served) {
    {
        std::lock_guard lock(mutex_);
        if (!stopped_) {
            arrivals_.push_back({socket, std::move(bytes), served, false});
            poller_.wake();
            return;
        }
    }
    closeSocket(socket);
}

void RequestIntake::drain(int socket) {
    {
        std::lock_guard lock(mutex_);
        if (!stopped_) {
            arrivals_.push_back({socket, {}, 0, true});
            poller_.wake();
            return;
        }
    }
    closeSocket(socket);
}

void RequestIntake::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    taken_.notify_all();
    poller_.stop();
}

void RequestIntake::closeAll() {
    while (!waiting_.empty())
        close(waiting_.begin());
    std::lock_guard lock(mutex_);
    for (const Arrival& arrival : arrivals_)
        closeSocket(arrival.socket);
    arrivals_.clear();
}

void RequestIntake::takeArrivals() {
    std::vector<Arrival> arrivals;
    {
        std::lock_guard lock(mutex_);
        arrivals.swap(arrivals_);
    }
    taken_.notify_all();
    for (Arrival& arrival : arrivals) {
        const int flags = ::fcntl(arrival.socket, F_GETFL);
        ::fcntl(arrival.socket, F_SETFL, flags | O_NONBLOCK);
        const auto now = Clock::now();
        const auto connection =
            waiting_
                .emplace(arrival.socket,
                         Waiting{arrival.socket,
                                 {},
                                 RequestFraming(limits_.headBytes, limits_.bodyBytes),
                                 now,
                                 now,
                                 now,
                                 now,
                                 0,
                                 arrival.served,
                                 false,
                                 arrival.draining})
                .first;
        poller_.watch(arrival.socket, EPOLLIN | EPOLLRDHUP, uint64_t(arrival.socket));
        if (arrival.draining)
            ::shutdown(arrival.socket, SHUT_WR);
        if (!arrival.bytes.empty()) {
            connection->second.bytes = std::move(arrival.bytes);
            if (!judge(connection))
                continue;
        }
        // A request sent at once is often here already: it need not wait.
        if (read(connection))
            makeRoom();
    }
}

void RequestIntake::makeRoom() {
    const auto now = Clock::now();
    for (;;) {
        auto oldestSilent = waiting_.end();
        auto oldestSending = waiting_.end();
        size_t sending = 0;
        for (auto connection = waiting_.begin(); connection != waiting_.end(); ++connection) {
            const bool silent = connection->second.bytes.empty();
            auto& oldest = silent ? oldestSilent : oldestSending;
            sending += !silent;
            if (oldest == waiting_.end() || connection->second.since < oldest->second.since)
                oldest = connection;
        }
        auto giving = waiting_.end();
        if (sending > limits_.connections) {
            giving = oldestSending;
        } else if (oldestSilent != waiting_.end() &&
                   (waiting_.size() > limits_.crowd ||
                    (waiting_.size() > limits_.connections &&
                     now - oldestSilent->second.since >= limits_.turn))) {
            giving = oldestSilent;
        }
        if (giving == waiting_.end())
            return;
        const bool silent = giving->second.bytes.empty();
        // Its request may have come, whole or in part, since it was last read.
        if (read(giving) && (!silent || giving->second.bytes.empty()))
            close(giving);
    }
}

bool RequestIntake::read(Connections::iterator connection) {
    Waiting& waiting = connection->second;
    char buffer[kReadBytes];
    for (int reads = 0; waiting.draining && reads < kReadsPerTurn; ++reads) {
        const ssize_t received = ::recv(waiting.socket, buffer, sizeof buffer, 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (received <= 0) {
            close(connection);
            return false;
        }
    }
    for (int reads = 0; !waiting.draining && reads < kReadsPerTurn; ++reads) {
        const ssize_t received = ::recv(waiting.socket, buffer, sizeof buffer, 0);
        if (received == 0) {
            close(connection);
            return false;
        }
        if (received < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            close(connection);
            return false;
        }
        const auto now = Clock::now();
        if (waiting.bytes.empty())
            waiting.begun = now;
        waiting.lastByte = now;
        waiting.bytes.append(buffer, size_t(received));
        if (!judge(connection))
            return false;
    }
    return true;
}

bool RequestIntake::judge(Connections::iterator connection) {
    Waiting& waiting = connection->second;
    const auto before = waiting.framing.state();
    const auto state = waiting.framing.update(waiting.bytes);
    if (state == RequestFraming::State::Body || state == RequestFraming::State::Whole) {
        const size_t owed = kCopies * (waiting.bytes.size() - waiting.framing.headEnd());
        if (owed > waiting.reserved) {
            if (!reserve(connection, owed - waiting.reserved)) {
                refuse(connection, kNoRoom);
                return false;
            }
            waiting.reserved = owed;
        }
    }
    switch (state) {
        case RequestFraming::State::Whole:
            handOver(connection);
            return false;
        case RequestFraming::State::RequestLineTooLong:
            refuse(connection, kLineTooLong);
            return false;
        case RequestFraming::State::HeadTooLarge:
            refuse(connection, kHeadTooLarge);
            return false;
        case RequestFraming::State::Body:
            if (before == RequestFraming::State::Head) {
                waiting.headDone = Clock::now();
                if (waiting.framing.expectsContinue() && !waiting.continued) {
                    sendAtOnce(waiting.socket, RequestFraming::kContinue);
                    waiting.continued = true;
                }
            }
            return true;
        case RequestFraming::State::Head:
            return true;
    }
    return true;
}

bool RequestIntake::reserve(Connections::iterator connection, size_t bytes) {
    while (!budget_.take(bytes)) {
        const auto oldest = oldestHolding(connection);
        if (oldest == waiting_.end())
            return false;
        close(oldest);
    }
    return true;
}

RequestIntake::Connections::iterator RequestIntake::oldestHolding(Connections::iterator spared) {
    auto oldest = waiting_.end();
    for (auto connection = waiting_.begin(); connection != waiting_.end(); ++connection) {
        if (connection == spared || connection->second.reserved == 0)
            continue;
        if (oldest == waiting_.end() || connection->second.since < oldest->second.since)
            oldest = connection;
    }
    return oldest;
}

void RequestIntake::sweep(Clock::time_point now) {
    for (auto connection = waiting_.begin(); connection != waiting_.end();) {
        const Waiting& waiting = connection->second;
        const auto next = std::next(connection);
        if (waiting.draining || waiting.bytes.empty()) {
            if (now - waiting.since > limits_.pause)
                close(connection);
        } else if (now - waiting.lastByte > limits_.pause ||
                   (waiting.framing.state() == RequestFraming::State::Head &&
                    now - waiting.begun > limits_.head) ||
                   (waiting.framing.state() == RequestFraming::State::Body &&
                    now - waiting.headDone > limits_.body)) {
            refuse(connection, kTimedOut);
        }
        connection = next;
    }
    makeRoom();
}

void RequestIntake::close(Connections::iterator connection) {
    const int socket = connection->second.socket;
    poller_.forget(socket);
    budget_.give(connection->second.reserved);
    waiting_.erase(connection);
    closeSocket(socket);
}

void RequestIntake::refuse(Connections::iterator connection, const char* answer) {
    Waiting& waiting = connection->second;
    sendAtOnce(waiting.socket, answer);
    ::shutdown(waiting.socket, SHUT_WR);
    budget_.give(waiting.reserved);
    waiting.reserved = 0;
    waiting.bytes = std::string();
    waiting.draining = true;
    waiting.since = Clock::now();
}

void RequestIntake::handOver(Connections::iterator connection) {
    Waiting& waiting = connection->second;
    poller_.forget(waiting.socket);
    Request request{waiting.socket,        std::move(waiting.bytes),
                    waiting.framing.end(), waiting.framing.bodyLeftOut(),
                    waiting.reserved,      waiting.served,
                    waiting.continued};
    waiting_.erase(connection);
    whole_(std::move(request));
}
