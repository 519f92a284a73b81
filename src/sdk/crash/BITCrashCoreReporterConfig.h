#pragma once

#include <cstdint>
#include <memory>

// How crashes are caught.
enum BITCrashCoreSignalHandlerType : uint32_t {
    BITCrashCoreSignalHandlerTypeBSD = 0,   // signal handlers on the faulting thread
    BITCrashCoreSignalHandlerTypeMach = 1,  // the exception server thread
};

// The crash reporter's configuration: the handler type and the
// symbolication strategy (BITCrashCoreSymbolicationStrategy bits).
class BITCrashCoreReporterConfig {
  public:
    BITCrashCoreReporterConfig() = default;
    BITCrashCoreReporterConfig(uint32_t signalHandlerType, uint32_t symbolicationStrategy)
        : signalHandlerType_(signalHandlerType), symbolicationStrategy_(symbolicationStrategy) {}

    static std::shared_ptr<BITCrashCoreReporterConfig> defaultConfiguration() {
        return std::make_shared<BITCrashCoreReporterConfig>();
    }

    uint32_t signalHandlerType() const { return signalHandlerType_; }
    uint32_t symbolicationStrategy() const { return symbolicationStrategy_; }

  private:
    uint32_t signalHandlerType_ = BITCrashCoreSignalHandlerTypeBSD;
    uint32_t symbolicationStrategy_ = 0;
};
