#pragma once

#include <optional>
#include <string>

// Facts about the machine for reports and telemetry.
std::string bit_devicePlatform();                 // the machine's hardware name (uname)
std::string bit_deviceType();                     // "Phone", "Tablet" or "Unknown" (the idiom)
std::string bit_screenSize();                     // the screen in pixels, "<height>x<width>"
std::string bit_osVersion();                      // the kernel release (uname)
std::optional<std::string> bit_osVersionBuild();  // "<release> (<kernel build>)"
std::string bit_osName();                         // the kernel's name
std::string bit_deviceLocale();                   // the current locale identifier
std::string bit_deviceLanguage();                 // the first preferred localization
