#pragma once

#include <cstdint>
#include <string>
#include <utility>

// The signal the process died of: names of signal and code, and the fault address. Immutable.
class BITCrashCoreReportSignalInfo {
  public:
    BITCrashCoreReportSignalInfo(std::string name, std::string code, uint64_t address)
        : name_(std::move(name)), code_(std::move(code)), address_(address) {}

    const std::string& name() const { return name_; }
    const std::string& code() const { return code_; }
    uint64_t address() const { return address_; }

  private:
    std::string name_;
    std::string code_;
    uint64_t address_;
};
