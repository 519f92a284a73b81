#include "sdk/BITZizavaDevice.h"

#include <sys/utsname.h>
#include <unicode/locid.h>

#include "Foundation/NSBundle.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIScreen.h"

std::string bit_devicePlatform() {
    utsname names{};
    return uname(&names) == 0 ? names.machine : "";
}

std::string bit_deviceType() {
    switch (UI_USER_INTERFACE_IDIOM()) {
        case UIUserInterfaceIdiomPhone:
            return "Phone";
        case UIUserInterfaceIdiomPad:
            return "Tablet";
        default:
            return "Unknown";
    }
}

std::string bit_screenSize() {
    const auto screen = UIScreen::mainScreen();
    const CGSize size = screen->bounds().size;
    const CGFloat scale = screen->scale();
    return std::to_string(static_cast<int>(size.height * scale)) + "x" +
           std::to_string(static_cast<int>(size.width * scale));
}

std::string bit_osVersion() {
    utsname names{};
    return uname(&names) == 0 ? names.release : "";
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
