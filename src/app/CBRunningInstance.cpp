#include "app/CBRunningInstance.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "app/CBKelvaraLink.h"
#include "foundation/NSString+HashValue.h"

namespace {
constexpr const char* kAccepted = "ok\n";
constexpr int kBacklog = 64;
// A sender let go before it was read tries again after this long.
constexpr auto kRetryPause = std::chrono::milliseconds(10);

using Clock = std::chrono::steady_clock;

bool fillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

// Milliseconds to the deadline for poll, rounded up; 0 once it has passed.
int millisecondsTo(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(std::min<int64_t>(left.count(), 60'000)) : 0;
}

// Waits until the socket is ready for `events`; false with errno ETIMEDOUT
// once the deadline has passed.
bool waitFor(int socket, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd ready{socket, events, 0};
        const int n = ::poll(&ready, 1, millisecondsTo(deadline));
        if (n > 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 && Clock::now() < deadline)
            continue;
        if (n == 0)
            errno = ETIMEDOUT;
        return false;
    }
}

bool writeAll(int socket, const std::string& bytes, Clock::time_point deadline) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            waitFor(socket, POLLOUT, deadline))
            continue;
        return false;
    }
    return true;
}

// Reads until the peer ends its side, `limit` bytes are exceeded or the
// deadline passes (errno ETIMEDOUT).
bool readAll(int socket, size_t limit, std::string& bytes, Clock::time_point deadline) {
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0)
            return true;
        if (n > 0) {
            bytes.append(buffer, size_t(n));
            if (bytes.size() > limit)
                return false;
            continue;
        }
        if (errno == EINTR)
            continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(socket, POLLIN, deadline))
            continue;
        return false;
    }
}

// A connected socket to the path, or -1 with errno set: ETIMEDOUT when the
// listener's queue stayed full until the deadline.
int connectTo(const std::string& path, Clock::time_point deadline) {
    sockaddr_un address;
    if (!fillAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return -1;
    for (;;) {
        if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            return socket;
        const int reason = errno;
        // A full queue: the listener takes its connections soon.
        if ((reason == EAGAIN || reason == EINTR) && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::min<Clock::duration>(
                kRetryPause, std::max<Clock::duration>(deadline - Clock::now(), {})));
            continue;
        }
        ::close(socket);
        errno = reason == EAGAIN ? ETIMEDOUT : reason;
        return -1;
    }
}

// A folder of ours alone: made 0700 when missing, refused when it is a link,
// someone else's or open to others.
bool isPrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info;
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// A file named after the home in the user's runtime folder, or empty.
std::string runtimePathForHome(const std::string& home, const char* suffix) {
    std::error_code ignored;
    std::string key = std::filesystem::weakly_canonical(home, ignored).string();
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    const std::string name = "kelvara-" + sha256String(key).substr(0, 16) + suffix;
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        folder = runtime;
    else
        folder = "/tmp/kelvara-" + std::to_string(::getuid());
    if (!isPrivateFolder(folder)) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Kelvara: %s is not a private folder; links are not passed between "
                       "instances",
                       folder.c_str());
        return {};
    }
    const std::string path = folder + "/" + name;
    sockaddr_un address;
    return fillAddress(path, address) ? path : std::string();
}
}  // namespace

std::string CBRunningInstance::socketPathForHome(const std::string& home) {
    return runtimePathForHome(home, ".sock");
}

std::string CBRunningInstance::lockPathForHome(const std::string& home) {
    return runtimePathForHome(home, ".lock");
}

bool CBRunningInstance::isListening(const std::string& socketPath) {
    const int socket = connectTo(socketPath, Clock::now() + kSenderTime);
    if (socket < 0)
        return errno == ETIMEDOUT;
    // A text that is no link: the instance answers it and does nothing else,
    // where an empty one would bring it to the front.
    writeAll(socket, "?", Clock::now() + kSenderTime);
    ::close(socket);
    return true;
}

CBRunningInstance::Forwarding CBRunningInstance::forwardLink(const std::string& socketPath,
                                                             const std::string& link,
                                                             std::string* error,
                                                             Deadline deadline) {
    return handOver(socketPath, link, error, deadline);
}

CBRunningInstance::Forwarding CBRunningInstance::forwardActivation(const std::string& socketPath,
                                                                   std::string* error,
                                                                   Deadline deadline) {
    return handOver(socketPath, {}, error, deadline);
}

CBRunningInstance::Forwarding CBRunningInstance::handOver(const std::string& socketPath,
                                                          const std::string& link,
                                                          std::string* error, Deadline deadline) {
    auto fail = [error](Forwarding result, std::string reason) {
        if (error)
            *error = std::move(reason);
        return result;
    };
    const auto began = Clock::now();
    auto late = [&] {
        const auto waited =
            std::chrono::duration_cast<std::chrono::duration<double>>(Clock::now() - began);
        char reason[96];
        std::snprintf(reason, sizeof reason, "the running instance did not answer within %.1f s",
                      waited.count());
        return fail(Forwarding::Refused, reason);
    };
    for (;;) {
        const int socket = connectTo(socketPath, deadline);
        if (socket < 0 && errno == ETIMEDOUT)
            return late();
        if (socket < 0)
            return fail(Forwarding::NoInstance,
                        std::string("no running instance: ") + std::strerror(errno));
        // The running instance would stop reading part-way and close on the
        // rest, which the sender would only see as a broken connection.
        if (link.size() > kMaximumLinkLength) {
            ::close(socket);
            return fail(Forwarding::Refused, "the link is too long (" +
                                                 std::to_string(link.size()) + " bytes; at most " +
                                                 std::to_string(kMaximumLinkLength) + ")");
        }
        std::string reply;
        const bool exchanged = writeAll(socket, link, deadline) &&
                               ::shutdown(socket, SHUT_WR) == 0 &&
                               readAll(socket, 256, reply, deadline);
        const int reason = errno;
        ::close(socket);
        if (!exchanged && reason == ETIMEDOUT)
            return late();
        // Let go unread, among more senders than the instance keeps: the
        // link was not taken, so it may be sent again.
        if (reply.empty() && Clock::now() + kRetryPause < deadline) {
            std::this_thread::sleep_for(kRetryPause);
            continue;
        }
        if (!exchanged || reply.empty())
            return fail(Forwarding::Refused, "the running instance did not answer");
        if (reply != kAccepted) {
            while (!reply.empty() && reply.back() == '\n')
                reply.pop_back();
            return fail(Forwarding::Refused,
                        reply.empty() ? "the running instance refused the link" : reply);
        }
        return Forwarding::Forwarded;
    }
}

std::shared_ptr<CBRunningInstance> CBRunningInstance::listen(
    const std::string& socketPath, std::function<void(const std::string& link)> receiver,
    std::function<void()> activation) {
    sockaddr_un address;
    if (!fillAddress(socketPath, address))
        return nullptr;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return nullptr;
    auto bindSocket = [&] {
        return ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    };
    bool bound = bindSocket();
    if (!bound && errno == EADDRINUSE) {
        // A file nobody answers at was left by an instance that ended badly.
        const int probe = connectTo(socketPath, Clock::now() + std::chrono::seconds(1));
        if (probe >= 0) {
            ::close(probe);
        } else if (errno == ECONNREFUSED) {
            struct stat info;
            if (::lstat(socketPath.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
                ::unlink(socketPath.c_str());
            bound = bindSocket();
        }
    }
    const int wake = bound ? ::eventfd(0, EFD_CLOEXEC) : -1;
    if (!bound || wake < 0 || ::listen(socket, kBacklog) != 0) {
        NSLogWithLevel(NSLogLevel::Info, "Kelvara: not taking links at %s: %s", socketPath.c_str(),
                       std::strerror(errno));
        if (wake >= 0)
            ::close(wake);
        ::close(socket);
        return nullptr;
    }
    std::shared_ptr<CBRunningInstance> instance(new CBRunningInstance(
        socketPath, socket, wake, std::move(receiver), std::move(activation)));
    instance->thread_ = std::thread([raw = instance.get()] { raw->serve(); });
    return instance;
}

CBRunningInstance::CBRunningInstance(std::string path, int socket, int wake,
                                     std::function<void(const std::string&)> receiver,
                                     std::function<void()> activation)
    : path_(std::move(path)),
      socket_(socket),
      wake_(wake),
      receiver_(std::move(receiver)),
      activation_(std::move(activation)) {}

CBRunningInstance::~CBRunningInstance() {
    const uint64_t one = 1;
    if (::write(wake_, &one, sizeof one) < 0)
        NSLogWithLevel(NSLogLevel::Warning, "Kelvara: cannot stop taking links");
    if (thread_.joinable())
        thread_.join();
    ::close(socket_);
    ::close(wake_);
    ::unlink(path_.c_str());
}

struct CBRunningInstance::Sender {
    int connection;
    std::string text;
    Clock::time_point deadline;
};

void CBRunningInstance::serve() {
    std::vector<Sender> senders;
    std::vector<pollfd> fds;
    for (;;) {
        fds.assign({{socket_, POLLIN, 0}, {wake_, POLLIN, 0}});
        int timeout = -1;
        for (const Sender& sender : senders) {
            fds.push_back({sender.connection, POLLIN, 0});
            const int left = millisecondsTo(sender.deadline);
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        const auto now = Clock::now();
        for (size_t i = senders.size(); i-- > 0;) {
            Sender& sender = senders[i];
            bool open = true;
            if (fds[2 + i].revents)
                open = readFrom(sender);
            if (open && now >= sender.deadline) {
                writeAll(sender.connection, "link not sent in time\n", now);
                open = false;
            }
            if (!open) {
                ::close(sender.connection);
                senders.erase(senders.begin() + std::ptrdiff_t(i));
            }
        }
        if (fds[0].revents & POLLIN)
            acceptSenders(senders);
    }
    for (const Sender& sender : senders)
        ::close(sender.connection);
}

void CBRunningInstance::acceptSenders(std::vector<Sender>& senders) const {
    for (;;) {
        const int connection = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            peer.uid != ::getuid()) {
            NSLogWithLevel(NSLogLevel::Warning, "Kelvara: ignored a link from another user");
            ::close(connection);
            continue;
        }
        Sender sender{connection, {}, Clock::now() + kSenderTime};
        // A sender writes its text as it connects: mostly it is there already.
        if (!readFrom(sender)) {
            ::close(connection);
            continue;
        }
        senders.push_back(std::move(sender));
        if (senders.size() > kMaximumSenders) {
            ::close(senders.front().connection);
            senders.erase(senders.begin());
        }
    }
}

bool CBRunningInstance::readFrom(Sender& sender) const {
    // What has come so far, without waiting: a deadline already passed.
    if (readAll(sender.connection, kMaximumLinkLength, sender.text, Clock::now())) {
        answer(sender.connection, sender.text);
        return false;
    }
    if (sender.text.size() > kMaximumLinkLength) {
        writeAll(sender.connection, "link too long or not sent\n", Clock::now());
        return false;
    }
    return errno == ETIMEDOUT;
}

void CBRunningInstance::answer(int connection, const std::string& text) const {
    // The answer is a few bytes, which an empty socket always has room for.
    const auto now = Clock::now();
    if (text.empty()) {
        if (!activation_) {
            writeAll(connection, "nothing to hand over\n", now);
            return;
        }
        NSLogWithLevel(NSLogLevel::Info, "Kelvara: another start on this home came to this one");
        writeAll(connection, kAccepted, now);
        DispatchQueue::main()->async(activation_);
        return;
    }
    // What the link says is the receiver's to judge, as for a link given at start.
    if (!CBKelvaraLink::isKelvaraLink(text)) {
        writeAll(connection, "not a kelvara2 link\n", now);
        return;
    }
    writeAll(connection, kAccepted, now);
    NSLogWithLevel(NSLogLevel::Info, "Kelvara: took a link from another start");
    DispatchQueue::main()->async([receiver = receiver_, link = text] { receiver(link); });
}
