#pragma once

#include <cstdint>

#include "sdk/crash/BITCrashCoreLogWriter.h"

class BITCrashCoreAsyncImageList;
class BITCrashCoreFileWriter;
class BITCrashCoreThreadList;

// How much of a report is written. A report over the size cap is made to fit
// by lowering these, step by step, measured by dry runs.
struct BITCrashCoreReportLimits {
    int crashedThreadFrames = BITCrashCoreLogWriter::maximumFrames;
    int otherThreadFrames = BITCrashCoreLogWriter::maximumFrames;
    int otherThreads = 1 << 30;
    int images = 1 << 30;
    bool symbols = true;

    // Lowers one limit; false when nothing is left to lower. Runs in signal context.
    bool shrink();
};

// Encodes the report's message (everything after the 8-byte header) from the
// prepared facts and the stopped threads; with no output it only counts.
// Every pass visits the same fields in the same order. Runs in signal context.
class BITCrashCoreReportEncoder {
  public:
    const BITCrashCoreLogWriter::Facts* facts;
    BITCrashCoreAsyncImageList* images;
    BITCrashCoreThreadList* threads;
    int crashedThread;
    const BITCrashCoreSignalInfo* signal;
    int64_t timestamp;
    BITCrashCoreReportLimits limits;

    // Runs in signal context.
    uint64_t writeReport(BITCrashCoreFileWriter* output) const;

    // Clears the per-report symbol cache. Runs in signal context.
    static void resetSymbolCache();

  private:
    size_t writeReportInfo(BITCrashCoreFileWriter* output) const;
    size_t writeSystemInfo(BITCrashCoreFileWriter* output) const;
    size_t writeMachineInfo(BITCrashCoreFileWriter* output) const;
    size_t writeProcessor(BITCrashCoreFileWriter* output, uint32_t encoding, uint64_t type,
                          uint64_t subtype) const;
    size_t writeApplicationInfo(BITCrashCoreFileWriter* output) const;
    size_t writeProcessInfo(BITCrashCoreFileWriter* output) const;
    size_t writeThreads(BITCrashCoreFileWriter* output) const;
    size_t writeThread(BITCrashCoreFileWriter* output, uint32_t number, int index,
                       bool crashed) const;
    size_t writeFrame(BITCrashCoreFileWriter* output, uint64_t pc, bool returnAddress) const;
    size_t writeImages(BITCrashCoreFileWriter* output) const;
    size_t writeImage(BITCrashCoreFileWriter* output, int index) const;
    size_t writeException(BITCrashCoreFileWriter* output) const;
    size_t writeSignal(BITCrashCoreFileWriter* output) const;
};
