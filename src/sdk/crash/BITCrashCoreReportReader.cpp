#include "sdk/crash/BITCrashCoreReportReader.h"

#include <cstring>
#include <string>

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreError.h"

namespace {

constexpr size_t kHeaderLength = 8;

BITCrashCoreReportMessage fail(NSError* error, const std::string& message) {
    NSLogWithLevel(NSLogLevel::Error, "%s", message.c_str());
    BITCrashCoreSetError(error, BITCrashCoreErrorCrashReportInvalid, message);
    return nullptr;
}

}  // namespace

void BITCrashCoreReportMessageDeleter::operator()(Zvcrash__CrashReport* message) const {
    zvcrash__crash_report__free_unpacked(message, nullptr);
}

BITCrashCoreReportMessage BITCrashCoreDecodeCrashData(const uint8_t* bytes, size_t length,
                                                      NSError* error) {
    if (bytes == nullptr || length <= kHeaderLength) {
        return fail(error, "Could not decode truncated crash log");
    }
    if (memcmp(bytes, "zvcrash", 7) != 0) {
        return fail(error, "Could not decode invalid crash log header");
    }
    if (bytes[7] != 1) {
        return fail(error, "Could not decode unsupported crash report version: " +
                               std::to_string(bytes[7]));
    }
    Zvcrash__CrashReport* message =
        zvcrash__crash_report__unpack(nullptr, length - kHeaderLength, bytes + kHeaderLength);
    if (message == nullptr) {
        return fail(error, "An unknown error occured decoding the crash report");
    }
    BITCrashCoreReportMessage report(message);
    if (report->report_info != nullptr && report->report_info->has_uuid &&
        report->report_info->uuid.len != 16) {
        return fail(error, "Report UUID value is not a standard 16 bytes");
    }
    return report;
}
