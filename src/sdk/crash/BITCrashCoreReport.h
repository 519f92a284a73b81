#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"
#include "sdk/crash/BITCrashCoreReportApplicationInfo.h"
#include "sdk/crash/BITCrashCoreReportBinaryImageInfo.h"
#include "sdk/crash/BITCrashCoreReportExceptionInfo.h"
#include "sdk/crash/BITCrashCoreReportMachExceptionInfo.h"
#include "sdk/crash/BITCrashCoreReportMachineInfo.h"
#include "sdk/crash/BITCrashCoreReportProcessInfo.h"
#include "sdk/crash/BITCrashCoreReportReader.h"
#include "sdk/crash/BITCrashCoreReportSignalInfo.h"
#include "sdk/crash/BITCrashCoreReportSystemInfo.h"
#include "sdk/crash/BITCrashCoreReportThreadInfo.h"

// A decoded crash report file: an immutable tree of the report's facts.
// Decoding runs at the next launch, never at crash time.
class BITCrashCoreReport {
  public:
    // nullptr with the error (domain "BITCrashCoreErrorDomain", code 2 for
    // anything wrong with the bytes) when the data is not a whole, valid
    // report; never a partial report.
    static std::shared_ptr<BITCrashCoreReport> createWithData(const Value::Data& data,
                                                              NSError* error);

    bool hasMachineInfo() const { return machineInfo_.has_value(); }
    bool hasProcessInfo() const { return processInfo_.has_value(); }
    bool hasExceptionInfo() const { return exceptionInfo_.has_value(); }

    const BITCrashCoreReportSystemInfo& systemInfo() const { return *systemInfo_; }
    const std::optional<BITCrashCoreReportMachineInfo>& machineInfo() const { return machineInfo_; }
    const BITCrashCoreReportApplicationInfo& applicationInfo() const { return *applicationInfo_; }
    const std::optional<BITCrashCoreReportProcessInfo>& processInfo() const { return processInfo_; }
    const BITCrashCoreReportSignalInfo& signalInfo() const { return *signalInfo_; }
    const std::optional<BITCrashCoreReportMachExceptionInfo>& machExceptionInfo() const {
        return machExceptionInfo_;
    }
    const std::vector<BITCrashCoreReportThreadInfo>& threads() const { return threads_; }
    const std::vector<BITCrashCoreReportBinaryImageInfo>& images() const { return images_; }
    const std::optional<BITCrashCoreReportExceptionInfo>& exceptionInfo() const {
        return exceptionInfo_;
    }
    // The report's UUID; nullopt when the file has none.
    const std::optional<std::array<uint8_t, 16>>& uuidRef() const { return uuid_; }
    // The UUID as 36 upper-case characters in groups of 8-4-4-4-12.
    std::optional<std::string> uuidString() const;

    // The first image (in images() order) with base <= address < base + size.
    const BITCrashCoreReportBinaryImageInfo* imageForAddress(uint64_t address) const;

  private:
    BITCrashCoreReport() = default;

    // Each step of decoding: nullopt with the error (code 2) when the part
    // is missing or incomplete.
    static BITCrashCoreReportMessage decodeCrashDataError(const Value::Data& data, NSError* error);
    static std::optional<BITCrashCoreReportSystemInfo> extractSystemInfoError(
        const Zvcrash__CrashReport__SystemInfo* info, NSError* error);
    static std::optional<BITCrashCoreReportProcessorInfo> extractProcessorInfoError(
        const Zvcrash__CrashReport__Processor* processor, NSError* error);
    static std::optional<BITCrashCoreReportMachineInfo> extractMachineInfoError(
        const Zvcrash__CrashReport__MachineInfo* info, NSError* error);
    static std::optional<BITCrashCoreReportApplicationInfo> extractApplicationInfoError(
        const Zvcrash__CrashReport__ApplicationInfo* info, NSError* error);
    static std::optional<BITCrashCoreReportProcessInfo> extractProcessInfoError(
        const Zvcrash__CrashReport__ProcessInfo* info, NSError* error);
    static std::optional<BITCrashCoreReportSymbolInfo> extractSymbolInfoError(
        const Zvcrash__CrashReport__Symbol* symbol, NSError* error);
    static std::optional<BITCrashCoreReportStackFrameInfo> extractStackFrameInfoError(
        const Zvcrash__CrashReport__Thread__StackFrame* frame, NSError* error);
    static std::optional<std::vector<BITCrashCoreReportStackFrameInfo>> extractFrames(
        Zvcrash__CrashReport__Thread__StackFrame** frames, size_t count, NSError* error);
    static std::optional<BITCrashCoreReportThreadInfo> extractThreadInfoError(
        const Zvcrash__CrashReport__Thread* thread, NSError* error);
    static std::optional<BITCrashCoreReportBinaryImageInfo> extractImageInfoError(
        const Zvcrash__CrashReport__BinaryImage* image, NSError* error);
    static std::optional<BITCrashCoreReportExceptionInfo> extractExceptionInfoError(
        const Zvcrash__CrashReport__Exception* info, NSError* error);
    static std::optional<BITCrashCoreReportSignalInfo> extractSignalInfoError(
        const Zvcrash__CrashReport__Signal* signal, NSError* error);
    static std::optional<BITCrashCoreReportMachExceptionInfo> extractMachExceptionInfoError(
        const Zvcrash__CrashReport__Signal__MachException* exception, NSError* error);

    std::optional<BITCrashCoreReportSystemInfo> systemInfo_;
    std::optional<BITCrashCoreReportMachineInfo> machineInfo_;
    std::optional<BITCrashCoreReportApplicationInfo> applicationInfo_;
    std::optional<BITCrashCoreReportProcessInfo> processInfo_;
    std::optional<BITCrashCoreReportSignalInfo> signalInfo_;
    std::optional<BITCrashCoreReportMachExceptionInfo> machExceptionInfo_;
    std::vector<BITCrashCoreReportThreadInfo> threads_;
    std::vector<BITCrashCoreReportBinaryImageInfo> images_;
    std::optional<BITCrashCoreReportExceptionInfo> exceptionInfo_;
    std::optional<std::array<uint8_t, 16>> uuid_;
};
