#include "sdk/crash/BITCrashReportTextFormatter.h"

#include <cxxabi.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>

#include "Foundation/NSLog.h"

namespace {

constexpr int kOperatingSystemLinux = 3;  // the writer's OS_UNKNOWN: the enum has no Linux
constexpr uint64_t kCPUTypeX86 = 7;
constexpr uint64_t kCPUTypeARM = 12;
constexpr uint64_t kCPUTypePowerPC = 18;
constexpr uint64_t kCPUTypeX86_64 = 0x1000007;
constexpr uint64_t kCPUTypeARM64 = 0x100000c;
constexpr const char* kXamarinMarker = "Xamarin Exception Stack:";

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
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

std::string formattedDate(const NSDate& date) {
    time_t seconds = static_cast<time_t>(date.timeIntervalSince1970());
    struct tm parts = {};
    gmtime_r(&seconds, &parts);
    char text[32];
    strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
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

// The function name as people read it: C++ names demangled.
std::string readableSymbol(std::string name, int operatingSystem) {
    if (operatingSystem < kOperatingSystemLinux) {
        if (name.size() >= 2 && name[0] == '_') {
            name.erase(0, 1);
        }
    } else if (operatingSystem != kOperatingSystemLinux) {
        NSLogWithLevel(NSLogLevel::Debug, "Symbol prefix rules are unknown for this OS!");
    }
    if (name.compare(0, 2, "_Z") == 0) {
        int status = 0;
        char* demangled = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
        if (status == 0 && demangled != nullptr) {
            name = demangled;
        }
        free(demangled);
    }
    return name;
}

// The image name in its column: cut to 32 characters and "... " when
// longer than 33, else padded to 36. Counted in characters, not bytes.
std::string imageColumn(const std::string& name) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < name.size(); i++) {
        if ((static_cast<uint8_t>(name[i]) & 0xc0) != 0x80) {
            starts.push_back(i);
        }
    }
    if (starts.size() > 33) {
        return name.substr(0, starts[32]) + "... ";
    }
    return name + std::string(36 - starts.size(), ' ');
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

std::string unknownIfEmpty(const std::optional<std::string>& text) {
    return text && !text->empty() ? *text : "???";
}

bool isSystemPrefix(const std::string& prefix) {
    static const char* const systemPrefixes[] = {"",     "/",     "/usr", "/usr/local", "/opt",
                                                 "/bin", "/sbin", "/lib", "/lib64"};
    for (const char* system : systemPrefixes) {
        if (prefix == system) {
            return true;
        }
    }
    return false;
}

}  // namespace

int BITCrashReportTextFormatter::bit_imageTypeForImagePathProcessPath(
    const std::optional<std::string>& imagePath, const std::optional<std::string>& processPath) {
    if (!imagePath || !processPath) {
        return BITBinaryImageTypeOther;
    }
    std::filesystem::path image = std::filesystem::path(*imagePath).lexically_normal();
    std::filesystem::path process = std::filesystem::path(*processPath).lexically_normal();
    if (image == process) {
        return BITBinaryImageTypeAppBinary;
    }
    std::filesystem::path prefix = process.parent_path();
    if (prefix.filename() == "bin") {
        prefix = prefix.parent_path();
    }
    std::string prefixText = prefix.string();
    if (isSystemPrefix(prefixText)) {
        return BITBinaryImageTypeOther;
    }
    std::string imageText = image.string();
    if (imageText.compare(0, prefixText.size() + 1, prefixText + "/") == 0) {
        return BITBinaryImageTypeAppFramework;
    }
    return BITBinaryImageTypeOther;
}

std::string BITCrashReportTextFormatter::bit_archNameFromCPUTypeSubType(uint64_t cpuType,
                                                                        uint64_t subType) {
    switch (cpuType) {
        case kCPUTypeX86:
            return "i386";
        case kCPUTypeARM:
            switch (subType) {
                case 11:
                    return "armv7s";
                case 9:
                    return "armv7";
                case 6:
                    return "armv6";
                default:
                    return "arm-unknown";
            }
        case kCPUTypePowerPC:
            return "powerpc";
        case kCPUTypeX86_64:
            return "x86_64";
        case kCPUTypeARM64:
            return subType == 0 || subType == 13 ? "arm64" : "arm64-unknown";
        default:
            return "???";
    }
}

std::string BITCrashReportTextFormatter::bit_archNameFromImageInfo(
    const BITCrashCoreReportBinaryImageInfo& image) {
    const auto& codeType = image.codeType();
    if (!codeType || codeType->typeEncoding() != 1) {
        return "???";
    }
    return bit_archNameFromCPUTypeSubType(codeType->type(), codeType->subtype());
}

std::string BITCrashReportTextFormatter::bit_formatStackFrameFrameIndexReportLp64(
    const BITCrashCoreReportStackFrameInfo& frame, long frameIndex,
    const BITCrashCoreReport& report, bool lp64) {
    uint64_t pc = frame.instructionPointer();
    const BITCrashCoreReportBinaryImageInfo* image = report.imageForAddress(pc);
    std::string imageName = image != nullptr ? lastPathComponent(image->imageName()) : "???";
    // Frames of every image are named: there are no symbol files to name the
    // application's own frames later.
    std::string symbol;
    if (frame.symbolInfo()) {
        const BITCrashCoreReportSymbolInfo& info = *frame.symbolInfo();
        symbol =
            format("%s + %lld",
                   readableSymbol(info.symbolName(), report.systemInfo().operatingSystem()).c_str(),
                   static_cast<long long>(pc - info.startAddress()));
    } else {
        uint64_t base = image != nullptr ? image->imageBaseAddress() : 0;
        symbol = format("0x%" PRIx64 " + %lld", base,
                        static_cast<long long>(image != nullptr ? pc - base : 0));
    }
    return format("%-4ld%-35s 0x%0*" PRIx64 " %s\n", frameIndex, imageColumn(imageName).c_str(),
                  lp64 ? 16 : 8, pc, symbol.c_str());
}

std::string BITCrashReportTextFormatter::anonymizedPathFromPath(const std::string& path) {
    if (path.empty()) {
        return "";
    }
    if (path.compare(0, 6, "/home/") == 0) {
        static const std::regex userFolder("(/home/[^/]+/)");
        return std::regex_replace(path, userFolder, "/home/USER/");
    }
    return path.find("/home/") != std::string::npos ? "" : path;
}

Value::Array BITCrashReportTextFormatter::arrayOfAppUUIDsForCrashReport(
    const BITCrashCoreReport& report) {
    Value::Array result;
    std::optional<std::string> processPath = processPathOf(report);
    for (const BITCrashCoreReportBinaryImageInfo* image : imagesByAddress(report)) {
        int kind = bit_imageTypeForImagePathProcessPath(image->imageName(), processPath);
        if (kind == BITBinaryImageTypeOther) {
            continue;
        }
        result.push_back(
            Value::Dictionary{{"uuid", image->hasImageUUID() ? image->imageUUID() : "???"},
                              {"arch", bit_archNameFromImageInfo(*image)},
                              {"type", kind == BITBinaryImageTypeAppBinary ? "app" : "framework"}});
    }
    return result;
}

std::string BITCrashReportTextFormatter::stringValueForCrashReportCrashReporterKey(
    const BITCrashCoreReport& report, const std::string& key) {
    std::string text;
    auto line = [&](const std::string& content) { text += content + "\n"; };
    CodeType codeType = codeTypeOfReport(report);
    const auto& process = report.processInfo();
    const BITCrashCoreReportApplicationInfo& application = report.applicationInfo();
    const BITCrashCoreReportSystemInfo& system = report.systemInfo();

    line("Incident Identifier: " + report.uuidString().value_or("???"));
    line("CrashReporter Key:   " + (key.empty() ? std::string("???") : key));
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
    if (process && process->processStartTime() && system.timestamp()) {
        line("Launch Time:     " + formattedDate(*process->processStartTime()));
    }
    line("OS Version:      " + operatingSystemName(system.operatingSystem()) + " " +
         system.operatingSystemVersion() + " (" + unknownIfEmpty(system.operatingSystemBuild()) +
         ")");

    std::string reason;
    std::string xamarinStack;
    if (report.exceptionInfo()) {
        reason = report.exceptionInfo()->exceptionReason();
        size_t marker = reason.find(kXamarinMarker);
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
                text += bit_formatStackFrameFrameIndexReportLp64((*frames)[i], static_cast<long>(i),
                                                                 report, codeType.lp64);
            }
            line("");
        }
    }

    for (const auto& thread : report.threads()) {
        line(format(thread.crashed() ? "Thread %d Crashed:" : "Thread %d:", thread.threadNumber()));
        for (size_t i = 0; i < thread.stackFrames().size(); i++) {
            text += bit_formatStackFrameFrameIndexReportLp64(
                thread.stackFrames()[i], static_cast<long>(i), report, codeType.lp64);
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
        int kind = bit_imageTypeForImagePathProcessPath(image->imageName(), processPath);
        line(format(codeType.lp64 ? "%#18" PRIx64 " - %#18" PRIx64 " %s%s %s  <%s> %s"
                                  : "%#10" PRIx64 " - %#10" PRIx64 " %s%s %s  <%s> %s",
                    base, end, kind == BITBinaryImageTypeOther ? " " : "+",
                    lastPathComponent(image->imageName()).c_str(),
                    bit_archNameFromImageInfo(*image).c_str(),
                    image->hasImageUUID() ? image->imageUUID().c_str() : "???",
                    image->imageName().c_str()));
    }
    return text;
}
