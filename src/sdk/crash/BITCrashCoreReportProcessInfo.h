#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "Foundation/NSDate.h"

// The crashed process and its parent. Immutable.
class BITCrashCoreReportProcessInfo {
  public:
    BITCrashCoreReportProcessInfo(std::optional<std::string> processName, uint32_t processID,
                                  std::optional<std::string> processPath,
                                  std::optional<NSDate> processStartTime,
                                  std::optional<std::string> parentProcessName,
                                  uint32_t parentProcessID, bool native)
        : processName_(std::move(processName)),
          processID_(processID),
          processPath_(std::move(processPath)),
          processStartTime_(std::move(processStartTime)),
          parentProcessName_(std::move(parentProcessName)),
          parentProcessID_(parentProcessID),
          native_(native) {}

    const std::optional<std::string>& processName() const { return processName_; }
    uint32_t processID() const { return processID_; }
    const std::optional<std::string>& processPath() const { return processPath_; }
    const std::optional<NSDate>& processStartTime() const { return processStartTime_; }
    const std::optional<std::string>& parentProcessName() const { return parentProcessName_; }
    uint32_t parentProcessID() const { return parentProcessID_; }
    bool native() const { return native_; }

  private:
    std::optional<std::string> processName_;
    uint32_t processID_;
    std::optional<std::string> processPath_;
    std::optional<NSDate> processStartTime_;
    std::optional<std::string> parentProcessName_;
    uint32_t parentProcessID_;
    bool native_;
};
