#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "sdk/crash/BITCrashCoreReport.h"

// Image kinds of the crash log.
enum BITBinaryImageType : int {
    BITBinaryImageTypeAppBinary = 0,
    BITBinaryImageTypeAppFramework = 1,
    BITBinaryImageTypeOther = 2,
};

// Turns a decoded crash report into the plain-text crash log that is
// uploaded, and supplies the architecture names and the application images'
// UUIDs. Stateless.
class BITCrashReportTextFormatter {
  public:
    // The crash log; key is the installation's anonymous key ("???" when empty).
    static std::string stringValueForCrashReportCrashReporterKey(const BITCrashCoreReport& report,
                                                                 const std::string& key);
    // One dictionary ("uuid", "arch", "type": "app" or "framework") per
    // application image, in ascending base-address order.
    static Value::Array arrayOfAppUUIDsForCrashReport(const BITCrashCoreReport& report);

    // The executable itself is the application binary; images installed
    // with it (under its install prefix: its folder, or the folder above a
    // "bin" folder, unless that is a system prefix such as /usr) are
    // application frameworks; everything else is other.
    static int bit_imageTypeForImagePathProcessPath(const std::optional<std::string>& imagePath,
                                                    const std::optional<std::string>& processPath);
    static std::string bit_archNameFromImageInfo(const BITCrashCoreReportBinaryImageInfo& image);
    static std::string bit_archNameFromCPUTypeSubType(uint64_t cpuType, uint64_t subType);
    // "<index><image name> 0x<pc> <symbol + offset | 0x<image base> + offset>", line-ended.
    static std::string bit_formatStackFrameFrameIndexReportLp64(
        const BITCrashCoreReportStackFrameInfo& frame, long frameIndex,
        const BITCrashCoreReport& report, bool lp64);
    // "/home/<name>/..." becomes "/home/USER/..."; any other path that
    // mentions "/home/" becomes "" (it may name a user); the rest is kept.
    static std::string anonymizedPathFromPath(const std::string& path);
};
