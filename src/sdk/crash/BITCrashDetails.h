#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"

// What the host may learn about the previous session's crash (or app kill).
// Immutable; every text and date may be absent.
class BITCrashDetails {
  public:
    using Text = std::optional<std::string>;

    BITCrashDetails(Text incidentIdentifier, Text reporterKey, Text signal, Text exceptionName,
                    Text exceptionReason, std::optional<NSDate> appStartTime,
                    std::optional<NSDate> crashTime, Text osVersion, Text osBuild, Text appVersion,
                    Text appBuild, uint64_t appProcessIdentifier);

    const Text& incidentIdentifier() const { return incidentIdentifier_; }
    const Text& reporterKey() const { return reporterKey_; }
    const Text& signal() const { return signal_; }
    const Text& exceptionName() const { return exceptionName_; }
    const Text& exceptionReason() const { return exceptionReason_; }
    const std::optional<NSDate>& appStartTime() const { return appStartTime_; }
    const std::optional<NSDate>& crashTime() const { return crashTime_; }
    const Text& osVersion() const { return osVersion_; }
    const Text& osBuild() const { return osBuild_; }
    const Text& appVersion() const { return appVersion_; }
    const Text& appBuild() const { return appBuild_; }
    uint64_t appProcessIdentifier() const { return appProcessIdentifier_; }

    // The signal is "SIGKILL" in any letter case.
    bool isAppKill() const;

  private:
    Text incidentIdentifier_;
    Text reporterKey_;
    Text signal_;
    Text exceptionName_;
    Text exceptionReason_;
    std::optional<NSDate> appStartTime_;
    std::optional<NSDate> crashTime_;
    Text osVersion_;
    Text osBuild_;
    Text appVersion_;
    Text appBuild_;
    uint64_t appProcessIdentifier_;
};
