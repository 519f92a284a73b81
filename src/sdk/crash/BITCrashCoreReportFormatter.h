#pragma once

#include <memory>
#include <optional>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

class BITCrashCoreReport;

// Turns a decoded crash report into bytes of some report format.
class BITCrashCoreReportFormatter {
  public:
    virtual ~BITCrashCoreReportFormatter() = default;
    // nullopt with the error when the report cannot be formatted.
    virtual std::optional<Value::Data> formatReportError(
        const std::shared_ptr<BITCrashCoreReport>& report, NSError* error) = 0;
};
