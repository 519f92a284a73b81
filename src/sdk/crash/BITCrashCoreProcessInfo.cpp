#include "sdk/crash/BITCrashCoreProcessInfo.h"

#include <unistd.h>

#include <charconv>
#include <fstream>
#include <sstream>

#include "sdk/crash/BITCrashCoreSystemQuery.h"

namespace {

// A decimal number after optional blanks; 0 when there is none.
int64_t parseInteger(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    int64_t value = 0;
    if (start != std::string::npos) {
        std::from_chars(text.data() + start, text.data() + text.size(), value);
    }
    return value;
}

std::optional<int64_t> bootTime() {
    std::ifstream stat("/proc/stat");
    std::string line;
    while (std::getline(stat, line)) {
        if (line.rfind("btime ", 0) == 0) {
            return parseInteger(line.substr(6));
        }
    }
    return std::nullopt;
}

}  // namespace

std::shared_ptr<BITCrashCoreProcessInfo> BITCrashCoreProcessInfo::currentProcessInfo() {
    return createWithProcessID(getpid());
}

std::shared_ptr<BITCrashCoreProcessInfo> BITCrashCoreProcessInfo::createWithProcessID(pid_t pid) {
    if (pid <= 0) {
        return nullptr;
    }
    std::string folder = "/proc/" + std::to_string(pid) + "/";
    std::ifstream statFile(folder + "stat");
    std::string stat;
    if (!statFile || !std::getline(statFile, stat)) {
        return nullptr;
    }
    // "pid (comm) state ppid ..."; the name may itself hold ") ".
    size_t open = stat.find('(');
    size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return nullptr;
    }
    auto info = std::make_shared<BITCrashCoreProcessInfo>();
    info->processID_ = pid;
    std::string command = stat.substr(open + 1, std::min<size_t>(close - open - 1, 16));
    size_t valid = BITCrashCoreValidUTF8PrefixLength(
        reinterpret_cast<const uint8_t*>(command.data()), command.size());
    if (valid > 0) {
        info->processName_ = command.substr(0, valid);
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    // Field 3 is the state; 4 the parent; 22 the start time in clock ticks after boot.
    for (int index = 3; fields >> field; index++) {
        if (index == 4) {
            info->parentProcessID_ = static_cast<pid_t>(parseInteger(field));
        } else if (index == 22) {
            long ticksPerSecond = sysconf(_SC_CLK_TCK);
            int64_t ticks = parseInteger(field);
            std::optional<int64_t> boot = bootTime();
            if (boot && ticksPerSecond > 0) {
                info->startTime_.seconds = *boot + ticks / ticksPerSecond;
                info->startTime_.microseconds =
                    static_cast<int32_t>((ticks % ticksPerSecond) * 1'000'000 / ticksPerSecond);
            }
            break;
        }
    }
    std::ifstream status(folder + "status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) {
            info->traced_ = parseInteger(line.substr(10)) != 0;
            break;
        }
    }
    return info;
}
