#include "sdk/BITZizavaDevice.h"

#include <sys/utsname.h>
#include <unicode/locid.h>

#include "Foundation/NSBundle.h"

std::string bit_devicePlatform() {
    utsname names{};
    return uname(&names) == 0 ? names.machine : "";
}

std::optional<std::string> bit_osVersionBuild() {
    utsname names{};
    if (uname(&names) != 0)
        return std::nullopt;
    return std::string(names.release) + " (" + names.version + ")";
}

std::string bit_osName() {
    utsname names{};
    return uname(&names) == 0 ? names.sysname : "";
}

std::string bit_deviceLocale() {
    return icu::Locale::getDefault().getName();
}

std::string bit_deviceLanguage() {
    const auto languages = NSBundle::preferredLocalizations();
    return languages.empty() ? std::string() : languages.front();
}
