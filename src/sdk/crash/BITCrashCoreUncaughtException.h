#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An exception that nobody caught, as the crash reporter records it: a name,
// a reason and the return addresses of the stack it was thrown from.
class BITCrashCoreUncaughtException {
  public:
    virtual ~BITCrashCoreUncaughtException() = default;
    virtual std::string name() const = 0;
    virtual std::string reason() const = 0;
    virtual std::vector<uint64_t> callStackReturnAddresses() const = 0;
};

// The process's handler for uncaught exceptions; it does not return normally
// (it records the exception, then ends the process).
using BITCrashCoreUncaughtExceptionHandler = void (*)(const BITCrashCoreUncaughtException&);

// Null until someone installs a handler.
BITCrashCoreUncaughtExceptionHandler BITCrashCoreGetUncaughtExceptionHandler();
void BITCrashCoreSetUncaughtExceptionHandler(BITCrashCoreUncaughtExceptionHandler handler);
