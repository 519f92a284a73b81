#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "sdk/crash/BITCrashCoreReportSymbolInfo.h"

// One frame: its instruction pointer and, when known, its function. Immutable.
class BITCrashCoreReportStackFrameInfo {
  public:
    BITCrashCoreReportStackFrameInfo(uint64_t instructionPointer,
                                     std::optional<BITCrashCoreReportSymbolInfo> symbolInfo)
        : instructionPointer_(instructionPointer), symbolInfo_(std::move(symbolInfo)) {}

    uint64_t instructionPointer() const { return instructionPointer_; }
    const std::optional<BITCrashCoreReportSymbolInfo>& symbolInfo() const { return symbolInfo_; }

  private:
    uint64_t instructionPointer_;
    std::optional<BITCrashCoreReportSymbolInfo> symbolInfo_;
};
