#pragma once

#include <cstdint>
#include <string>
#include <utility>

// A register of the crashed thread. Immutable.
class BITCrashCoreReportRegisterInfo {
  public:
    BITCrashCoreReportRegisterInfo(std::string registerName, uint64_t registerValue)
        : registerName_(std::move(registerName)), registerValue_(registerValue) {}

    const std::string& registerName() const { return registerName_; }
    uint64_t registerValue() const { return registerValue_; }

  private:
    std::string registerName_;
    uint64_t registerValue_;
};
