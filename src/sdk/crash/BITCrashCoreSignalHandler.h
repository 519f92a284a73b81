#pragma once

#include <csignal>

#include "Foundation/NSError.h"
#include "sdk/crash/BITCrashCoreAsyncList.h"

struct BITCrashCoreSignalHandlerNext;

// A callback of the chain. It may hand the signal on through next (null at the
// tail) and returns whether the signal was handled. Runs in signal context.
using BITCrashCoreSignalHandlerCallback = bool (*)(int signal, siginfo_t* info, ucontext_t* uap,
                                                   void* context,
                                                   const BITCrashCoreSignalHandlerNext* next);

struct BITCrashCoreSignalHandlerEntry {
    BITCrashCoreSignalHandlerCallback callback = nullptr;
    void* context = nullptr;
    bool operator==(const BITCrashCoreSignalHandlerEntry&) const = default;
};

using BITCrashCoreSignalCallbackList = BITCrashCoreAsyncList<BITCrashCoreSignalHandlerEntry>;

// Hands a signal to the rest of the chain after a node.
struct BITCrashCoreSignalHandlerNext {
    bool (*dispatch)(int signal, siginfo_t* info, ucontext_t* uap,
                     BITCrashCoreSignalCallbackList::Node* after);
    BITCrashCoreSignalCallbackList::Node* node;

    // Runs in signal context.
    bool call(int signal, siginfo_t* info, ucontext_t* uap) const {
        return dispatch(signal, info, uap, node);
    }
};

// One process-wide handler per watched signal. Every delivery walks a chain of
// callbacks: registered callbacks at the head, and at the tail a pass-through
// that runs the action installed before ours. When no callback handles the
// signal, the handler raises it again.
class BITCrashCoreSignalHandler {
  public:
    static BITCrashCoreSignalHandler& sharedHandler();
    // Empties the callback and previous-action lists; the installed actions stay.
    static void resetHandlers();

    // Installs the process handler for one signal (once; later calls only add a
    // pass-through entry) and the calling thread's alternate signal stack.
    bool registerHandlerWithSignalError(int signal, NSError* error);
    // As above, then puts {callback, context} at the head of the chain. The
    // callback runs for every watched signal, not only this one.
    bool registerHandlerForSignalCallbackContextError(int signal,
                                                      BITCrashCoreSignalHandlerCallback callback,
                                                      void* context, NSError* error);

  private:
    BITCrashCoreSignalHandler() = default;
};
