#include "sdk/crash/BITCrashDetails.h"

#include <strings.h>

#include <utility>

BITCrashDetails::BITCrashDetails(Text incidentIdentifier, Text reporterKey, Text signal,
                                 Text exceptionName, Text exceptionReason,
                                 std::optional<NSDate> appStartTime,
                                 std::optional<NSDate> crashTime, Text osVersion, Text osBuild,
                                 Text appVersion, Text appBuild, uint64_t appProcessIdentifier)
    : incidentIdentifier_(std::move(incidentIdentifier)),
      reporterKey_(std::move(reporterKey)),
      signal_(std::move(signal)),
      exceptionName_(std::move(exceptionName)),
      exceptionReason_(std::move(exceptionReason)),
      appStartTime_(appStartTime),
      crashTime_(crashTime),
      osVersion_(std::move(osVersion)),
      osBuild_(std::move(osBuild)),
      appVersion_(std::move(appVersion)),
      appBuild_(std::move(appBuild)),
      appProcessIdentifier_(appProcessIdentifier) {}

bool BITCrashDetails::isAppKill() const {
    return signal_ && strcasecmp(signal_->c_str(), "SIGKILL") == 0;
}
