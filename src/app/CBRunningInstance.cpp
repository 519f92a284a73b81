#include "app/CBRunningInstance.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "app/CBKelvaraLink.h"
#include "foundation/NSString+HashValue.h"

namespace {
constexpr const char* kAccepted = "ok\n";
constexpr int kReplyTimeoutSeconds = 3;

bool fillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

void setTimeout(int socket, int seconds) {
    timeval timeout{seconds, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

bool writeAll(int socket, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// Reads until the peer ends its side or `limit` bytes are exceeded.
bool readAll(int socket, size_t limit, std::string& bytes) {
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buffer, size_t(n));
        if (bytes.size() > limit)
            return false;
    }
}

// A connected socket to the path, or -1 with errno set.
int connectTo(const std::string& path) {
    sockaddr_un address;
    if (!fillAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return -1;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int saved = errno;
        ::close(socket);
        errno = saved;
        return -1;
    }
    return socket;
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
}  // namespace

std::string CBRunningInstance::socketPathForHome(const std::string& home) {
    std::error_code ignored;
    std::string key = std::filesystem::weakly_canonical(home, ignored).string();
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    const std::string name = "kelvara-" + sha256String(key).substr(0, 16) + ".sock";
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

CBRunningInstance::Forwarding CBRunningInstance::forwardLink(const std::string& socketPath,
                                                             const std::string& link,
                                                             std::string* error) {
    return handOver(socketPath, link, error);
}

CBRunningInstance::Forwarding CBRunningInstance::forwardActivation(const std::string& socketPath,
                                                                   std::string* error) {
    return handOver(socketPath, {}, error);
}

CBRunningInstance::Forwarding CBRunningInstance::handOver(const std::string& socketPath,
                                                          const std::string& link,
                                                          std::string* error) {
    auto fail = [error](Forwarding result, std::string reason) {
        if (error)
            *error = std::move(reason);
        return result;
    };
    const int socket = connectTo(socketPath);
    if (socket < 0)
        return fail(Forwarding::NoInstance,
                    std::string("no running instance: ") + std::strerror(errno));
    // The running instance would stop reading part-way and close on the rest,
    // which the sender would only see as a broken connection.
    if (link.size() > kMaximumLinkLength) {
        ::close(socket);
        return fail(Forwarding::Refused, "the link is too long (" + std::to_string(link.size()) +
                                             " bytes; at most " +
                                             std::to_string(kMaximumLinkLength) + ")");
    }
    setTimeout(socket, kReplyTimeoutSeconds);
    std::string reply;
    const bool exchanged =
        writeAll(socket, link) && ::shutdown(socket, SHUT_WR) == 0 && readAll(socket, 256, reply);
    ::close(socket);
    if (!exchanged)
        return fail(Forwarding::Refused, "the running instance did not answer");
    if (reply != kAccepted) {
        while (!reply.empty() && reply.back() == '\n')
            reply.pop_back();
        return fail(Forwarding::Refused,
                    reply.empty() ? "the running instance refused the link" : reply);
    }
    return Forwarding::Forwarded;
}

std::shared_ptr<CBRunningInstance> CBRunningInstance::listen(
    const std::string& socketPath, std::function<void(const std::string& link)> receiver,
    std::function<void()> activation) {
    sockaddr_un address;
    if (!fillAddress(socketPath, address))
        return nullptr;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return nullptr;
    auto bindSocket = [&] {
        return ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    };
    bool bound = bindSocket();
    if (!bound && errno == EADDRINUSE) {
        // A file nobody answers at was left by an instance that ended badly.
        const int probe = connectTo(socketPath);
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
    if (!bound || wake < 0 || ::listen(socket, 8) != 0) {
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

void CBRunningInstance::serve() {
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int connection = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        answer(connection);
        ::close(connection);
    }
}

void CBRunningInstance::answer(int connection) const {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ::getuid()) {
        NSLogWithLevel(NSLogLevel::Warning, "Kelvara: ignored a link from another user");
        return;
    }
    setTimeout(connection, kReplyTimeoutSeconds);
    std::string link;
    if (!readAll(connection, kMaximumLinkLength, link)) {
        writeAll(connection, "link too long or not sent\n");
        return;
    }
    if (link.empty()) {
        if (!activation_) {
            writeAll(connection, "nothing to hand over\n");
            return;
        }
        NSLogWithLevel(NSLogLevel::Info, "Kelvara: another start on this home came to this one");
        writeAll(connection, kAccepted);
        DispatchQueue::main()->async(activation_);
        return;
    }
    // What the link says is the receiver's to judge, as for a link given at start.
    if (!CBKelvaraLink::isKelvaraLink(link)) {
        writeAll(connection, "not a kelvara2 link\n");
        return;
    }
    writeAll(connection, kAccepted);
    NSLogWithLevel(NSLogLevel::Info, "Kelvara: took a link from another start");
    DispatchQueue::main()->async([receiver = receiver_, link] { receiver(link); });
}
