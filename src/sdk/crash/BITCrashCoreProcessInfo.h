#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Facts about a process, read from /proc/<pid>.
class BITCrashCoreProcessInfo {
  public:
    struct StartTime {
        int64_t seconds = 0;  // since the Unix epoch
        int32_t microseconds = 0;
    };

    static std::shared_ptr<BITCrashCoreProcessInfo> currentProcessInfo();
    // nullptr when the process does not exist or cannot be read.
    static std::shared_ptr<BITCrashCoreProcessInfo> createWithProcessID(pid_t pid);

    pid_t processID() const { return processID_; }
    // The command name cut to its longest valid UTF-8 prefix; nullopt when empty.
    const std::optional<std::string>& processName() const { return processName_; }
    pid_t parentProcessID() const { return parentProcessID_; }
    bool isTraced() const { return traced_; }
    StartTime startTime() const { return startTime_; }

    BITCrashCoreProcessInfo() = default;

  private:
    pid_t processID_ = 0;
    std::optional<std::string> processName_;
    pid_t parentProcessID_ = 0;
    StartTime startTime_;
    bool traced_ = false;
};
