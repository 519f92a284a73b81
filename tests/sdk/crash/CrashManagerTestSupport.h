#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/crash/BITCrashManager.h"

// The crash manager's test helpers: an application identifier, a delegate
// that records what it is told, and a look at the SDK settings folder and
// the keychain.
namespace CrashManagerTestSupport {

constexpr const char* kAppIdentifier = "0123456789abcdef0123456789abcdef";

class RecordingDelegate : public BITCrashManagerDelegate {
  public:
    void crashManagerWillShowSubmitCrashReportAlert(BITCrashManager&) override { ++alerts; }
    void crashManagerWillCancelSendingCrashReport(BITCrashManager&) override { ++cancels; }
    void crashManagerWillSendCrashReport(BITCrashManager&) override { ++sends; }
    void crashManagerDidFinishSendingCrashReport(BITCrashManager&) override { ++finished; }
    void crashManagerDidFailWithError(BITCrashManager&, const NSError& e) override {
        ++failed;
        error = e;
    }
    // An upload has come back, accepted or not.
    bool uploadEnded() const { return finished + failed > 0; }
    void reset() { *this = RecordingDelegate(); }

    int alerts = 0;
    int cancels = 0;
    int sends = 0;
    int finished = 0;
    int failed = 0;
    std::optional<NSError> error;
};

// Names in the SDK settings folder, without the manager's own settings file.
std::vector<std::string> reportFolderEntries();
// Empties the SDK settings folder.
void clearReportFolder();
// Usernames of keychain items that belong to crash reports ("<n>.BITCrashMeta...").
std::vector<std::string> crashKeychainItems();

}  // namespace CrashManagerTestSupport
