#pragma once

#include <cstdint>
#include <exception>

// What the terminate handler tells each registered handler about the C++
// exception that nobody caught. Valid only during the call.
struct BITCrashUncaughtCXXExceptionInfo {
    const std::exception_ptr* exception;  // null when there is none
    const char* exception_type_name;      // mangled; null when unknown
    const char* exception_message;        // null when the kind carries none
    uint32_t exception_frames_count;
    const uintptr_t* exception_frames;  // return addresses, innermost first
};

using BITCrashUncaughtCXXExceptionHandler = void (*)(const BITCrashUncaughtCXXExceptionInfo* info);

// Installs a terminate handler that, before the process ends, describes the
// uncaught C++ exception to the registered handlers and then passes control
// to the terminate handler that was there before (or aborts).
//
// The frames are those of the throw site: when no handler exists for an
// exception, the C++ runtime calls terminate from inside the throw, before
// any unwinding, so the stack at that moment is the thrower's. The runtime's
// unwinder is loaded at the first add, so the capture at terminate time
// loads nothing.
class BITCrashUncaughtCXXExceptionHandlerManager {
  public:
    // The same handler may be added more than once.
    static void addCXXExceptionHandler(BITCrashUncaughtCXXExceptionHandler handler);
    // Removes the first occurrence. Removing the last handler puts the
    // previous terminate handler back, unless someone replaced ours
    // meanwhile: then theirs is kept and ours stays installed beneath it.
    static void removeCXXExceptionHandler(BITCrashUncaughtCXXExceptionHandler handler);
};
