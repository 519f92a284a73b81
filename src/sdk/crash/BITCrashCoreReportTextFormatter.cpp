#include "sdk/crash/BITCrashCoreReportTextFormatter.h"

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashLogLayout.h"
#include "sdk/crash/BITCrashReportTextFormatter.h"

namespace {

using namespace BITCrashLog;

constexpr int kOperatingSystemTVOS = 4;

std::string olderOperatingSystemName(int value) {
    return value == kOperatingSystemTVOS ? "Apple TVOS" : BITCrashLog::operatingSystemName(value);
}

std::string olderArchNameOfImage(const BITCrashCoreReportBinaryImageInfo& image) {
    return BITCrashLog::archNameOfImage(
        image, BITCrashCoreReportTextFormatter::archNameFromCPUTypeSubType);
}

std::string readableSymbol(std::string name, int operatingSystem) {
    if (operatingSystem < kOperatingSystemLinux || operatingSystem == kOperatingSystemTVOS) {
        if (name.size() >= 2 && name[0] == '_') {
            name.erase(0, 1);
        }
    } else if (operatingSystem != kOperatingSystemLinux) {
        NSLog("Symbol prefix rules are unknown for this OS!");
    }
    return demangled(std::move(name));
}

// What the encoding holds of the text: for ASCII every other character
// (a whole UTF-8 sequence) becomes one "?".
Value::Data encoded(const std::string& text, BITCrashCoreReportTextEncoding encoding) {
    Value::Data bytes;
    bytes.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (encoding == BITCrashCoreReportTextEncodingUTF8 || byte < 0x80) {
            bytes.push_back(byte);
        } else if ((byte & 0xc0) != 0x80) {
            bytes.push_back('?');
        }
    }
    return bytes;
}

}  // namespace

std::string BITCrashCoreReportTextFormatter::archNameFromCPUTypeSubType(uint64_t cpuType,
                                                                        uint64_t subType) {
    if (cpuType == kCPUTypeARM64 && subType == 13) {
        return "armv8";
    }
    return BITCrashReportTextFormatter::bit_archNameFromCPUTypeSubType(cpuType, subType);
}

std::string BITCrashCoreReportTextFormatter::formatStackFrameFrameIndexReportLp64(
    const BITCrashCoreReportStackFrameInfo& frame, long frameIndex,
    const BITCrashCoreReport& report, bool lp64) {
    const uint64_t pc = frame.instructionPointer();
    const BITCrashCoreReportBinaryImageInfo* image = report.imageForAddress(pc);
    const std::string symbol = symbolForm(frame, report, readableSymbol);
    return frameLine(frameIndex, image != nullptr ? lastPathComponent(image->imageName()) : "???",
                     lp64, pc, symbol);
}

std::optional<std::string> BITCrashCoreReportTextFormatter::stringValueForCrashReportWithTextFormat(
    const BITCrashCoreReport& report, BITCrashCoreReportTextFormat textFormat) {
    if (textFormat != BITCrashCoreReportTextFormatiOS) {
        return std::nullopt;
    }
    BITCrashLogDialect dialect;
    dialect.reporterKey = "TODO";
    dialect.launchTimeAndXamarinStack = false;
    dialect.operatingSystemName = olderOperatingSystemName;
    dialect.archName = olderArchNameOfImage;
    dialect.frameLine = formatStackFrameFrameIndexReportLp64;
    return layout(report, dialect);
}

std::optional<Value::Data> BITCrashCoreReportTextFormatter::formatReportError(
    const std::shared_ptr<BITCrashCoreReport>& report, NSError* error) {
    if (!report) {
        BITCrashCoreSetError(error, BITCrashCoreErrorCrashReportInvalid,
                             "There is no crash report to format");
        return std::nullopt;
    }
    if (stringEncoding_ != BITCrashCoreReportTextEncodingASCII &&
        stringEncoding_ != BITCrashCoreReportTextEncodingUTF8) {
        BITCrashCoreSetError(
            error, BITCrashCoreErrorUnknown,
            "The crash log cannot be written in encoding " + std::to_string(stringEncoding_));
        return std::nullopt;
    }
    const auto text = stringValueForCrashReportWithTextFormat(*report, textFormat_);
    if (!text) {
        BITCrashCoreSetError(error, BITCrashCoreErrorUnknown,
                             "Unknown crash log text format " + std::to_string(textFormat_));
        return std::nullopt;
    }
    return encoded(*text, stringEncoding_);
}
