#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/crash/BITCrashCoreReportProcessorInfo.h"

// One loaded image: processor type, where it lay, its path and its UUID
// (the build id here) as lower-case hexadecimal. Immutable.
class BITCrashCoreReportBinaryImageInfo {
  public:
    BITCrashCoreReportBinaryImageInfo(std::optional<BITCrashCoreReportProcessorInfo> codeType,
                                      uint64_t baseAddress, uint64_t size, std::string name,
                                      const std::optional<std::vector<uint8_t>>& uuid);

    const std::optional<BITCrashCoreReportProcessorInfo>& codeType() const { return codeType_; }
    uint64_t imageBaseAddress() const { return baseAddress_; }
    uint64_t imageSize() const { return size_; }
    const std::string& imageName() const { return name_; }
    bool hasImageUUID() const { return hasImageUUID_; }
    const std::string& imageUUID() const { return imageUUID_; }

  private:
    std::optional<BITCrashCoreReportProcessorInfo> codeType_;
    uint64_t baseAddress_;
    uint64_t size_;
    std::string name_;
    bool hasImageUUID_ = false;
    std::string imageUUID_;
};
