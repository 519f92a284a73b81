#include "sdk/crash/BITCrashCoreMachExceptionServer.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreMachExceptionPort.h"

namespace {

// Sent to the server, with the stop flag set, to end the server loop.
constexpr uintptr_t kStopMessage = 0xdeadbeef;
// How long a faulting thread waits for the server, in seconds: far beyond
// any report, short of a hang.
constexpr int kReplyBudgetSeconds = 30;
constexpr int kServerLimit = 8;

// The servers' thread ids, so a fault on a server thread is not sent to it.
std::atomic<int> serverThreads[kServerLimit] = {};

// The last forwarded fault.
std::atomic<int> lastForwardThread{0};
std::atomic<int> lastForwardSignal{0};
std::atomic<uintptr_t> lastForwardAddress{0};

// Runs in signal context.
bool isServerThread(int thread) {
    for (const std::atomic<int>& server : serverThreads) {
        if (server.load() == thread) {
            return true;
        }
    }
    return false;
}

// Runs in signal context. A server that is gone gives an error, not SIGPIPE.
bool writeAll(int fd, const void* bytes, size_t length) {
    const auto* cursor = static_cast<const uint8_t*>(bytes);
    while (length > 0) {
        ssize_t written = ::send(fd, cursor, length, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        cursor += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

void* serverMain(void* server) {
    static_cast<BITCrashCoreMachExceptionServer*>(server)->run();
    return nullptr;
}

}  // namespace

std::shared_ptr<BITCrashCoreMachExceptionServer>
BITCrashCoreMachExceptionServer::createWithCallBackContext(
    BITCrashCoreMachExceptionCallback callback, void* context, NSError* error) {
    std::shared_ptr<BITCrashCoreMachExceptionServer> server(new BITCrashCoreMachExceptionServer());
    server->callback_ = callback;
    server->callbackContext_ = context;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Failed to allocate exception server's port", errno);
        return nullptr;
    }
    server->readEnd_ = ends[0];
    server->writeEnd_ = ends[1];

    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Failed to initialize pthread_attr", errno);
        return nullptr;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int failure = pthread_create(&thread, &attributes, serverMain, server.get());
    pthread_attr_destroy(&attributes);
    if (failure != 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Failed to create exception server thread", failure);
        return nullptr;
    }
    std::unique_lock<std::mutex> guard(server->lock_);
    server->condition_.wait(guard, [&] { return server->started_; });
    return server;
}

BITCrashCoreMachExceptionServer::~BITCrashCoreMachExceptionServer() {
    if (readEnd_ < 0) {
        return;
    }
    std::unique_lock<std::mutex> guard(lock_);
    uint32_t expected = 0;
    if (started_ && shouldStop_.compare_exchange_strong(expected, 1)) {
        uintptr_t stop = kStopMessage;
        if (!writeAll(writeEnd_, &stop, sizeof(stop))) {
            fprintf(stderr,
                    "Unexpected error sending termination message to background thread: %d\n",
                    errno);
            return;
        }
        condition_.wait(guard, [&] { return stopDone_; });
    }
    ::close(readEnd_);
    ::close(writeEnd_);
}

void BITCrashCoreMachExceptionServer::run() {
    int self = BITCrashCoreCurrentThread();
    for (std::atomic<int>& slot : serverThreads) {
        int empty = 0;
        if (slot.compare_exchange_strong(empty, self)) {
            break;
        }
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        thread_ = self;
        started_ = true;
    }
    condition_.notify_all();

    for (;;) {
        uintptr_t received = 0;
        ssize_t length = ::read(readEnd_, &received, sizeof(received));
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length != static_cast<ssize_t>(sizeof(received))) {
            fprintf(stderr, "Unexpected error in exception server read(): %d\n", errno);
            break;
        }
        if (received == kStopMessage) {
            if (shouldStop_.load() != 0) {
                break;
            }
            continue;
        }
        auto* message = reinterpret_cast<BITCrashCoreMachExceptionMessage*>(received);
        int result = callback_(message, callbackContext_);
        message->reply.store(result);
        syscall(SYS_futex, reinterpret_cast<int*>(&message->reply), FUTEX_WAKE_PRIVATE, 1, nullptr,
                nullptr, 0);
    }
    for (std::atomic<int>& slot : serverThreads) {
        int mine = self;
        slot.compare_exchange_strong(mine, 0);
    }
    std::lock_guard<std::mutex> guard(lock_);
    stopDone_ = true;
    condition_.notify_all();
}

int BITCrashCoreMachExceptionServer::serverThread() const {
    std::lock_guard<std::mutex> guard(lock_);
    return thread_;
}

int BITCrashCoreMachExceptionServer::copySendRightForServerAndReturningError(NSError* error) const {
    std::lock_guard<std::mutex> guard(lock_);
    int port = fcntl(writeEnd_, F_DUPFD_CLOEXEC, 0);
    if (port < 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Failed to insert Mach send right", errno);
    }
    return port;
}

std::shared_ptr<BITCrashCoreMachExceptionPort>
BITCrashCoreMachExceptionServer::exceptionPortWithMaskError(uint32_t mask, NSError* error) const {
    int port = copySendRightForServerAndReturningError(error);
    if (port < 0) {
        return nullptr;
    }
    auto result = std::make_shared<BITCrashCoreMachExceptionPort>(port, mask);
    ::close(port);
    if (result->server_port() < 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Failed to insert Mach send right", errno);
        return nullptr;
    }
    return result;
}

// Runs in signal context.
int BITCrashCoreMachExceptionServer::sendExceptionAndWait(
    int port, BITCrashCoreMachExceptionMessage* message) {
    if (isServerThread(message->thread)) {
        return BITCrashCoreKernFailure;
    }
    auto address = reinterpret_cast<uintptr_t>(message);
    if (!writeAll(port, &address, sizeof(address))) {
        return BITCrashCoreKernFailure;
    }
    struct timespec start = {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        int reply = message->reply.load();
        if (reply != BITCrashCoreMachExceptionMessage::pendingReply) {
            return reply;
        }
        struct timespec now = {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec > kReplyBudgetSeconds) {
            return BITCrashCoreKernFailure;
        }
        struct timespec wait = {1, 0};
        syscall(SYS_futex, reinterpret_cast<int*>(&message->reply), FUTEX_WAIT_PRIVATE,
                BITCrashCoreMachExceptionMessage::pendingReply, &wait, nullptr, 0);
    }
}

int BITCrashCoreMachExceptionServer::forward(
    BITCrashCoreMachExceptionMessage* message,
    const BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation& previous) {
    if (message->signal <= 0 || message->signal >= 32) {
        return BITCrashCoreKernFailure;
    }
    uint32_t bit = uint32_t{1} << message->signal;
    auto address =
        reinterpret_cast<uintptr_t>(message->info != nullptr ? message->info->si_addr : nullptr);
    if (lastForwardThread.load() == message->thread &&
        lastForwardSignal.load() == message->signal && lastForwardAddress.load() == address) {
        return BITCrashCoreKernFailure;
    }
    uint32_t count = previous.count < BITCrashCoreMachExceptionPortSet::capacity
                         ? previous.count
                         : BITCrashCoreMachExceptionPortSet::capacity;
    for (uint32_t i = 0; i < count; i++) {
        const struct sigaction& action = previous.actions[i];
        bool ownHandler = (action.sa_flags & SA_SIGINFO) != 0
                              ? action.sa_sigaction != nullptr
                              : action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
        if ((previous.masks[i] & bit) == 0 || !ownHandler) {
            continue;
        }
        lastForwardThread.store(message->thread);
        lastForwardSignal.store(message->signal);
        lastForwardAddress.store(address);
        message->forward = true;
        message->forwardAction = action;
        return BITCrashCoreKernSuccess;
    }
    return BITCrashCoreKernFailure;
}
