#include "sdk/crash/BITCrashReportTextFormatter.h"

#include <cstdint>
#include <filesystem>
#include <regex>
#include <vector>

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashLogLayout.h"

namespace {

using namespace BITCrashLog;

// The function name as people read it: C++ names demangled.
std::string readableSymbol(std::string name, int operatingSystem) {
    if (operatingSystem < kOperatingSystemLinux) {
        if (name.size() >= 2 && name[0] == '_') {
            name.erase(0, 1);
        }
    } else if (operatingSystem != kOperatingSystemLinux) {
        NSLogWithLevel(NSLogLevel::Debug, "Symbol prefix rules are unknown for this OS!");
    }
    return demangled(std::move(name));
}

// The image name in its column: cut to 32 characters and "... " when
// longer than 33, else padded to 36. Counted in characters, not bytes.
std::string imageColumn(const std::string& name) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < name.size(); i++) {
        if ((static_cast<uint8_t>(name[i]) & 0xc0) != 0x80) {
            starts.push_back(i);
        }
    }
    if (starts.size() > 33) {
        return name.substr(0, starts[32]) + "... ";
    }
    return name + std::string(36 - starts.size(), ' ');
}

bool isSystemPrefix(const std::string& prefix) {
    static const char* const systemPrefixes[] = {"",     "/",     "/usr", "/usr/local", "/opt",
                                                 "/bin", "/sbin", "/lib", "/lib64"};
    for (const char* system : systemPrefixes) {
        if (prefix == system) {
            return true;
        }
    }
    return false;
}

}  // namespace

int BITCrashReportTextFormatter::bit_imageTypeForImagePathProcessPath(
    const std::optional<std::string>& imagePath, const std::optional<std::string>& processPath) {
    if (!imagePath || !processPath) {
        return BITBinaryImageTypeOther;
    }
    std::filesystem::path image = std::filesystem::path(*imagePath).lexically_normal();
    std::filesystem::path process = std::filesystem::path(*processPath).lexically_normal();
    if (image == process) {
        return BITBinaryImageTypeAppBinary;
    }
    std::filesystem::path prefix = process.parent_path();
    if (prefix.filename() == "bin") {
        prefix = prefix.parent_path();
    }
    std::string prefixText = prefix.string();
    if (isSystemPrefix(prefixText)) {
        return BITBinaryImageTypeOther;
    }
    std::string imageText = image.string();
    if (imageText.compare(0, prefixText.size() + 1, prefixText + "/") == 0) {
        return BITBinaryImageTypeAppFramework;
    }
    return BITBinaryImageTypeOther;
}

std::string BITCrashReportTextFormatter::bit_archNameFromCPUTypeSubType(uint64_t cpuType,
                                                                        uint64_t subType) {
    switch (cpuType) {
        case kCPUTypeX86:
            return "i386";
        case kCPUTypeARM:
            switch (subType) {
                case 11:
                    return "armv7s";
                case 9:
                    return "armv7";
                case 6:
                    return "armv6";
                default:
                    return "arm-unknown";
            }
        case kCPUTypePowerPC:
            return "powerpc";
        case kCPUTypeX86_64:
            return "x86_64";
        case kCPUTypeARM64:
            return subType == 0 || subType == 13 ? "arm64" : "arm64-unknown";
        default:
            return "???";
    }
}

std::string BITCrashReportTextFormatter::bit_archNameFromImageInfo(
    const BITCrashCoreReportBinaryImageInfo& image) {
    return archNameOfImage(image, bit_archNameFromCPUTypeSubType);
}

std::string BITCrashReportTextFormatter::bit_formatStackFrameFrameIndexReportLp64(
    const BITCrashCoreReportStackFrameInfo& frame, long frameIndex,
    const BITCrashCoreReport& report, bool lp64) {
    uint64_t pc = frame.instructionPointer();
    const BITCrashCoreReportBinaryImageInfo* image = report.imageForAddress(pc);
    std::string imageName = image != nullptr ? lastPathComponent(image->imageName()) : "???";
    // Frames of every image are named: there are no symbol files to name the
    // application's own frames later.
    const std::string symbol = symbolForm(frame, report, readableSymbol);
    return frameLine(frameIndex, imageColumn(imageName), lp64, pc, symbol);
}

std::string BITCrashReportTextFormatter::anonymizedPathFromPath(const std::string& path) {
    if (path.empty()) {
        return "";
    }
    if (path.compare(0, 6, "/home/") == 0) {
        static const std::regex userFolder("(/home/[^/]+/)");
        return std::regex_replace(path, userFolder, "/home/USER/");
    }
    return path.find("/home/") != std::string::npos ? "" : path;
}

Value::Array BITCrashReportTextFormatter::arrayOfAppUUIDsForCrashReport(
    const BITCrashCoreReport& report) {
    Value::Array result;
    std::optional<std::string> processPath = processPathOf(report);
    for (const BITCrashCoreReportBinaryImageInfo* image : imagesByAddress(report)) {
        int kind = bit_imageTypeForImagePathProcessPath(image->imageName(), processPath);
        if (kind == BITBinaryImageTypeOther) {
            continue;
        }
        result.push_back(
            Value::Dictionary{{"uuid", image->hasImageUUID() ? image->imageUUID() : "???"},
                              {"arch", bit_archNameFromImageInfo(*image)},
                              {"type", kind == BITBinaryImageTypeAppBinary ? "app" : "framework"}});
    }
    return result;
}

std::string BITCrashReportTextFormatter::stringValueForCrashReportCrashReporterKey(
    const BITCrashCoreReport& report, const std::string& key) {
    BITCrashLogDialect dialect;
    dialect.reporterKey = key.empty() ? std::string("???") : key;
    dialect.operatingSystemName = BITCrashLog::operatingSystemName;
    dialect.archName = bit_archNameFromImageInfo;
    dialect.frameLine = bit_formatStackFrameFrameIndexReportLp64;
    return BITCrashLog::layout(report, dialect);
}
