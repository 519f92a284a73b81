#pragma once

#include <cstdint>
#include <string>
#include <utility>

// The function around a frame: its name and start (end 0 when unknown). Immutable.
class BITCrashCoreReportSymbolInfo {
  public:
    BITCrashCoreReportSymbolInfo(std::string symbolName, uint64_t startAddress, uint64_t endAddress)
        : symbolName_(std::move(symbolName)),
          startAddress_(startAddress),
          endAddress_(endAddress) {}

    const std::string& symbolName() const { return symbolName_; }
    uint64_t startAddress() const { return startAddress_; }
    uint64_t endAddress() const { return endAddress_; }

  private:
    std::string symbolName_;
    uint64_t startAddress_;
    uint64_t endAddress_;
};
