#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "Foundation/NSDate.h"

// The operating system and the time of the crash. Immutable.
class BITCrashCoreReportSystemInfo {
  public:
    BITCrashCoreReportSystemInfo(int operatingSystem, std::string osVersion,
                                 std::optional<std::string> osBuild, int architecture,
                                 std::optional<NSDate> timestamp)
        : operatingSystem_(operatingSystem),
          osVersion_(std::move(osVersion)),
          osBuild_(std::move(osBuild)),
          architecture_(architecture),
          timestamp_(std::move(timestamp)) {}

    int operatingSystem() const { return operatingSystem_; }
    const std::string& operatingSystemVersion() const { return osVersion_; }
    const std::optional<std::string>& operatingSystemBuild() const { return osBuild_; }
    int architecture() const { return architecture_; }
    const std::optional<NSDate>& timestamp() const { return timestamp_; }

  private:
    int operatingSystem_;
    std::string osVersion_;
    std::optional<std::string> osBuild_;
    int architecture_;
    std::optional<NSDate> timestamp_;
};
