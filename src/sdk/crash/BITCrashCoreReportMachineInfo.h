#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "sdk/crash/BITCrashCoreReportProcessorInfo.h"

// The machine: model, processor and processor counts. Immutable.
class BITCrashCoreReportMachineInfo {
  public:
    BITCrashCoreReportMachineInfo(std::optional<std::string> modelName,
                                  std::optional<BITCrashCoreReportProcessorInfo> processorInfo,
                                  uint32_t processorCount, uint32_t logicalProcessorCount)
        : modelName_(std::move(modelName)),
          processorInfo_(std::move(processorInfo)),
          processorCount_(processorCount),
          logicalProcessorCount_(logicalProcessorCount) {}

    const std::optional<std::string>& modelName() const { return modelName_; }
    const std::optional<BITCrashCoreReportProcessorInfo>& processorInfo() const {
        return processorInfo_;
    }
    uint32_t processorCount() const { return processorCount_; }
    uint32_t logicalProcessorCount() const { return logicalProcessorCount_; }

  private:
    std::optional<std::string> modelName_;
    std::optional<BITCrashCoreReportProcessorInfo> processorInfo_;
    uint32_t processorCount_;
    uint32_t logicalProcessorCount_;
};
