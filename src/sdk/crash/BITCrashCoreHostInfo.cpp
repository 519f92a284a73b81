#include "sdk/crash/BITCrashCoreHostInfo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreSystemQuery.h"

std::shared_ptr<BITCrashCoreHostInfo> BITCrashCoreHostInfo::currentHostInfo() {
    errno = 0;
    std::optional<std::string> release = BITCrashCoreSysctlString("kernel.osrelease");
    if (!release) {
        NSLogWithLevel(NSLogLevel::Error, "Failed to fetch kern.osrelease value %d: %s", errno,
                       strerror(errno));
        return nullptr;
    }
    auto info = std::make_shared<BITCrashCoreHostInfo>();
    info->darwinVersion_ = parseRelease(*release);
    return info;
}

BITCrashCoreHostInfo::KernelVersion BITCrashCoreHostInfo::parseRelease(const std::string& release) {
    KernelVersion version;
    int read =
        sscanf(release.c_str(), "%u.%u.%u", &version.major, &version.minor, &version.revision);
    if (read != 3) {
        NSLogWithLevel(NSLogLevel::Warning, "Unexpected kern.osrelease string format: %s",
                       release.c_str());
    }
    return version;
}
