#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSError.h"

class BITCrashManager;
class BITZizavaAttachment;

// What the crash manager tells its host and asks of it. Every method is
// optional; a question answered with nullopt counts as "does not answer".
// Always called on the main thread.
class BITCrashManagerDelegate {
  public:
    virtual ~BITCrashManagerDelegate() = default;

    virtual std::optional<std::string> applicationLogForCrashManager(BITCrashManager&) {
        return std::nullopt;
    }
    // nullopt: does not answer; a null pointer: answers with no attachment.
    virtual std::optional<std::shared_ptr<BITZizavaAttachment>> attachmentForCrashManager(
        BITCrashManager&) {
        return std::nullopt;
    }
    virtual std::optional<bool> considerAppNotTerminatedCleanlyReportForCrashManager(
        BITCrashManager&) {
        return std::nullopt;
    }
    virtual void crashManagerWillShowSubmitCrashReportAlert(BITCrashManager&) {}
    virtual void crashManagerWillCancelSendingCrashReport(BITCrashManager&) {}
    virtual void crashManagerWillSendCrashReportsAlways(BITCrashManager&) {}
    virtual void crashManagerWillSendCrashReport(BITCrashManager&) {}
    virtual void crashManagerDidFinishSendingCrashReport(BITCrashManager&) {}
    virtual void crashManagerDidFailWithError(BITCrashManager&, const NSError&) {}
};
