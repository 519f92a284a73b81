#include "sdk/crash/BITCrashCoreReport.h"

#include <algorithm>
#include <cstdio>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreReportReader.h"

namespace {

constexpr size_t kMachExceptionCodeLimit = 256;

// Logs the failure and sets the error; the result ends the extraction.
std::nullopt_t fail(NSError* error, const char* text, bool localized = true) {
    const std::string message =
        localized ? NSBundle::mainBundle()->localizedStringForKey(text, "") : std::string(text);
    NSLogWithLevel(NSLogLevel::Error, "%s", message.c_str());
    BITCrashCoreSetError(error, BITCrashCoreErrorCrashReportInvalid, message);
    return std::nullopt;
}

std::optional<std::string> optionalText(const char* text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

NSDate dateSince1970(int64_t seconds) {
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(seconds));
}

}  // namespace

BITCrashCoreReportMessage BITCrashCoreReport::decodeCrashDataError(const Value::Data& data,
                                                                   NSError* error) {
    return BITCrashCoreDecodeCrashData(data, error);
}

std::optional<BITCrashCoreReportSystemInfo> BITCrashCoreReport::extractSystemInfoError(
    const Zvcrash__CrashReport__SystemInfo* info, NSError* error) {
    if (info == nullptr) {
        return fail(error, "Crash report is missing System Information section");
    }
    if (info->os_version == nullptr) {
        return fail(error, "Crash report is missing System Information OS version field");
    }
    std::optional<NSDate> timestamp;
    if (info->timestamp != 0) {
        timestamp = dateSince1970(info->timestamp);
    }
    return BITCrashCoreReportSystemInfo(info->operating_system, info->os_version,
                                        optionalText(info->os_build), info->architecture,
                                        timestamp);
}

std::optional<BITCrashCoreReportProcessorInfo> BITCrashCoreReport::extractProcessorInfoError(
    const Zvcrash__CrashReport__Processor* processor, NSError* error) {
    if (processor == nullptr) {
        return fail(error, "Crash report is missing processor info section");
    }
    return BITCrashCoreReportProcessorInfo(processor->encoding, processor->type,
                                           processor->subtype);
}

std::optional<BITCrashCoreReportMachineInfo> BITCrashCoreReport::extractMachineInfoError(
    const Zvcrash__CrashReport__MachineInfo* info, NSError* error) {
    if (info == nullptr) {
        return fail(error, "Crash report is missing Machine Information section");
    }
    std::optional<BITCrashCoreReportProcessorInfo> processor;
    if (info->processor != nullptr) {
        processor = extractProcessorInfoError(info->processor, error);
        if (!processor) {
            return std::nullopt;
        }
    }
    return BITCrashCoreReportMachineInfo(optionalText(info->model), processor,
                                         info->processor_count, info->logical_processor_count);
}

std::optional<BITCrashCoreReportApplicationInfo> BITCrashCoreReport::extractApplicationInfoError(
    const Zvcrash__CrashReport__ApplicationInfo* info, NSError* error) {
    if (info == nullptr) {
        return fail(error, "Crash report is missing Application Information section");
    }
    if (info->identifier == nullptr) {
        return fail(error, "Crash report is missing Application Information app identifier field");
    }
    if (info->version == nullptr) {
        return fail(error, "Crash report is missing Application Information app version field");
    }
    return BITCrashCoreReportApplicationInfo(info->identifier, info->version,
                                             optionalText(info->marketing_version));
}

std::optional<BITCrashCoreReportProcessInfo> BITCrashCoreReport::extractProcessInfoError(
    const Zvcrash__CrashReport__ProcessInfo* info, NSError* error) {
    if (info == nullptr) {
        return fail(error, "Crash report is missing Process Information section");
    }
    std::optional<NSDate> startTime;
    if (info->has_start_time) {
        startTime = dateSince1970(static_cast<int64_t>(info->start_time));
    }
    return BITCrashCoreReportProcessInfo(optionalText(info->process_name), info->process_id,
                                         optionalText(info->process_path), startTime,
                                         optionalText(info->parent_process_name),
                                         info->parent_process_id, info->native != 0);
}

std::optional<BITCrashCoreReportSymbolInfo> BITCrashCoreReport::extractSymbolInfoError(
    const Zvcrash__CrashReport__Symbol* symbol, NSError* error) {
    if (symbol == nullptr || symbol->name == nullptr) {
        return fail(error, "Crash report is missing symbol information");
    }
    return BITCrashCoreReportSymbolInfo(symbol->name, symbol->start_address,
                                        symbol->has_end_address ? symbol->end_address : 0);
}

std::optional<BITCrashCoreReportStackFrameInfo> BITCrashCoreReport::extractStackFrameInfoError(
    const Zvcrash__CrashReport__Thread__StackFrame* frame, NSError* error) {
    if (frame == nullptr) {
        return fail(error, "Crash report is missing stack frame information");
    }
    std::optional<BITCrashCoreReportSymbolInfo> symbol;
    if (frame->symbol != nullptr) {
        symbol = extractSymbolInfoError(frame->symbol, error);
        if (!symbol) {
            return std::nullopt;
        }
    }
    return BITCrashCoreReportStackFrameInfo(frame->pc, symbol);
}

std::optional<std::vector<BITCrashCoreReportStackFrameInfo>> BITCrashCoreReport::extractFrames(
    Zvcrash__CrashReport__Thread__StackFrame** frames, size_t count, NSError* error) {
    std::vector<BITCrashCoreReportStackFrameInfo> result;
    result.reserve(count);
    for (size_t i = 0; i < count; i++) {
        auto frame = extractStackFrameInfoError(frames[i], error);
        if (!frame) {
            return std::nullopt;
        }
        result.push_back(std::move(*frame));
    }
    return result;
}

std::optional<BITCrashCoreReportThreadInfo> BITCrashCoreReport::extractThreadInfoError(
    const Zvcrash__CrashReport__Thread* thread, NSError* error) {
    if (thread == nullptr) {
        return fail(error, "Crash report is missing thread state information");
    }
    std::vector<BITCrashCoreReportRegisterInfo> registers;
    registers.reserve(thread->n_registers);
    for (size_t i = 0; i < thread->n_registers; i++) {
        const auto* value = thread->registers[i];
        if (value == nullptr || value->name == nullptr) {
            return fail(error, "Missing register name in register value", false);
        }
        registers.emplace_back(value->name, value->value);
    }
    auto frames = extractFrames(thread->frames, thread->n_frames, error);
    if (!frames) {
        return std::nullopt;
    }
    return BITCrashCoreReportThreadInfo(static_cast<int>(thread->thread_number), std::move(*frames),
                                        thread->crashed != 0, std::move(registers));
}

std::optional<BITCrashCoreReportBinaryImageInfo> BITCrashCoreReport::extractImageInfoError(
    const Zvcrash__CrashReport__BinaryImage* image, NSError* error) {
    if (image == nullptr || image->name == nullptr) {
        return fail(error, "Missing image name in image record", false);
    }
    std::optional<std::vector<uint8_t>> uuid;
    if (image->has_uuid) {
        uuid = std::vector<uint8_t>(image->uuid.data, image->uuid.data + image->uuid.len);
    }
    std::optional<BITCrashCoreReportProcessorInfo> codeType;
    if (image->code_type != nullptr) {
        codeType = extractProcessorInfoError(image->code_type, error);
        if (!codeType) {
            return std::nullopt;
        }
    }
    return BITCrashCoreReportBinaryImageInfo(codeType, image->base_address, image->size,
                                             image->name, uuid);
}

std::optional<BITCrashCoreReportExceptionInfo> BITCrashCoreReport::extractExceptionInfoError(
    const Zvcrash__CrashReport__Exception* info, NSError* error) {
    if (info == nullptr) {
        return fail(error, "Crash report is missing Exception Information section");
    }
    if (info->name == nullptr) {
        return fail(error, "Crash report is missing exception name field");
    }
    if (info->reason == nullptr) {
        return fail(error, "Crash report is missing exception reason field");
    }
    std::optional<std::vector<BITCrashCoreReportStackFrameInfo>> frames;
    if (info->n_frames > 0) {
        frames = extractFrames(info->frames, info->n_frames, error);
        if (!frames) {
            return std::nullopt;
        }
    }
    return BITCrashCoreReportExceptionInfo(info->name, info->reason, frames);
}

std::optional<BITCrashCoreReportSignalInfo> BITCrashCoreReport::extractSignalInfoError(
    const Zvcrash__CrashReport__Signal* signal, NSError* error) {
    if (signal == nullptr) {
        return fail(error, "Crash report is missing Signal Information section");
    }
    if (signal->name == nullptr) {
        return fail(error, "Crash report is missing signal name field");
    }
    if (signal->code == nullptr) {
        return fail(error, "Crash report is missing signal code field");
    }
    return BITCrashCoreReportSignalInfo(signal->name, signal->code, signal->address);
}

std::optional<BITCrashCoreReportMachExceptionInfo>
BITCrashCoreReport::extractMachExceptionInfoError(
    const Zvcrash__CrashReport__Signal__MachException* exception, NSError* error) {
    if (exception == nullptr) {
        return fail(error, "Crash report is missing Mach Exception Information section");
    }
    if (exception->n_codes >= kMachExceptionCodeLimit) {
        return fail(error, "Crash report includes too many Mach Exception codes");
    }
    return BITCrashCoreReportMachExceptionInfo(
        exception->type,
        std::vector<uint64_t>(exception->codes, exception->codes + exception->n_codes));
}

std::shared_ptr<BITCrashCoreReport> BITCrashCoreReport::createWithData(const Value::Data& data,
                                                                       NSError* error) {
    BITCrashCoreReportMessage message = decodeCrashDataError(data, error);
    if (message == nullptr) {
        return nullptr;
    }
    std::shared_ptr<BITCrashCoreReport> report(new BITCrashCoreReport());
    if (message->report_info != nullptr && message->report_info->has_uuid) {
        std::array<uint8_t, 16> uuid;
        std::copy(message->report_info->uuid.data, message->report_info->uuid.data + 16,
                  uuid.begin());
        report->uuid_ = uuid;
    }
    report->systemInfo_ = extractSystemInfoError(message->system_info, error);
    if (!report->systemInfo_) {
        return nullptr;
    }
    if (message->machine_info != nullptr) {
        report->machineInfo_ = extractMachineInfoError(message->machine_info, error);
        if (!report->machineInfo_) {
            return nullptr;
        }
    }
    report->applicationInfo_ = extractApplicationInfoError(message->application_info, error);
    if (!report->applicationInfo_) {
        return nullptr;
    }
    if (message->process_info != nullptr) {
        report->processInfo_ = extractProcessInfoError(message->process_info, error);
        if (!report->processInfo_) {
            return nullptr;
        }
    }
    report->signalInfo_ = extractSignalInfoError(message->signal, error);
    if (!report->signalInfo_) {
        return nullptr;
    }
    if (message->signal->mach_exception != nullptr) {
        report->machExceptionInfo_ =
            extractMachExceptionInfoError(message->signal->mach_exception, error);
        if (!report->machExceptionInfo_) {
            return nullptr;
        }
    }
    if (message->n_threads == 0) {
        fail(error, "Crash report is missing thread state information");
        return nullptr;
    }
    for (size_t i = 0; i < message->n_threads; i++) {
        auto thread = extractThreadInfoError(message->threads[i], error);
        if (!thread) {
            return nullptr;
        }
        report->threads_.push_back(std::move(*thread));
    }
    if (message->n_binary_images == 0) {
        fail(error, "Crash report is missing binary image information");
        return nullptr;
    }
    for (size_t i = 0; i < message->n_binary_images; i++) {
        auto image = extractImageInfoError(message->binary_images[i], error);
        if (!image) {
            return nullptr;
        }
        report->images_.push_back(std::move(*image));
    }
    if (message->exception != nullptr) {
        report->exceptionInfo_ = extractExceptionInfoError(message->exception, error);
        if (!report->exceptionInfo_) {
            return nullptr;
        }
    }
    return report;
}

std::optional<std::string> BITCrashCoreReport::uuidString() const {
    if (!uuid_) {
        return std::nullopt;
    }
    const std::array<uint8_t, 16>& b = *uuid_;
    char text[37];
    snprintf(text, sizeof(text),
             "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
             b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
             b[15]);
    return std::string(text);
}

const BITCrashCoreReportBinaryImageInfo* BITCrashCoreReport::imageForAddress(
    uint64_t address) const {
    for (const BITCrashCoreReportBinaryImageInfo& image : images_) {
        if (image.imageBaseAddress() <= address &&
            address - image.imageBaseAddress() < image.imageSize()) {
            return &image;
        }
    }
    return nullptr;
}
