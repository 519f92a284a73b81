#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/crash/BITCrashCoreUncaughtException.h"
#include "sdk/crash/BITCrashUncaughtCXXExceptionHandlerManager.h"

// An uncaught C++ exception in the form the uncaught-exception handler takes.
// Copies what it needs from the record, which lives only during the call.
class BITCrashCXXExceptionWrapperException : public BITCrashCoreUncaughtException {
  public:
    // name: the demangled type name (the raw name when demangling fails, ""
    // when there is none); reason: the message, or "".
    explicit BITCrashCXXExceptionWrapperException(const BITCrashUncaughtCXXExceptionInfo& info);

    std::string name() const override { return name_; }
    std::string reason() const override { return reason_; }
    std::vector<uint64_t> callStackReturnAddresses() const override { return frames_; }

  private:
    std::string name_;
    std::string reason_;
    std::vector<uint64_t> frames_;
};
