#include "sdk/crash/BITCrashCoreSystemQuery.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <set>
#include <utility>

namespace {

std::optional<std::string> readFirstLine(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        if (errno == 0) {
            errno = ENOENT;
        }
        return std::nullopt;
    }
    std::string line;
    std::getline(file, line);
    return line;
}

}  // namespace

std::optional<std::string> BITCrashCoreSysctlString(const std::string& name) {
    std::string path = "/proc/sys/" + name;
    std::replace(path.begin() + 10, path.end(), '.', '/');
    return readFirstLine(path);
}

std::optional<int32_t> BITCrashCoreSysctlInt32(const std::string& name) {
    std::optional<std::string> text = BITCrashCoreSysctlString(name);
    if (!text) {
        return std::nullopt;
    }
    int32_t value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size() || text->empty()) {
        return std::nullopt;
    }
    return value;
}

size_t BITCrashCoreValidUTF8PrefixLength(const uint8_t* bytes, size_t length) {
    size_t index = 0;
    if (length >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf) {
        index = 3;
    }
    while (index < length) {
        uint8_t lead = bytes[index];
        if (lead == 0) {
            break;
        }
        size_t continuation;
        if (lead < 0x80) {
            continuation = 0;
        } else if ((lead & 0xe0) == 0xc0) {
            continuation = 1;
        } else if ((lead & 0xf0) == 0xe0) {
            continuation = 2;
        } else if ((lead & 0xf8) == 0xf0) {
            continuation = 3;
        } else {
            break;
        }
        if (continuation > length - index - 1) {
            break;
        }
        bool valid = true;
        for (size_t i = 1; i <= continuation; i++) {
            if ((bytes[index + i] & 0xc0) != 0x80) {
                valid = false;
                break;
            }
        }
        if (!valid) {
            break;
        }
        index += continuation + 1;
    }
    return index;
}

std::optional<std::string> BITCrashCoreMachineModel() {
    std::optional<std::string> model = readFirstLine("/sys/devices/virtual/dmi/id/product_name");
    if (!model || model->empty()) {
        return std::nullopt;
    }
    return model;
}

uint32_t BITCrashCoreLogicalProcessorCount() {
    long count = sysconf(_SC_NPROCESSORS_CONF);
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

uint32_t BITCrashCorePhysicalProcessorCount() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::set<std::pair<std::string, std::string>> cores;
    std::string line;
    std::string package;
    while (std::getline(cpuinfo, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
        std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
        if (key == "physical id") {
            package = value;
        } else if (key == "core id") {
            cores.insert({package, value});
        }
    }
    return cores.empty() ? BITCrashCoreLogicalProcessorCount()
                         : static_cast<uint32_t>(cores.size());
}
