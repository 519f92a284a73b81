// Feeds arbitrary bytes to the crash report reader: header checks, protobuf-c
// unpacking and the reader's own checks; a decoded report is walked whole.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreReportReader.h"

namespace {

size_t touch(const char* text) {
    return text != nullptr ? strlen(text) : 0;
}

size_t touchFrames(Zvcrash__CrashReport__Thread__StackFrame** frames, size_t count) {
    size_t sum = 0;
    for (size_t i = 0; i < count; i++) {
        sum += frames[i]->pc;
        if (frames[i]->symbol != nullptr) {
            sum += touch(frames[i]->symbol->name) + frames[i]->symbol->start_address;
        }
    }
    return sum;
}

size_t walk(const Zvcrash__CrashReport& report) {
    size_t sum = touch(report.system_info->os_version) + touch(report.system_info->os_build);
    sum += touch(report.application_info->identifier) + touch(report.application_info->version);
    sum += touch(report.signal->name) + touch(report.signal->code);
    if (report.signal->mach_exception != nullptr) {
        for (size_t i = 0; i < report.signal->mach_exception->n_codes; i++) {
            sum += report.signal->mach_exception->codes[i];
        }
    }
    for (size_t t = 0; t < report.n_threads; t++) {
        const Zvcrash__CrashReport__Thread& thread = *report.threads[t];
        sum += touchFrames(thread.frames, thread.n_frames);
        for (size_t r = 0; r < thread.n_registers; r++) {
            sum += touch(thread.registers[r]->name) + thread.registers[r]->value;
        }
    }
    for (size_t i = 0; i < report.n_binary_images; i++) {
        const Zvcrash__CrashReport__BinaryImage& image = *report.binary_images[i];
        sum += touch(image.name) + image.base_address + image.size;
        for (size_t b = 0; image.has_uuid && b < image.uuid.len; b++) {
            sum += image.uuid.data[b];
        }
    }
    if (report.exception != nullptr) {
        sum += touch(report.exception->name) + touch(report.exception->reason);
        sum += touchFrames(report.exception->frames, report.exception->n_frames);
    }
    if (report.process_info != nullptr) {
        sum += touch(report.process_info->process_name) + touch(report.process_info->process_path);
    }
    if (report.machine_info != nullptr) {
        sum += touch(report.machine_info->model) + report.machine_info->processor->type;
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    NSError error;
    BITCrashCoreReportMessage report = BITCrashCoreDecodeCrashData(data, size, &error);
    if (report != nullptr) {
        volatile size_t sink = walk(*report);
        (void)sink;
    }
    return 0;
}
