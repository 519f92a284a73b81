#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "sdk/crash/BITCrashCoreReport.h"
#include "sdk/crash/BITCrashCoreReportFormatter.h"

enum BITCrashCoreReportTextFormat : int {
    // The phone's crash log format.
    BITCrashCoreReportTextFormatiOS = 0,
};

// The encodings the text may be written in (the platform's numbers).
enum BITCrashCoreReportTextEncoding : unsigned long {
    BITCrashCoreReportTextEncodingASCII = 1,
    BITCrashCoreReportTextEncodingUTF8 = 4,
};

// The older writer of the crash log: the layout of the current formatter
// with a fixed reporter key and report version, no launch time, no Xamarin
// stack, symbol names for every frame that has them and image names that
// are never cut. Nothing in the program uses it; it stays for hosts that
// format reports themselves.
class BITCrashCoreReportTextFormatter : public BITCrashCoreReportFormatter {
  public:
    BITCrashCoreReportTextFormatter(BITCrashCoreReportTextFormat textFormat,
                                    BITCrashCoreReportTextEncoding stringEncoding)
        : textFormat_(textFormat), stringEncoding_(stringEncoding) {}

    // The log in the formatter's encoding (characters it cannot hold become
    // "?"); nullopt with an error ("BITCrashCoreErrorDomain") for a missing
    // report, an unknown text format or an unknown encoding.
    std::optional<Value::Data> formatReportError(const std::shared_ptr<BITCrashCoreReport>& report,
                                                 NSError* error) override;

    // nullopt for a text format other than the phone's.
    static std::optional<std::string> stringValueForCrashReportWithTextFormat(
        const BITCrashCoreReport& report, BITCrashCoreReportTextFormat textFormat);
    static std::string archNameFromCPUTypeSubType(uint64_t cpuType, uint64_t subType);
    static std::string formatStackFrameFrameIndexReportLp64(
        const BITCrashCoreReportStackFrameInfo& frame, long frameIndex,
        const BITCrashCoreReport& report, bool lp64);

  private:
    BITCrashCoreReportTextFormat textFormat_;
    BITCrashCoreReportTextEncoding stringEncoding_;
};
