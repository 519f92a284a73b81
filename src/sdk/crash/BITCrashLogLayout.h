#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/crash/BITCrashCoreReport.h"

// The crash log's layout, line by line, shared by the current text formatter
// and the older one; what differs between them comes in as a dialect.
struct BITCrashLogDialect {
    // The text of the "CrashReporter Key" line.
    std::string reporterKey;
    // The "Launch Time" line, and the Xamarin stack split off the reason
    // (with its own report version).
    bool launchTimeAndXamarinStack = true;
    std::string (*operatingSystemName)(int value) = nullptr;
    std::string (*archName)(const BITCrashCoreReportBinaryImageInfo& image) = nullptr;
    std::string (*frameLine)(const BITCrashCoreReportStackFrameInfo& frame, long frameIndex,
                             const BITCrashCoreReport& report, bool lp64) = nullptr;
};

namespace BITCrashLog {

inline constexpr int kOperatingSystemLinux = 3;  // the writer's OS_UNKNOWN: the enum has no Linux
inline constexpr uint64_t kCPUTypeX86 = 7;
inline constexpr uint64_t kCPUTypeARM = 12;
inline constexpr uint64_t kCPUTypePowerPC = 18;
inline constexpr uint64_t kCPUTypeX86_64 = 0x1000007;
inline constexpr uint64_t kCPUTypeARM64 = 0x100000c;

std::string layout(const BITCrashCoreReport& report, const BITCrashLogDialect& dialect);

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string lastPathComponent(const std::string& path);
// "Mac OS X", "iPhone OS", "Linux", else "Unknown (<value>)".
std::string operatingSystemName(int value);
// The name of a code type of the Mach encoding; "???" for another encoding.
std::string archNameOfImage(const BITCrashCoreReportBinaryImageInfo& image,
                            std::string (*byType)(uint64_t cpuType, uint64_t subType));
// C++ names demangled, as people read them.
std::string demangled(std::string name);
// "<index><image column> 0x<pc> <symbol>", line-ended: the image column is
// left-aligned in 35 characters, the address 16 digits wide for 64-bit code.
std::string frameLine(long frameIndex, const std::string& imageColumn, bool lp64, uint64_t pc,
                      const std::string& symbol);
// The report's images in ascending base-address order.
std::vector<const BITCrashCoreReportBinaryImageInfo*> imagesByAddress(
    const BITCrashCoreReport& report);
std::optional<std::string> processPathOf(const BITCrashCoreReport& report);
// What a frame line says of its address: "<symbol> + <offset>" for a frame
// with symbol information (the name made readable for the report's
// operating system), else "0x<image base> + <offset>" ("0x0 + 0" without an
// image).
std::string symbolForm(const BITCrashCoreReportStackFrameInfo& frame,
                       const BITCrashCoreReport& report,
                       std::string (*readable)(std::string name, int operatingSystem));

}  // namespace BITCrashLog
