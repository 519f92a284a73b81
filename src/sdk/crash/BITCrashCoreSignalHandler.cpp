#include "sdk/crash/BITCrashCoreSignalHandler.h"

#include <cerrno>
#include <mutex>

#include "Dispatch/DispatchThreadStartHooks.h"
#include "sdk/crash/BITCrashCoreAlternateSignalStack.h"
#include "sdk/crash/BITCrashCoreError.h"

namespace {

struct PreviousAction {
    int signal = 0;
    struct sigaction action = {};
    bool operator==(const PreviousAction& other) const { return signal == other.signal; }
};

using PreviousActionList = BITCrashCoreAsyncList<PreviousAction>;

// Never destroyed: a signal may arrive while static destructors run.
PreviousActionList& previousActions() {
    static auto* list = new PreviousActionList();
    return *list;
}

BITCrashCoreSignalCallbackList& callbacks() {
    static auto* list = new BITCrashCoreSignalCallbackList();
    return *list;
}

std::mutex& registrationLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

// Runs in signal context.
bool dispatch(int signal, siginfo_t* info, ucontext_t* uap,
              BITCrashCoreSignalCallbackList::Node* after) {
    BITCrashCoreSignalCallbackList& list = callbacks();
    list.beginReading();
    BITCrashCoreSignalCallbackList::Node* node = list.next(after);
    bool handled = false;
    if (node != nullptr) {
        BITCrashCoreSignalHandlerNext next = {dispatch, node};
        bool hasNext = list.next(node) != nullptr;
        handled =
            node->value.callback(signal, info, uap, node->value.context, hasNext ? &next : nullptr);
    }
    list.endReading();
    return handled;
}

// Runs in signal context: the action installed for a watched signal. A
// signal nobody handled takes its default action: with this handler still in
// place the raised signal would only come back here, again and again.
void processHandler(int signal, siginfo_t* info, void* uap) {
    int savedErrno = errno;
    if (!dispatch(signal, info, static_cast<ucontext_t*>(uap), nullptr)) {
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        raise(signal);
    }
    errno = savedErrno;
}

// Runs in signal context: runs the action that was installed before ours.
bool previousActionCallback(int signal, siginfo_t* info, ucontext_t* uap, void*,
                            const BITCrashCoreSignalHandlerNext* next) {
    if (next != nullptr && next->call(signal, info, uap)) {
        return true;
    }
    PreviousActionList& list = previousActions();
    list.beginReading();
    bool found = false;
    struct sigaction action = {};
    for (PreviousActionList::Node* node = list.next(nullptr); node != nullptr;
         node = list.next(node)) {
        if (node->value.signal == signal) {
            action = node->value.action;
            found = true;
            break;
        }
    }
    list.endReading();
    if (!found) {
        return false;
    }
    if ((action.sa_flags & SA_SIGINFO) != 0) {
        action.sa_sigaction(signal, info, uap);
        return true;
    }
    if (action.sa_handler == SIG_IGN) {
        return true;
    }
    if (action.sa_handler == SIG_DFL) {
        return false;
    }
    action.sa_handler(signal);
    return true;
}

}  // namespace

BITCrashCoreSignalHandler& BITCrashCoreSignalHandler::sharedHandler() {
    static auto* handler = new BITCrashCoreSignalHandler();
    return *handler;
}

void BITCrashCoreSignalHandler::resetHandlers() {
    previousActions().removeAll();
    callbacks().removeAll();
}

bool BITCrashCoreSignalHandler::registerHandlerWithSignalError(int signal, NSError* error) {
    std::lock_guard<std::mutex> guard(registrationLock());
    // Every dispatch worker started from now on gets its own signal stack too,
    // so a stack overflow on any of them is caught.
    static std::once_flag workersCovered;
    std::call_once(workersCovered, [] {
        DispatchAddThreadStartHook([] { installAlternateSignalStackForCurrentThread(); });
    });
    if (!installAlternateSignalStackForCurrentThread()) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Could not initialize alternative signal stack", errno);
        return false;
    }
    callbacks().append({previousActionCallback, nullptr});

    PreviousActionList& list = previousActions();
    list.beginReading();
    bool known = false;
    for (PreviousActionList::Node* node = list.next(nullptr); node != nullptr;
         node = list.next(node)) {
        if (node->value.signal == signal) {
            known = true;
            break;
        }
    }
    list.endReading();
    if (known) {
        return true;
    }

    struct sigaction action = {};
    action.sa_sigaction = processHandler;
    action.sa_flags = SA_ONSTACK | SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    PreviousAction previous;
    previous.signal = signal;
    if (sigaction(signal, &action, &previous.action) != 0) {
        BITCrashCoreSetError(error, BITCrashCoreErrorOperatingSystem,
                             "Failed to register signal handler", errno);
        return false;
    }
    list.append(previous);
    return true;
}

bool BITCrashCoreSignalHandler::registerHandlerForSignalCallbackContextError(
    int signal, BITCrashCoreSignalHandlerCallback callback, void* context, NSError* error) {
    if (!registerHandlerWithSignalError(signal, error)) {
        return false;
    }
    callbacks().prepend({callback, context});
    return true;
}
