#include "sdk/crash/BITCrashCoreReportBinaryImageInfo.h"

#include <utility>

BITCrashCoreReportBinaryImageInfo::BITCrashCoreReportBinaryImageInfo(
    std::optional<BITCrashCoreReportProcessorInfo> codeType, uint64_t baseAddress, uint64_t size,
    std::string name, const std::optional<std::vector<uint8_t>>& uuid)
    : codeType_(std::move(codeType)),
      baseAddress_(baseAddress),
      size_(size),
      name_(std::move(name)) {
    if (uuid) {
        static constexpr char digits[] = "0123456789abcdef";
        hasImageUUID_ = true;
        for (uint8_t byte : *uuid) {
            imageUUID_.push_back(digits[byte >> 4]);
            imageUUID_.push_back(digits[byte & 0xf]);
        }
    }
}
