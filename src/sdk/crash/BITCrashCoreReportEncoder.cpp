#include "sdk/crash/BITCrashCoreReportEncoder.h"

#include <elf.h>

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreFrameCursor.h"
#include "sdk/crash/BITCrashCoreProtobufEncoder.h"
#include "sdk/crash/BITCrashCoreSignalNames.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"
#include "sdk/crash/BITCrashCoreThreadList.h"

namespace {

using T = BITCrashCoreProtobufType;

constexpr uint32_t kOperatingSystemUnknown = 3;
constexpr uint32_t kArchitectureX86_64 = 1;
constexpr uint32_t kTypeEncodingUnknown = 0;
constexpr uint32_t kTypeEncodingMach = 1;

// Field numbers of the report message.
namespace Report {
constexpr uint32_t systemInfo = 1, applicationInfo = 2, threads = 3, binaryImages = 4,
                   exception = 5, signal = 6, processInfo = 7, machineInfo = 8, reportInfo = 9;
}

// Sizes a sub-message by a dry run of body, writes its key and length, then
// the body itself. Runs in signal context.
template <typename Body>
size_t writeMessage(BITCrashCoreFileWriter* output, uint32_t field, Body body) {
    uint32_t length = static_cast<uint32_t>(body(nullptr));
    size_t size = BITCrashCoreProtobufWriteField(output, field, T::Message, &length);
    if (output != nullptr) {
        body(output);
    }
    return size + length;
}

// Runs in signal context.
size_t writeString(BITCrashCoreFileWriter* output, uint32_t field, const char* text) {
    return BITCrashCoreProtobufWriteField(output, field, T::String, text);
}

// Runs in signal context.
size_t writeUInt64(BITCrashCoreFileWriter* output, uint32_t field, uint64_t value) {
    return BITCrashCoreProtobufWriteField(output, field, T::UInt64, &value);
}

// Runs in signal context.
size_t writeUInt32(BITCrashCoreFileWriter* output, uint32_t field, uint32_t value) {
    return BITCrashCoreProtobufWriteField(output, field, T::UInt32, &value);
}

// Runs in signal context.
size_t writeBool(BITCrashCoreFileWriter* output, uint32_t field, bool value) {
    return BITCrashCoreProtobufWriteField(output, field, T::Bool, &value);
}

// The processor of an ELF machine in the report's CPU type numbering, which
// names x86_64 0x1000007 (subtype 3, all models).
struct ProcessorType {
    uint32_t encoding;
    uint64_t type;
    uint64_t subtype;
};

// Runs in signal context.
ProcessorType processorForMachine(uint16_t machine) {
    switch (machine) {
        case EM_X86_64:
            return {kTypeEncodingMach, 0x1000007, 3};
        case EM_386:
            return {kTypeEncodingMach, 7, 3};
        case EM_AARCH64:
            return {kTypeEncodingMach, 0x100000c, 0};
        case EM_ARM:
            return {kTypeEncodingMach, 12, 9};
        default:
            return {kTypeEncodingUnknown, machine, 0};
    }
}

// Symbol lookups of the current report, by looked-up address; the dry runs
// and the write of a frame ask for the same address several times.
struct CachedSymbol {
    bool valid;
    uint64_t key;
    BITCrashCoreSymbol symbol;
};
constexpr int kSymbolCacheSize = 512;
CachedSymbol symbolCache[kSymbolCacheSize];

// Runs in signal context.
const BITCrashCoreSymbol* lookUpSymbol(BITCrashCoreImage* image, uint32_t strategy,
                                       uint64_t address) {
    CachedSymbol& slot = symbolCache[(address >> 2) % kSymbolCacheSize];
    if (!slot.valid || slot.key != address) {
        BITCrashCoreFindSymbol(image, strategy, address, &slot.symbol);
        slot.key = address;
        slot.valid = true;
    }
    return slot.symbol.found ? &slot.symbol : nullptr;
}

// "#" and the decimal number. Runs in signal context.
void formatUnnamed(char* buffer, size_t capacity, int value) {
    buffer[0] = '#';
    BITCrashCoreFormatDecimal(buffer + 1, capacity - 1, value);
}

}  // namespace

// Runs in signal context.
bool BITCrashCoreReportLimits::shrink() {
    if (otherThreadFrames > 16) {
        otherThreadFrames /= 2;
    } else if (crashedThreadFrames > 64) {
        crashedThreadFrames /= 2;
    } else if (images > 64) {
        images = images > 4096 ? 2048 : images / 2;
    } else if (otherThreads > 8) {
        otherThreads = otherThreads > 4096 ? 2048 : otherThreads / 2;
    } else if (symbols) {
        symbols = false;
    } else if (otherThreadFrames > 1) {
        otherThreadFrames /= 2;
    } else if (crashedThreadFrames > 8) {
        crashedThreadFrames /= 2;
    } else if (otherThreads > 0) {
        otherThreads /= 2;
    } else if (images > 0) {
        images /= 2;
    } else {
        return false;
    }
    return true;
}

// Runs in signal context.
void BITCrashCoreReportEncoder::resetSymbolCache() {
    for (CachedSymbol& slot : symbolCache) {
        slot.valid = false;
    }
}

// Runs in signal context.
uint64_t BITCrashCoreReportEncoder::writeReport(BITCrashCoreFileWriter* output) const {
    uint64_t size = 0;
    size += writeMessage(output, Report::reportInfo,
                         [&](BITCrashCoreFileWriter* o) { return writeReportInfo(o); });
    size += writeMessage(output, Report::systemInfo,
                         [&](BITCrashCoreFileWriter* o) { return writeSystemInfo(o); });
    size += writeMessage(output, Report::machineInfo,
                         [&](BITCrashCoreFileWriter* o) { return writeMachineInfo(o); });
    size += writeMessage(output, Report::applicationInfo,
                         [&](BITCrashCoreFileWriter* o) { return writeApplicationInfo(o); });
    size += writeMessage(output, Report::processInfo,
                         [&](BITCrashCoreFileWriter* o) { return writeProcessInfo(o); });
    size += writeThreads(output);
    size += writeImages(output);
    if (facts->hasException) {
        size += writeMessage(output, Report::exception,
                             [&](BITCrashCoreFileWriter* o) { return writeException(o); });
    }
    size += writeMessage(output, Report::signal,
                         [&](BITCrashCoreFileWriter* o) { return writeSignal(o); });
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeReportInfo(BITCrashCoreFileWriter* output) const {
    BITCrashCoreProtobufBytes uuid = {facts->uuid, sizeof(facts->uuid)};
    return writeBool(output, 1, facts->userRequested) +
           BITCrashCoreProtobufWriteField(output, 2, T::Bytes, &uuid);
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeSystemInfo(BITCrashCoreFileWriter* output) const {
    size_t size = BITCrashCoreProtobufWriteField(output, 1, T::Enum, &kOperatingSystemUnknown);
    size += writeString(output, 2, facts->osVersion.c_str());
    size += writeString(output, 5, facts->osBuild.c_str());
    size += BITCrashCoreProtobufWriteField(output, 3, T::Enum, &kArchitectureX86_64);
    size += BITCrashCoreProtobufWriteField(output, 4, T::Int64, &timestamp);
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeProcessor(BITCrashCoreFileWriter* output, uint32_t encoding,
                                                 uint64_t type, uint64_t subtype) const {
    return BITCrashCoreProtobufWriteField(output, 1, T::Enum, &encoding) +
           writeUInt64(output, 2, type) + writeUInt64(output, 3, subtype);
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeMachineInfo(BITCrashCoreFileWriter* output) const {
    size_t size = 0;
    if (facts->machineModel) {
        size += writeString(output, 1, facts->machineModel->c_str());
    }
    size += writeMessage(output, 2, [&](BITCrashCoreFileWriter* o) {
        return writeProcessor(o, kTypeEncodingMach, facts->cpuType, facts->cpuSubtype);
    });
    size += writeUInt32(output, 3, facts->processorCount);
    size += writeUInt32(output, 4, facts->logicalProcessorCount);
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeApplicationInfo(BITCrashCoreFileWriter* output) const {
    size_t size = writeString(output, 1, facts->applicationIdentifier.c_str());
    size += writeString(output, 2, facts->applicationVersion.c_str());
    if (facts->applicationMarketingVersion) {
        size += writeString(output, 3, facts->applicationMarketingVersion->c_str());
    }
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeProcessInfo(BITCrashCoreFileWriter* output) const {
    size_t size = 0;
    if (facts->processName) {
        size += writeString(output, 1, facts->processName->c_str());
    }
    size += writeUInt32(output, 2, facts->processID);
    if (facts->processPath) {
        size += writeString(output, 3, facts->processPath->c_str());
    }
    if (facts->parentProcessName) {
        size += writeString(output, 4, facts->parentProcessName->c_str());
    }
    size += writeUInt32(output, 5, facts->parentProcessID);
    size += writeBool(output, 6, facts->native);
    size += writeUInt64(output, 7, facts->startTime);
    return size;
}

// Runs in signal context. Threads are numbered in the order written, without
// gaps; the crashed thread is always written.
size_t BITCrashCoreReportEncoder::writeThreads(BITCrashCoreFileWriter* output) const {
    size_t size = 0;
    uint32_t number = 0;
    int others = 0;
    int callingThread = BITCrashCoreCurrentThread();
    for (int i = 0; i < threads->count(); i++) {
        const BITCrashCoreThreadList::Entry& entry = threads->entry(i);
        if (entry.thread < 0 || (entry.thread == callingThread && !entry.hasState)) {
            continue;
        }
        bool crashed = entry.thread == crashedThread;
        if (!crashed && others++ >= limits.otherThreads) {
            continue;
        }
        size += writeMessage(output, Report::threads, [&](BITCrashCoreFileWriter* o) {
            return writeThread(o, number, i, crashed);
        });
        number++;
    }
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeThread(BITCrashCoreFileWriter* output, uint32_t number,
                                              int index, bool crashed) const {
    const BITCrashCoreThreadList::Entry& entry = threads->entry(index);
    size_t size = writeUInt32(output, 1, number);
    size += writeBool(output, 3, crashed);
    if (!entry.hasState) {
        return size;
    }
    int frameLimit = crashed ? limits.crashedThreadFrames : limits.otherThreadFrames;
    BITCrashCoreFrameCursor cursor;
    cursor.initWithThreadState(entry.state, images);
    for (int frame = 0; frame < frameLimit; frame++) {
        if (cursor.next() != BITCrashCoreESuccess) {
            break;
        }
        if (frame == 0 && crashed) {
            for (int r = 0; r < BITCrashCoreThreadState::registerCount; r++) {
                uint64_t value = 0;
                if (cursor.registerValue(r, &value) != BITCrashCoreESuccess) {
                    value = 0;
                }
                size += writeMessage(output, 4, [&](BITCrashCoreFileWriter* o) {
                    return writeString(o, 1, BITCrashCoreThreadState::registerName(r)) +
                           writeUInt64(o, 2, value);
                });
            }
        }
        uint64_t pc = 0;
        if (cursor.registerValue(BITCrashCoreThreadState::PC, &pc) != BITCrashCoreESuccess) {
            break;
        }
        size += writeMessage(
            output, 2, [&](BITCrashCoreFileWriter* o) { return writeFrame(o, pc, frame > 0); });
    }
    return size;
}

// Runs in signal context. A return address is looked up one byte back, so a
// call that ends its function (a call to abort) names the caller, not the
// function after it.
size_t BITCrashCoreReportEncoder::writeFrame(BITCrashCoreFileWriter* output, uint64_t pc,
                                             bool returnAddress) const {
    size_t size = writeUInt64(output, 3, pc);
    if (!limits.symbols || facts->symbolicationStrategy == BITCrashCoreSymbolicationNone) {
        return size;
    }
    uint64_t address = returnAddress && pc > 0 ? pc - 1 : pc;
    BITCrashCoreImage* image = images->imageContaining(address);
    if (image == nullptr) {
        return size;
    }
    const BITCrashCoreSymbol* symbol = lookUpSymbol(image, facts->symbolicationStrategy, address);
    if (symbol == nullptr) {
        return size;
    }
    size += writeMessage(output, 6, [&](BITCrashCoreFileWriter* o) {
        return writeString(o, 1, symbol->name) + writeUInt64(o, 2, symbol->address);
    });
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeImages(BITCrashCoreFileWriter* output) const {
    size_t size = 0;
    int count = images->count();
    for (int i = 0; i < count && i < limits.images; i++) {
        size += writeMessage(output, Report::binaryImages,
                             [&](BITCrashCoreFileWriter* o) { return writeImage(o, i); });
    }
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeImage(BITCrashCoreFileWriter* output, int index) const {
    const BITCrashCoreImage& image = *images->imageAt(index);
    size_t size = writeUInt64(output, 2, image.textSize);
    size += writeUInt64(output, 1, image.headerAddress);
    size += writeString(output, 3, image.name);
    if (image.buildIdLength > 0) {
        BITCrashCoreProtobufBytes uuid = {image.buildId, image.buildIdLength};
        size += BITCrashCoreProtobufWriteField(output, 4, T::Bytes, &uuid);
    }
    ProcessorType processor = processorForMachine(image.machine);
    size += writeMessage(output, 5, [&](BITCrashCoreFileWriter* o) {
        return writeProcessor(o, processor.encoding, processor.type, processor.subtype);
    });
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeException(BITCrashCoreFileWriter* output) const {
    size_t size = writeString(output, 1, facts->exceptionName.c_str());
    size += writeString(output, 2, facts->exceptionReason.c_str());
    size_t count = facts->exceptionFrames.size();
    for (size_t i = 0; i < count && i < BITCrashCoreLogWriter::maximumFrames; i++) {
        uint64_t pc = facts->exceptionFrames[i];
        size += writeMessage(output, 3,
                             [&](BITCrashCoreFileWriter* o) { return writeFrame(o, pc, true); });
    }
    return size;
}

// Runs in signal context.
size_t BITCrashCoreReportEncoder::writeSignal(BITCrashCoreFileWriter* output) const {
    char unnamedSignal[12];
    char unnamedCode[12];
    const char* name = BITCrashCoreSignalName(signal->signal);
    if (name == nullptr) {
        formatUnnamed(unnamedSignal, sizeof(unnamedSignal), signal->signal);
        name = unnamedSignal;
    }
    const char* code = BITCrashCoreSignalCodeName(signal->signal, signal->code);
    if (code == nullptr) {
        formatUnnamed(unnamedCode, sizeof(unnamedCode), signal->code);
        code = unnamedCode;
    }
    size_t size = writeString(output, 1, name);
    size += writeString(output, 2, code);
    size += writeUInt64(output, 3, signal->address);
    if (signal->hasMachException) {
        size += writeMessage(output, 4, [&](BITCrashCoreFileWriter* o) {
            size_t inner = writeUInt64(o, 1, signal->machExceptionType);
            for (size_t i = 0; i < signal->machExceptionCodeCount; i++) {
                inner += writeUInt64(o, 2, signal->machExceptionCodes[i]);
            }
            return inner;
        });
    }
    return size;
}
