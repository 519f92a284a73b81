#include "sdk/crash/BITCrashLogLayout.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <cxxabi.h>

#include "sdk/crash/BITCrashReportTextFormatter.h"

namespace BITCrashLog {

namespace {

constexpr const char* kXamarinMarker = "Xamarin Exception Stack:";

std::string formattedDate(const NSDate& date) {
    time_t seconds = static_cast<time_t>(date.timeIntervalSince1970());
    struct tm parts = {};
    gmtime_r(&seconds, &parts);
    char text[32];
    strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

struct CodeType {
    std::string name;
    bool lp64;
};

CodeType codeTypeOfReport(const BITCrashCoreReport& report) {
    for (const BITCrashCoreReportBinaryImageInfo& image : report.images()) {
        const auto& codeType = image.codeType();
        if (!codeType || codeType->typeEncoding() != 1) {
            continue;
        }
        switch (codeType->type()) {
            case kCPUTypePowerPC:
                return {"PPC", false};
            case kCPUTypeX86_64:
                return {"X86-64", true};
            case kCPUTypeARM64:
                return {"ARM-64", true};
            case kCPUTypeX86:
                return {"X86", false};
            case kCPUTypeARM:
                return {"ARM", false};
            default:
                break;
        }
    }
    int architecture = report.systemInfo().architecture();
    switch (architecture) {
        case 0:
            return {"X86", false};
        case 1:
            return {"X86-64", true};
        case 2:
        case 5:
            return {"ARM", false};
        case 3:
            return {"PPC", false};
        default:
            return {format("Unknown (%d)", architecture), true};
    }
}

std::string trimmed(const std::string& text) {
    const char* space = " \t\r\n";
    size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string unknownIfEmpty(const std::optional<std::string>& text) {
    return text && !text->empty() ? *text : "???";
}

}  // namespace

std::string format(const char* pattern, ...) {
    va_list arguments;
    va_start(arguments, pattern);
    va_list copy;
    va_copy(copy, arguments);
    int length = vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) {
        vsnprintf(text.data(), text.size() + 1, pattern, arguments);
    }
    va_end(arguments);
    return text;
}

std::string lastPathComponent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string operatingSystemName(int value) {
    switch (value) {
        case 0:
        case 2:
            return "Mac OS X";
        case 1:
            return "iPhone OS";
        case kOperatingSystemLinux:
            return "Linux";
        default:
            return format("Unknown (%d)", value);
    }
}

std::vector<const BITCrashCoreReportBinaryImageInfo*> imagesByAddress(
    const BITCrashCoreReport& report) {
    std::vector<const BITCrashCoreReportBinaryImageInfo*> images;
    for (const auto& image : report.images()) {
        images.push_back(&image);
    }
    std::stable_sort(images.begin(), images.end(), [](const auto* a, const auto* b) {
        return a->imageBaseAddress() < b->imageBaseAddress();
    });
    return images;
}

std::optional<std::string> processPathOf(const BITCrashCoreReport& report) {
    return report.processInfo() ? report.processInfo()->processPath() : std::nullopt;
}

std::string archNameOfImage(const BITCrashCoreReportBinaryImageInfo& image,
                            std::string (*byType)(uint64_t cpuType, uint64_t subType)) {
    const auto& codeType = image.codeType();
    if (!codeType || codeType->typeEncoding() != 1) {
        return "???";
    }
    return byType(codeType->type(), codeType->subtype());
}

std::string demangled(std::string name) {
    if (name.compare(0, 2, "_Z") == 0) {
        int status = 0;
        char* readable = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
        if (status == 0 && readable != nullptr) {
            name = readable;
        }
        free(readable);
    }
    return name;
}

std::string frameLine(long frameIndex, const std::string& imageColumn, bool lp64, uint64_t pc,
                      const std::string& symbol) {
    return format("%-4ld%-35s 0x%0*" PRIx64 " %s\n", frameIndex, imageColumn.c_str(), lp64 ? 16 : 8,
                  pc, symbol.c_str());
}

std::string symbolForm(const BITCrashCoreReportStackFrameInfo& frame,
                       const BITCrashCoreReport& report,
                       std::string (*readable)(std::string name, int operatingSystem)) {
    const uint64_t pc = frame.instructionPointer();
    if (frame.symbolInfo()) {
        const BITCrashCoreReportSymbolInfo& info = *frame.symbolInfo();
        return format("%s + %lld",
                      readable(info.symbolName(), report.systemInfo().operatingSystem()).c_str(),
                      static_cast<long long>(pc - info.startAddress()));
    }
    const BITCrashCoreReportBinaryImageInfo* image = report.imageForAddress(pc);
    const uint64_t base = image != nullptr ? image->imageBaseAddress() : 0;
    return format("0x%" PRIx64 " + %lld", base,
                  static_cast<long long>(image != nullptr ? pc - base : 0));
}

std::string layout(const BITCrashCoreReport& report, const BITCrashLogDialect& dialect) {
    std::string text;
    auto line = [&](const std::string& content) { text += content + "\n"; };
    CodeType codeType = codeTypeOfReport(report);
    const auto& process = report.processInfo();
    const BITCrashCoreReportApplicationInfo& application = report.applicationInfo();
    const BITCrashCoreReportSystemInfo& system = report.systemInfo();

    line("Incident Identifier: " + report.uuidString().value_or("???"));
    line("CrashReporter Key:   " + dialect.reporterKey);
    line("Hardware Model:      " +
         unknownIfEmpty(report.machineInfo() ? report.machineInfo()->modelName() : std::nullopt));
    if (process) {
        line(format("Process:         %s [%u]", unknownIfEmpty(process->processName()).c_str(),
                    process->processID()));
        line("Path:            " + unknownIfEmpty(process->processPath()));
    } else {
        line("Process:         ??? [???]");
        line("Path:            ???");
    }
    line("Identifier:      " + application.applicationIdentifier());
    if (application.applicationMarketingVersion()) {
        line("Version:         " + *application.applicationMarketingVersion() + " (" +
             application.applicationVersion() + ")");
    } else {
        line("Version:         " + application.applicationVersion());
    }
    line("Code Type:       " + codeType.name);
    if (process) {
        line(format("Parent Process:  %s [%u]",
                    unknownIfEmpty(process->parentProcessName()).c_str(),
                    process->parentProcessID()));
    } else {
        line("Parent Process:  ??? [???]");
    }
    line("");
    line("Date/Time:       " + (system.timestamp() ? formattedDate(*system.timestamp()) : "???"));
    if (dialect.launchTimeAndXamarinStack && process && process->processStartTime() &&
        system.timestamp()) {
        line("Launch Time:     " + formattedDate(*process->processStartTime()));
    }
    line("OS Version:      " + dialect.operatingSystemName(system.operatingSystem()) + " " +
         system.operatingSystemVersion() + " (" + unknownIfEmpty(system.operatingSystemBuild()) +
         ")");

    std::string reason;
    std::string xamarinStack;
    if (report.exceptionInfo()) {
        reason = report.exceptionInfo()->exceptionReason();
        size_t marker =
            dialect.launchTimeAndXamarinStack ? reason.find(kXamarinMarker) : std::string::npos;
        if (marker != std::string::npos) {
            xamarinStack =
                replacedAll(trimmed(reason.substr(marker)), "<---\n\n--->", "<---\n--->");
            reason = trimmed(reason.substr(0, marker));
        }
    }
    line(std::string("Report Version:  ") + (xamarinStack.empty() ? "104" : "104-Xamarin"));
    line("");

    const BITCrashCoreReportSignalInfo& signal = report.signalInfo();
    line("Exception Type:  " + signal.name());
    line(format("Exception Codes: %s at 0x%" PRIx64, signal.code().c_str(), signal.address()));
    const BITCrashCoreReportThreadInfo* crashed = nullptr;
    for (const auto& thread : report.threads()) {
        if (thread.crashed()) {
            crashed = &thread;
            break;
        }
    }
    if (crashed != nullptr) {
        line(format("Crashed Thread:  %d", crashed->threadNumber()));
    }
    line("");

    if (report.exceptionInfo()) {
        line("Application Specific Information:");
        line("*** Terminating app due to uncaught exception '" +
             report.exceptionInfo()->exceptionName() + "', reason: '" + reason + "'");
        line("");
        if (!xamarinStack.empty()) {
            line(xamarinStack);
            line("");
        }
        const auto& frames = report.exceptionInfo()->stackFrames();
        if (frames && !frames->empty()) {
            line("Last Exception Backtrace:");
            for (size_t i = 0; i < frames->size(); i++) {
                text +=
                    dialect.frameLine((*frames)[i], static_cast<long>(i), report, codeType.lp64);
            }
            line("");
        }
    }

    for (const auto& thread : report.threads()) {
        line(format(thread.crashed() ? "Thread %d Crashed:" : "Thread %d:", thread.threadNumber()));
        for (size_t i = 0; i < thread.stackFrames().size(); i++) {
            text += dialect.frameLine(thread.stackFrames()[i], static_cast<long>(i), report,
                                      codeType.lp64);
        }
        line("");
    }

    if (crashed != nullptr) {
        line(format("Thread %d crashed with %s Thread State:", crashed->threadNumber(),
                    codeType.name.c_str()));
        bool armRegisters =
            report.machineInfo() && report.machineInfo()->processorInfo() &&
            report.machineInfo()->processorInfo()->typeEncoding() == 1 &&
            (report.machineInfo()->processorInfo()->type() & 0xffffff) == kCPUTypeARM;
        size_t count = 0;
        for (const auto& value : crashed->registers()) {
            std::string name = armRegisters && value.registerName() == "r12" ? std::string("ip")
                                                                             : value.registerName();
            text += format(codeType.lp64 ? "%6s: 0x%016" PRIx64 " " : "%6s: 0x%08" PRIx64 " ",
                           name.c_str(), value.registerValue());
            if (++count % 4 == 0) {
                text += "\n";
            }
        }
        if (count % 4 != 0) {
            text += "\n";
        }
        line("");
    }

    line("Binary Images:");
    std::optional<std::string> processPath = processPathOf(report);
    std::optional<uint64_t> lastBase;
    for (const BITCrashCoreReportBinaryImageInfo* image : imagesByAddress(report)) {
        // Sorted by base address, so an address printed before is the last one.
        uint64_t base = image->imageBaseAddress();
        if (lastBase == base) {
            continue;
        }
        lastBase = base;
        uint64_t end = image->imageSize() > 1 ? base + image->imageSize() - 1 : base;
        int kind = BITCrashReportTextFormatter::bit_imageTypeForImagePathProcessPath(
            image->imageName(), processPath);
        line(format(codeType.lp64 ? "%#18" PRIx64 " - %#18" PRIx64 " %s%s %s  <%s> %s"
                                  : "%#10" PRIx64 " - %#10" PRIx64 " %s%s %s  <%s> %s",
                    base, end, kind == BITBinaryImageTypeOther ? " " : "+",
                    lastPathComponent(image->imageName()).c_str(), dialect.archName(*image).c_str(),
                    image->hasImageUUID() ? image->imageUUID().c_str() : "???",
                    image->imageName().c_str()));
    }
    return text;
}

}  // namespace BITCrashLog
