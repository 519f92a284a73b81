#include "sdk/crash/BITCrashUncaughtCXXExceptionHandlerManager.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

constexpr int kMaximumFrames = 128;

struct ManagerState {
    std::atomic_flag lock = ATOMIC_FLAG_INIT;
    std::vector<BITCrashUncaughtCXXExceptionHandler> handlers;
    bool installed = false;
    std::terminate_handler previous = nullptr;
};

// Never destroyed: terminate may run while static destructors do.
ManagerState& state() {
    static auto* managerState = new ManagerState();
    return *managerState;
}

void lock() {
    while (state().lock.test_and_set(std::memory_order_acquire)) {
    }
}

void unlock() {
    state().lock.clear(std::memory_order_release);
}

void terminateHandler() {
    std::exception_ptr current = std::current_exception();
    lock();
    if (current) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        void* buffer[kMaximumFrames];
        int captured = backtrace(buffer, kMaximumFrames);
        // The first frame is this handler.
        uintptr_t frames[kMaximumFrames];
        uint32_t count = 0;
        for (int i = 1; i < captured; i++) {
            frames[count++] = reinterpret_cast<uintptr_t>(buffer[i]);
        }

        std::string message;
        bool hasMessage = true;
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& exception) {
            message = exception.what();
        } catch (const std::exception* exception) {
            message = exception != nullptr ? exception->what() : "";
        } catch (const std::string& text) {
            message = text;
        } catch (const std::string* text) {
            message = text != nullptr ? *text : "";
        } catch (const char* text) {
            message = text != nullptr ? text : "";
        } catch (...) {
            hasMessage = false;
        }

        BITCrashUncaughtCXXExceptionInfo info = {&current, type != nullptr ? type->name() : nullptr,
                                                 hasMessage ? message.c_str() : nullptr, count,
                                                 frames};
        for (BITCrashUncaughtCXXExceptionHandler handler : state().handlers) {
            handler(&info);
        }
    }
    std::terminate_handler previous = state().previous;
    unlock();
    if (previous != nullptr) {
        previous();
    }
    abort();
}

}  // namespace

void BITCrashUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(
    BITCrashUncaughtCXXExceptionHandler handler) {
    static std::once_flag unwinderLoaded;
    std::call_once(unwinderLoaded, [] {
        void* frame[1];
        backtrace(frame, 1);
    });
    lock();
    if (!state().installed) {
        state().previous = std::set_terminate(terminateHandler);
        state().installed = true;
    }
    state().handlers.push_back(handler);
    unlock();
}

void BITCrashUncaughtCXXExceptionHandlerManager::removeCXXExceptionHandler(
    BITCrashUncaughtCXXExceptionHandler handler) {
    lock();
    auto& handlers = state().handlers;
    auto found = std::find(handlers.begin(), handlers.end(), handler);
    if (found != handlers.end()) {
        handlers.erase(found);
    }
    if (state().installed && handlers.empty()) {
        std::terminate_handler current = std::set_terminate(state().previous);
        if (current == terminateHandler) {
            state().installed = false;
            state().previous = nullptr;
        } else {
            std::set_terminate(current);
        }
    }
    unlock();
}
