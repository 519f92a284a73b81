#include "sdk/crash/BITCrashCoreMachExceptionPort.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreMachExceptionServer.h"

namespace {

constexpr int kSignalLimit = 32;

// The server socket each signal's faults go to. A registration's descriptor is
// never closed: a faulting thread may be about to write to it.
std::atomic<int> registeredPorts[kSignalLimit] = {};

// Runs in signal context: the action installed for a registered signal.
void exceptionHandler(int signal, siginfo_t* info, void* uap) {
    int savedErrno = errno;
    BITCrashCoreMachExceptionMessage message;
    message.thread = BITCrashCoreCurrentThread();
    message.signal = signal;
    message.info = info;
    message.context = static_cast<ucontext_t*>(uap);
    int port = signal > 0 && signal < kSignalLimit ? registeredPorts[signal].load() : 0;
    int result = port > 0 ? BITCrashCoreMachExceptionServer::sendExceptionAndWait(port, &message)
                          : BITCrashCoreKernFailure;
    if (result == BITCrashCoreKernSuccess) {
        if (message.forward) {
            if ((message.forwardAction.sa_flags & SA_SIGINFO) != 0) {
                message.forwardAction.sa_sigaction(signal, info, uap);
            } else {
                message.forwardAction.sa_handler(signal);
            }
        }
        errno = savedErrno;
        return;
    }
    // Nobody dealt with it: the default action ends the process, with this
    // signal, once the handler returns (a fault repeats, a sent signal is
    // delivered again).
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
    errno = savedErrno;
}

bool inMask(uint32_t mask, int signal) {
    return (mask >> signal) & 1;
}

}  // namespace

BITCrashCoreMachExceptionPort::BITCrashCoreMachExceptionPort(int serverPort, uint32_t mask)
    : mask_(mask), port_(serverPort >= 0 ? fcntl(serverPort, F_DUPFD_CLOEXEC, 0) : -1) {
    if (serverPort >= 0 && port_ < 0) {
        NSLogWithLevel(NSLogLevel::Error, "Unexpected error incrementing mach port reference: %d",
                       errno);
    }
}

BITCrashCoreMachExceptionPort::~BITCrashCoreMachExceptionPort() {
    if (port_ >= 0 && ::close(port_) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Unexpected error decrementing mach port reference: %d",
                       errno);
    }
}

std::shared_ptr<BITCrashCoreMachExceptionPortSet>
BITCrashCoreMachExceptionPort::registerForTaskPreviousPortSetError(NSError* error) {
    int registrationPort = port_ >= 0 ? fcntl(port_, F_DUPFD_CLOEXEC, 0) : -1;
    if (registrationPort < 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Failed to swap mach exception ports", port_ >= 0 ? errno : EBADF);
        return nullptr;
    }
    std::vector<BITCrashCoreMachExceptionPortSet::Registration> previous;
    int previousPorts[kSignalLimit] = {};
    struct sigaction action = {};
    action.sa_sigaction = exceptionHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // The writer stops the faulting thread too while it waits here.
    sigemptyset(&action.sa_mask);
    for (int signal = 1; signal < kSignalLimit; signal++) {
        if (!inMask(mask_, signal)) {
            continue;
        }
        previousPorts[signal] = registeredPorts[signal].exchange(registrationPort);
        BITCrashCoreMachExceptionPortSet::Registration registration;
        registration.mask = uint32_t{1} << signal;
        if (sigaction(signal, &action, &registration.action) != 0) {
            int failure = errno;
            registeredPorts[signal].store(previousPorts[signal]);
            // Each registration holds one signal.
            for (const auto& swapped : previous) {
                int other = __builtin_ctz(swapped.mask);
                sigaction(other, &swapped.action, nullptr);
                registeredPorts[other].store(previousPorts[other]);
            }
            ::close(registrationPort);
            BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                                 "Failed to swap mach exception ports", failure);
            return nullptr;
        }
        previous.push_back(registration);
    }
    return std::make_shared<BITCrashCoreMachExceptionPortSet>(std::move(previous));
}

std::shared_ptr<BITCrashCoreMachExceptionPortSet>
BITCrashCoreMachExceptionPort::exceptionPortsForTaskMaskError(uint32_t mask, NSError* error) {
    std::vector<BITCrashCoreMachExceptionPortSet::Registration> current;
    for (int signal = 1; signal < kSignalLimit; signal++) {
        if (!inMask(mask, signal)) {
            continue;
        }
        BITCrashCoreMachExceptionPortSet::Registration registration;
        registration.mask = uint32_t{1} << signal;
        if (sigaction(signal, nullptr, &registration.action) != 0) {
            BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                                 "Failed to fetch mach exception ports", errno);
            return nullptr;
        }
        current.push_back(registration);
    }
    return std::make_shared<BITCrashCoreMachExceptionPortSet>(std::move(current));
}

std::shared_ptr<BITCrashCoreMachExceptionPortSet>
BITCrashCoreMachExceptionPort::registerForThreadPreviousPortSetError(pthread_t, NSError* error) {
    BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                         "Failed to swap mach exception ports", ENOTSUP);
    return nullptr;
}

std::shared_ptr<BITCrashCoreMachExceptionPortSet>
BITCrashCoreMachExceptionPort::exceptionPortsForThreadMaskError(pthread_t, uint32_t,
                                                                NSError* error) {
    BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                         "Failed to fetch mach exception ports", ENOTSUP);
    return nullptr;
}
