#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/crash/BITCrashCoreFileWriter.h"
#include "sdk/crash/BITCrashCoreThreadState.h"

class BITCrashCoreAsyncImageList;

// What is known of the signal a report is written for. The Mach part is
// carried for the report format; this system fills it only in tests.
struct BITCrashCoreSignalInfo {
    int signal = 0;
    int code = 0;
    uint64_t address = 0;
    bool hasMachException = false;
    uint64_t machExceptionType = 0;
    const uint64_t* machExceptionCodes = nullptr;
    size_t machExceptionCodeCount = 0;
};

// Writes one crash report (the "zvcrash" file) from inside a crashing process.
// Everything that needs allocation or system queries is gathered by prepare;
// write then only reads memory, walks stacks and writes bytes.
class BITCrashCoreLogWriter {
  public:
    static constexpr int maximumFrames = 512;

    // Gathers the report's fixed facts and reserves the thread stop signal.
    // BITCrashCoreEInvalidArgument when the current process cannot be read.
    int prepare(const std::string& applicationIdentifier, const std::string& applicationVersion,
                const std::optional<std::string>& applicationMarketingVersion,
                uint32_t symbolicationStrategy, bool userRequested);
    // Records the uncaught exception whose frames go into the report; a second
    // call replaces the first.
    void setException(const std::string& name, const std::string& reason,
                      std::vector<uintptr_t> returnAddresses);

    // Writes the report to output. crashedThread is a kernel thread id; the
    // calling thread is written only when callingThreadState is given. When
    // another thread crashed and waits for the report (the exception server
    // writes it), crashedThreadState is its state at the fault, which replaces
    // what stopping it would record. Runs in signal context.
    int write(int crashedThread, BITCrashCoreAsyncImageList* images, BITCrashCoreFileWriter* output,
              const BITCrashCoreSignalInfo& signal,
              const BITCrashCoreThreadState* callingThreadState,
              const BITCrashCoreThreadState* crashedThreadState = nullptr);
    // Creates (0644, truncating) the file at path and writes the report to it,
    // capped at sizeCap bytes: a report that would be larger keeps fewer frames
    // and images instead of being cut. Runs in signal context.
    int writeReportToPath(const char* path, int crashedThread, BITCrashCoreAsyncImageList* images,
                          const BITCrashCoreSignalInfo& signal,
                          const BITCrashCoreThreadState* callingThreadState,
                          const BITCrashCoreThreadState* crashedThreadState = nullptr,
                          uint64_t sizeCap = BITCrashCoreFileWriter::reportSizeCap);
    int close() { return 0; }

    // Where the thread list is read ("/proc/self/task"); tests point it elsewhere.
    void setTaskDirectory(std::string directory) { taskDirectory_ = std::move(directory); }

    // The prepared facts, read by the report routines.
    struct Facts {
        uint32_t symbolicationStrategy = 0;
        bool userRequested = false;
        uint8_t uuid[16] = {};
        std::string osVersion;
        std::string osBuild;
        std::optional<std::string> machineModel;
        uint64_t cpuType = 0;
        uint64_t cpuSubtype = 0;
        uint32_t processorCount = 0;
        uint32_t logicalProcessorCount = 0;
        std::string applicationIdentifier;
        std::string applicationVersion;
        std::optional<std::string> applicationMarketingVersion;
        std::optional<std::string> processName;
        uint32_t processID = 0;
        std::optional<std::string> processPath;
        uint64_t startTime = 0;
        uint32_t parentProcessID = 0;
        std::optional<std::string> parentProcessName;
        bool native = true;
        bool hasException = false;
        std::string exceptionName;
        std::string exceptionReason;
        std::vector<uintptr_t> exceptionFrames;
    };
    const Facts& facts() const { return facts_; }

  private:
    Facts facts_;
    std::string taskDirectory_ = "/proc/self/task";
};
