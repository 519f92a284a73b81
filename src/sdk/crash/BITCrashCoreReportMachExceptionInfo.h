#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// The exception type and codes, when the report carries them. Immutable.
class BITCrashCoreReportMachExceptionInfo {
  public:
    BITCrashCoreReportMachExceptionInfo(uint64_t type, std::vector<uint64_t> codes)
        : type_(type), codes_(std::move(codes)) {}

    uint64_t type() const { return type_; }
    const std::vector<uint64_t>& codes() const { return codes_; }

  private:
    uint64_t type_;
    std::vector<uint64_t> codes_;
};
