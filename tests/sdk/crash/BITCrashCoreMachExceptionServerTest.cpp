// The exception server thread, its registrations for signals, and the
// forwarding of a fault to the action installed before.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreMachExceptionPort.h"
#include "sdk/crash/BITCrashCoreMachExceptionServer.h"

namespace {

struct Received {
    std::atomic<int> count{0};
    std::atomic<int> thread{0};
    std::atomic<int> serverThread{0};
};

int answerBySignal(BITCrashCoreMachExceptionMessage* message, void* context) {
    auto* received = static_cast<Received*>(context);
    received->count++;
    received->thread = message->thread;
    received->serverThread = BITCrashCoreCurrentThread();
    return message->signal == SIGSEGV ? BITCrashCoreKernSuccess : BITCrashCoreKernFailure;
}

int sendFromThisThread(int port, int signal, int thread = 0) {
    siginfo_t info = {};
    BITCrashCoreMachExceptionMessage message;
    message.thread = thread != 0 ? thread : BITCrashCoreCurrentThread();
    message.signal = signal;
    message.info = &info;
    return BITCrashCoreMachExceptionServer::sendExceptionAndWait(port, &message);
}

TEST(BITCrashCoreMachExceptionServer, AnswersEachMessageOnItsOwnThread) {
    Received received;
    NSError error;
    auto server = BITCrashCoreMachExceptionServer::createWithCallBackContext(answerBySignal,
                                                                             &received, &error);
    ASSERT_NE(server, nullptr) << error.localizedDescription();
    int port = server->copySendRightForServerAndReturningError(&error);
    ASSERT_GE(port, 0);

    int sender = 0;
    int first = 0;
    std::thread thread([&] {
        sender = BITCrashCoreCurrentThread();
        first = sendFromThisThread(port, SIGSEGV);
    });
    thread.join();
    EXPECT_EQ(first, BITCrashCoreKernSuccess);
    EXPECT_EQ(received.thread.load(), sender);
    EXPECT_EQ(received.serverThread.load(), server->serverThread());
    EXPECT_NE(server->serverThread(), BITCrashCoreCurrentThread());

    EXPECT_EQ(sendFromThisThread(port, SIGFPE), BITCrashCoreKernFailure);
    EXPECT_EQ(received.count.load(), 2);
    // A fault of the server thread itself never waits for the server.
    EXPECT_EQ(sendFromThisThread(port, SIGSEGV, server->serverThread()), BITCrashCoreKernFailure);
    EXPECT_EQ(received.count.load(), 2);
    close(port);
    server.reset();
}

TEST(BITCrashCoreMachExceptionServer, UnsendableMessageIsAFailure) {
    EXPECT_EQ(sendFromThisThread(-1, SIGSEGV), BITCrashCoreKernFailure);
    // A server that is gone: an error, not SIGPIPE.
    Received received;
    auto server = BITCrashCoreMachExceptionServer::createWithCallBackContext(answerBySignal,
                                                                             &received, nullptr);
    ASSERT_NE(server, nullptr);
    int port = server->copySendRightForServerAndReturningError(nullptr);
    server.reset();
    EXPECT_EQ(sendFromThisThread(port, SIGSEGV), BITCrashCoreKernFailure);
    EXPECT_EQ(received.count.load(), 0);
    close(port);
}

void previousHandler(int, siginfo_t*, void*) {}

BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation previousFor(int signal,
                                                                      struct sigaction action) {
    BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation previous;
    previous.count = 1;
    previous.masks[0] = 1u << signal;
    previous.actions[0] = action;
    return previous;
}

TEST(BITCrashCoreMachExceptionServer, ForwardsOnlyToAHandlerOfItsOwnAndNeverTheSameFaultTwice) {
    siginfo_t info = {};
    info.si_addr = reinterpret_cast<void*>(0x1234);
    BITCrashCoreMachExceptionMessage message;
    message.thread = 77;
    message.signal = SIGBUS;
    message.info = &info;

    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    EXPECT_EQ(BITCrashCoreMachExceptionServer::forward(&message, previousFor(SIGBUS, fallback)),
              BITCrashCoreKernFailure);
    fallback.sa_handler = SIG_IGN;
    EXPECT_EQ(BITCrashCoreMachExceptionServer::forward(&message, previousFor(SIGBUS, fallback)),
              BITCrashCoreKernFailure);

    struct sigaction handler = {};
    handler.sa_sigaction = previousHandler;
    handler.sa_flags = SA_SIGINFO;
    EXPECT_EQ(BITCrashCoreMachExceptionServer::forward(&message, previousFor(SIGILL, handler)),
              BITCrashCoreKernFailure);
    EXPECT_FALSE(message.forward);
    EXPECT_EQ(BITCrashCoreMachExceptionServer::forward(&message, previousFor(SIGBUS, handler)),
              BITCrashCoreKernSuccess);
    EXPECT_TRUE(message.forward);
    EXPECT_EQ(message.forwardAction.sa_sigaction, previousHandler);

    // The handler left the fault in place and it came straight back.
    BITCrashCoreMachExceptionMessage again;
    again.thread = 77;
    again.signal = SIGBUS;
    again.info = &info;
    EXPECT_EQ(BITCrashCoreMachExceptionServer::forward(&again, previousFor(SIGBUS, handler)),
              BITCrashCoreKernFailure);
    info.si_addr = reinterpret_cast<void*>(0x5678);
    EXPECT_EQ(BITCrashCoreMachExceptionServer::forward(&again, previousFor(SIGBUS, handler)),
              BITCrashCoreKernSuccess);
}

TEST(BITCrashCoreMachExceptionPortSet, HoldsAtMostFourteenRegistrations) {
    std::vector<BITCrashCoreMachExceptionPortSet::Registration> registrations(15);
    for (size_t i = 0; i < registrations.size(); i++) {
        registrations[i].mask = 1u << (i + 1);
    }
    BITCrashCoreMachExceptionPortSet set(registrations);
    ASSERT_EQ(set.set().size(), 14u);
    auto copy = set.asyncSafeRepresentation();
    EXPECT_EQ(copy.count, 14u);
    EXPECT_EQ(copy.masks[13], 1u << 14);
    BITCrashCoreMachExceptionPortSet back(copy);
    ASSERT_EQ(back.set().size(), 14u);
    EXPECT_EQ(back.set()[0].mask, 2u);
}

std::atomic<bool> previousRan{false};
void notePreviousRan(int) {
    previousRan = true;
}

BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation registeredPrevious;

int forwardToPrevious(BITCrashCoreMachExceptionMessage* message, void*) {
    return BITCrashCoreMachExceptionServer::forward(message, registeredPrevious);
}

// In a child: a registered signal reaches the server, which hands it back to
// the action installed before; that action runs on the signalled thread.
TEST(BITCrashCoreMachExceptionPort, RegistrationSwapsActionsAndForwardsToThePrevious) {
    pid_t child = fork();
    if (child == 0) {
        signal(SIGUSR1, notePreviousRan);
        auto server = BITCrashCoreMachExceptionServer::createWithCallBackContext(forwardToPrevious,
                                                                                 nullptr, nullptr);
        auto port = server->exceptionPortWithMaskError(1u << SIGUSR1, nullptr);
        auto previous = port->registerForTaskPreviousPortSetError(nullptr);
        if (previous == nullptr || previous->set().size() != 1 ||
            previous->set()[0].action.sa_handler != notePreviousRan) {
            _exit(2);
        }
        auto current =
            BITCrashCoreMachExceptionPort::exceptionPortsForTaskMaskError(1u << SIGUSR1, nullptr);
        if (current == nullptr || current->set()[0].action.sa_handler == notePreviousRan) {
            _exit(3);
        }
        registeredPrevious = previous->asyncSafeRepresentation();
        raise(SIGUSR1);
        _exit(previousRan ? 0 : 4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BITCrashCoreMachExceptionPort, FailedRegistrationPutsTheSwappedActionsBack) {
    struct sigaction before = {};
    sigaction(SIGUSR2, nullptr, &before);
    auto server = BITCrashCoreMachExceptionServer::createWithCallBackContext(forwardToPrevious,
                                                                             nullptr, nullptr);
    ASSERT_NE(server, nullptr);
    // SIGUSR2 is swapped first; SIGSTOP cannot be caught.
    auto port = server->exceptionPortWithMaskError((1u << SIGUSR2) | (1u << SIGSTOP), nullptr);
    ASSERT_NE(port, nullptr);
    NSError error;
    EXPECT_EQ(port->registerForTaskPreviousPortSetError(&error), nullptr);
    EXPECT_EQ(error.localizedDescription(), "Failed to swap mach exception ports");
    struct sigaction after = {};
    sigaction(SIGUSR2, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);

    // Signal actions belong to the process: a thread has no registrations of
    // its own, and asking for one changes nothing.
    error = NSError();
    EXPECT_EQ(port->registerForThreadPreviousPortSetError(pthread_self(), &error), nullptr);
    EXPECT_EQ(error.domain, BITCrashCoreErrorDomain);
    EXPECT_EQ(error.code, BITCrashCoreErrorOperatingSystem);
    EXPECT_EQ(error.localizedDescription(), "Failed to swap mach exception ports");
    sigaction(SIGUSR2, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_EQ(BITCrashCoreMachExceptionPort::exceptionPortsForThreadMaskError(
                  pthread_self(), 1u << SIGUSR2, &error),
              nullptr);
    EXPECT_EQ(error.localizedDescription(), "Failed to fetch mach exception ports");
    const Value::Dictionary* underlying =
        error.userInfo.at(NSError::NSUnderlyingErrorKey).dictionaryValue();
    ASSERT_NE(underlying, nullptr);
    EXPECT_EQ(underlying->at("code"), Value(ENOTSUP));
    EXPECT_EQ(port->registerForThreadPreviousPortSetError(pthread_self(), nullptr), nullptr);
}

// In a child: an unanswered signal takes its default action.
TEST(BITCrashCoreMachExceptionPort, SignalTheServerDoesNotHandleEndsTheProcess) {
    pid_t child = fork();
    if (child == 0) {
        CrashTestSupport::resetInheritedSignalHandling();
        Received received;
        auto server = BITCrashCoreMachExceptionServer::createWithCallBackContext(
            answerBySignal, &received, nullptr);
        auto port = server->exceptionPortWithMaskError(1u << SIGFPE, nullptr);
        port->registerForTaskPreviousPortSetError(nullptr);
        raise(SIGFPE);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGFPE);
}

}  // namespace
