#pragma once

#include <signal.h>
#include <ucontext.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Foundation/NSError.h"
#include "sdk/crash/BITCrashCoreMachExceptionPortSet.h"

class BITCrashCoreMachExceptionPort;

// Answers of an exception callback, as the kernel's return codes name them.
enum BITCrashCoreKernReturn : int {
    BITCrashCoreKernSuccess = 0,  // dealt with: the faulting thread resumes
    BITCrashCoreKernFailure = 5,  // not dealt with: the default action ends the process
};

// What a faulting thread sends the exception server. It lives on the faulting
// thread's signal stack, which stays put while the thread waits for the reply.
struct BITCrashCoreMachExceptionMessage {
    int thread = 0;  // kernel thread id of the faulting thread
    int signal = 0;
    siginfo_t* info = nullptr;
    ucontext_t* context = nullptr;
    // The previous action the faulting thread runs itself once answered
    // (a signal action belongs to the thread that took the signal).
    bool forward = false;
    struct sigaction forwardAction = {};
    // Futex word: pending until the server stores its answer.
    std::atomic<int> reply{pendingReply};

    static constexpr int pendingReply = -1;
};

// Runs on the server thread while the faulting thread waits.
using BITCrashCoreMachExceptionCallback = int (*)(BITCrashCoreMachExceptionMessage* message,
                                                  void* context);

// A thread started up front that receives the exceptions of faulting threads
// and answers each with the callback's result. Linux has no exception ports:
// a faulting thread's signal handler sends the address of its message over
// the server's socket pair (the "port"; send is async-signal-safe) and waits
// on the message's futex word for the reply.
class BITCrashCoreMachExceptionServer {
  public:
    // Starts the server; nullptr with the error when a step fails.
    static std::shared_ptr<BITCrashCoreMachExceptionServer> createWithCallBackContext(
        BITCrashCoreMachExceptionCallback callback, void* context, NSError* error);
    // Stops the server thread and waits for it.
    ~BITCrashCoreMachExceptionServer();
    BITCrashCoreMachExceptionServer(const BITCrashCoreMachExceptionServer&) = delete;
    BITCrashCoreMachExceptionServer& operator=(const BITCrashCoreMachExceptionServer&) = delete;

    // The server thread's kernel thread id.
    int serverThread() const;
    // A new descriptor sending to the server (the caller closes it); -1
    // with "Failed to insert Mach send right" on failure.
    int copySendRightForServerAndReturningError(NSError* error) const;
    // A registration of this server for the signals of mask (bit 1 << signal);
    // nullptr with the error when no send right can be made.
    std::shared_ptr<BITCrashCoreMachExceptionPort> exceptionPortWithMaskError(uint32_t mask,
                                                                              NSError* error) const;

    // Sends message to the server behind port and waits for the answer;
    // BITCrashCoreKernFailure when it cannot be sent, when the calling thread
    // is an exception server itself (a fault while a report is written), or
    // when no answer comes within a generous bound. Runs in signal context.
    static int sendExceptionAndWait(int port, BITCrashCoreMachExceptionMessage* message);

    // Hands the exception to the first previous action registered for its
    // signal that is a handler of its own (not the default, not ignore): the
    // message then carries it for the faulting thread to run, and the result
    // is success. The same fault coming straight back (same thread, signal
    // and address) is not forwarded again, so a previous handler that leaves
    // the fault in place cannot keep the process in a loop. Runs on the
    // server thread, allocation-free.
    static int forward(BITCrashCoreMachExceptionMessage* message,
                       const BITCrashCoreMachExceptionPortSet::AsyncSafeRepresentation& previous);

    // The server loop, on the server thread.
    void run();

  private:
    BITCrashCoreMachExceptionServer() = default;

    BITCrashCoreMachExceptionCallback callback_ = nullptr;
    void* callbackContext_ = nullptr;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    int thread_ = 0;
    mutable std::mutex lock_;
    std::condition_variable condition_;
    std::atomic<uint32_t> shouldStop_{0};
    bool started_ = false;
    bool stopDone_ = false;
};
