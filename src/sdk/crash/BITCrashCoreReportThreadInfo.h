#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "sdk/crash/BITCrashCoreReportRegisterInfo.h"
#include "sdk/crash/BITCrashCoreReportStackFrameInfo.h"

// One thread: number, frames (innermost first), crashed flag and registers (crashed thread only).
// Immutable.
class BITCrashCoreReportThreadInfo {
  public:
    BITCrashCoreReportThreadInfo(int threadNumber,
                                 std::vector<BITCrashCoreReportStackFrameInfo> stackFrames,
                                 bool crashed,
                                 std::vector<BITCrashCoreReportRegisterInfo> registers)
        : threadNumber_(threadNumber),
          stackFrames_(std::move(stackFrames)),
          crashed_(crashed),
          registers_(std::move(registers)) {}

    int threadNumber() const { return threadNumber_; }
    const std::vector<BITCrashCoreReportStackFrameInfo>& stackFrames() const {
        return stackFrames_;
    }
    bool crashed() const { return crashed_; }
    const std::vector<BITCrashCoreReportRegisterInfo>& registers() const { return registers_; }

  private:
    int threadNumber_;
    std::vector<BITCrashCoreReportStackFrameInfo> stackFrames_;
    bool crashed_;
    std::vector<BITCrashCoreReportRegisterInfo> registers_;
};
