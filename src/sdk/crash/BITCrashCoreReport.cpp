#include "sdk/crash/BITCrashCoreReport.h"

#include <algorithm>
#include <cstdio>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreReportReader.h"

namespace {

constexpr size_t kMachExceptionCodeLimit = 256;

// Raised inside the extraction only; createWithData turns it into an error.
struct ExtractionFailure {
    std::string message;
};

[[noreturn]] void fail(const char* text, bool localized = true) {
    throw ExtractionFailure{localized ? NSBundle::mainBundle()->localizedStringForKey(text, "")
                                      : std::string(text)};
}

std::optional<std::string> optionalText(const char* text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

NSDate dateSince1970(int64_t seconds) {
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(seconds));
}

BITCrashCoreReportSystemInfo extractSystemInfo(const Zvcrash__CrashReport__SystemInfo* info) {
    if (info == nullptr) {
        fail("Crash report is missing System Information section");
    }
    if (info->os_version == nullptr) {
        fail("Crash report is missing System Information OS version field");
    }
    std::optional<NSDate> timestamp;
    if (info->timestamp != 0) {
        timestamp = dateSince1970(info->timestamp);
    }
    return {info->operating_system, info->os_version, optionalText(info->os_build),
            info->architecture, timestamp};
}

BITCrashCoreReportProcessorInfo extractProcessorInfo(
    const Zvcrash__CrashReport__Processor* processor) {
    if (processor == nullptr) {
        fail("Crash report is missing processor info section");
    }
    return {processor->encoding, processor->type, processor->subtype};
}

BITCrashCoreReportMachineInfo extractMachineInfo(const Zvcrash__CrashReport__MachineInfo* info) {
    if (info == nullptr) {
        fail("Crash report is missing Machine Information section");
    }
    std::optional<BITCrashCoreReportProcessorInfo> processor;
    if (info->processor != nullptr) {
        processor = extractProcessorInfo(info->processor);
    }
    return {optionalText(info->model), processor, info->processor_count,
            info->logical_processor_count};
}

BITCrashCoreReportApplicationInfo extractApplicationInfo(
    const Zvcrash__CrashReport__ApplicationInfo* info) {
    if (info == nullptr) {
        fail("Crash report is missing Application Information section");
    }
    if (info->identifier == nullptr) {
        fail("Crash report is missing Application Information app identifier field");
    }
    if (info->version == nullptr) {
        fail("Crash report is missing Application Information app version field");
    }
    return {info->identifier, info->version, optionalText(info->marketing_version)};
}

BITCrashCoreReportProcessInfo extractProcessInfo(const Zvcrash__CrashReport__ProcessInfo* info) {
    if (info == nullptr) {
        fail("Crash report is missing Process Information section");
    }
    std::optional<NSDate> startTime;
    if (info->has_start_time) {
        startTime = dateSince1970(static_cast<int64_t>(info->start_time));
    }
    return {optionalText(info->process_name),
            info->process_id,
            optionalText(info->process_path),
            startTime,
            optionalText(info->parent_process_name),
            info->parent_process_id,
            info->native != 0};
}

BITCrashCoreReportSymbolInfo extractSymbolInfo(const Zvcrash__CrashReport__Symbol* symbol) {
    if (symbol == nullptr || symbol->name == nullptr) {
        fail("Crash report is missing symbol information");
    }
    return {symbol->name, symbol->start_address, symbol->has_end_address ? symbol->end_address : 0};
}

BITCrashCoreReportStackFrameInfo extractStackFrameInfo(
    const Zvcrash__CrashReport__Thread__StackFrame* frame) {
    if (frame == nullptr) {
        fail("Crash report is missing stack frame information");
    }
    std::optional<BITCrashCoreReportSymbolInfo> symbol;
    if (frame->symbol != nullptr) {
        symbol = extractSymbolInfo(frame->symbol);
    }
    return {frame->pc, symbol};
}

std::vector<BITCrashCoreReportStackFrameInfo> extractFrames(
    Zvcrash__CrashReport__Thread__StackFrame** frames, size_t count) {
    std::vector<BITCrashCoreReportStackFrameInfo> result;
    result.reserve(count);
    for (size_t i = 0; i < count; i++) {
        result.push_back(extractStackFrameInfo(frames[i]));
    }
    return result;
}

BITCrashCoreReportThreadInfo extractThreadInfo(const Zvcrash__CrashReport__Thread* thread) {
    if (thread == nullptr) {
        fail("Crash report is missing thread state information");
    }
    std::vector<BITCrashCoreReportRegisterInfo> registers;
    registers.reserve(thread->n_registers);
    for (size_t i = 0; i < thread->n_registers; i++) {
        const auto* value = thread->registers[i];
        if (value == nullptr || value->name == nullptr) {
            fail("Missing register name in register value", false);
        }
        registers.emplace_back(value->name, value->value);
    }
    return {static_cast<int>(thread->thread_number),
            extractFrames(thread->frames, thread->n_frames), thread->crashed != 0,
            std::move(registers)};
}

BITCrashCoreReportBinaryImageInfo extractImageInfo(const Zvcrash__CrashReport__BinaryImage* image) {
    if (image == nullptr || image->name == nullptr) {
        fail("Missing image name in image record", false);
    }
    std::optional<std::vector<uint8_t>> uuid;
    if (image->has_uuid) {
        uuid = std::vector<uint8_t>(image->uuid.data, image->uuid.data + image->uuid.len);
    }
    std::optional<BITCrashCoreReportProcessorInfo> codeType;
    if (image->code_type != nullptr) {
        codeType = extractProcessorInfo(image->code_type);
    }
    return {codeType, image->base_address, image->size, image->name, uuid};
}

BITCrashCoreReportExceptionInfo extractExceptionInfo(const Zvcrash__CrashReport__Exception* info) {
    if (info == nullptr) {
        fail("Crash report is missing Exception Information section");
    }
    if (info->name == nullptr) {
        fail("Crash report is missing exception name field");
    }
    if (info->reason == nullptr) {
        fail("Crash report is missing exception reason field");
    }
    std::optional<std::vector<BITCrashCoreReportStackFrameInfo>> frames;
    if (info->n_frames > 0) {
        frames = extractFrames(info->frames, info->n_frames);
    }
    return {info->name, info->reason, frames};
}

BITCrashCoreReportSignalInfo extractSignalInfo(const Zvcrash__CrashReport__Signal* signal) {
    if (signal == nullptr) {
        fail("Crash report is missing Signal Information section");
    }
    if (signal->name == nullptr) {
        fail("Crash report is missing signal name field");
    }
    if (signal->code == nullptr) {
        fail("Crash report is missing signal code field");
    }
    return {signal->name, signal->code, signal->address};
}

BITCrashCoreReportMachExceptionInfo extractMachExceptionInfo(
    const Zvcrash__CrashReport__Signal__MachException* exception) {
    if (exception == nullptr) {
        fail("Crash report is missing Mach Exception Information section");
    }
    if (exception->n_codes >= kMachExceptionCodeLimit) {
        fail("Crash report includes too many Mach Exception codes");
    }
    return {exception->type,
            std::vector<uint64_t>(exception->codes, exception->codes + exception->n_codes)};
}

}  // namespace

std::shared_ptr<BITCrashCoreReport> BITCrashCoreReport::createWithData(const Value::Data& data,
                                                                       NSError* error) {
    BITCrashCoreReportMessage message = BITCrashCoreDecodeCrashData(data, error);
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
    try {
        report->systemInfo_ = extractSystemInfo(message->system_info);
        if (message->machine_info != nullptr) {
            report->machineInfo_ = extractMachineInfo(message->machine_info);
        }
        report->applicationInfo_ = extractApplicationInfo(message->application_info);
        if (message->process_info != nullptr) {
            report->processInfo_ = extractProcessInfo(message->process_info);
        }
        report->signalInfo_ = extractSignalInfo(message->signal);
        if (message->signal->mach_exception != nullptr) {
            report->machExceptionInfo_ = extractMachExceptionInfo(message->signal->mach_exception);
        }
        if (message->n_threads == 0) {
            fail("Crash report is missing thread state information");
        }
        for (size_t i = 0; i < message->n_threads; i++) {
            report->threads_.push_back(extractThreadInfo(message->threads[i]));
        }
        if (message->n_binary_images == 0) {
            fail("Crash report is missing binary image information");
        }
        for (size_t i = 0; i < message->n_binary_images; i++) {
            report->images_.push_back(extractImageInfo(message->binary_images[i]));
        }
        if (message->exception != nullptr) {
            report->exceptionInfo_ = extractExceptionInfo(message->exception);
        }
    } catch (const ExtractionFailure& failure) {
        NSLogWithLevel(NSLogLevel::Error, "%s", failure.message.c_str());
        BITCrashCoreSetError(error, BITCrashCoreErrorCrashReportInvalid, failure.message);
        return nullptr;
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
