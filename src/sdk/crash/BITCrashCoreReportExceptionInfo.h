#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sdk/crash/BITCrashCoreReportStackFrameInfo.h"

// The uncaught exception recorded before the crash. Immutable.
class BITCrashCoreReportExceptionInfo {
  public:
    BITCrashCoreReportExceptionInfo(
        std::string exceptionName, std::string exceptionReason,
        std::optional<std::vector<BITCrashCoreReportStackFrameInfo>> stackFrames)
        : exceptionName_(std::move(exceptionName)),
          exceptionReason_(std::move(exceptionReason)),
          stackFrames_(std::move(stackFrames)) {}

    const std::string& exceptionName() const { return exceptionName_; }
    const std::string& exceptionReason() const { return exceptionReason_; }
    const std::optional<std::vector<BITCrashCoreReportStackFrameInfo>>& stackFrames() const {
        return stackFrames_;
    }

  private:
    std::string exceptionName_;
    std::string exceptionReason_;
    std::optional<std::vector<BITCrashCoreReportStackFrameInfo>> stackFrames_;
};
