#pragma once

#include <pthread.h>

#include <cstdint>
#include <memory>

#include "Foundation/NSError.h"
#include "sdk/crash/BITCrashCoreMachExceptionPortSet.h"

// A registration of an exception server for a set of signals (mask bit
// 1 << signal). Registering it for the task installs, for each signal of the
// mask, a signal action that sends the fault to the server and follows its
// answer; the actions it replaces come back as the previous port set.
class BITCrashCoreMachExceptionPort {
  public:
    // Keeps its own descriptor for the server's socket.
    BITCrashCoreMachExceptionPort(int serverPort, uint32_t mask);
    ~BITCrashCoreMachExceptionPort();
    BITCrashCoreMachExceptionPort(const BITCrashCoreMachExceptionPort&) = delete;
    BITCrashCoreMachExceptionPort& operator=(const BITCrashCoreMachExceptionPort&) = delete;

    // Installs the registration process-wide. On failure returns nullptr with
    // "Failed to swap mach exception ports"; the signals already swapped get
    // their previous actions back.
    std::shared_ptr<BITCrashCoreMachExceptionPortSet> registerForTaskPreviousPortSetError(
        NSError* error);

    // The actions now installed for the signals of mask.
    static std::shared_ptr<BITCrashCoreMachExceptionPortSet> exceptionPortsForTaskMaskError(
        uint32_t mask, NSError* error);

    // A registration for one thread only. Linux keeps signal actions per
    // process, so there is none: always nullptr with "Failed to swap mach
    // exception ports" (ENOTSUP underneath), and nothing changes.
    std::shared_ptr<BITCrashCoreMachExceptionPortSet> registerForThreadPreviousPortSetError(
        pthread_t thread, NSError* error);
    // The registrations of one thread: likewise none, nullptr with "Failed to
    // fetch mach exception ports" (ENOTSUP underneath).
    static std::shared_ptr<BITCrashCoreMachExceptionPortSet> exceptionPortsForThreadMaskError(
        pthread_t thread, uint32_t mask, NSError* error);

    int server_port() const { return port_; }
    uint32_t mask() const { return mask_; }

  private:
    uint32_t mask_;
    int port_;
};
