#pragma once

#include <optional>
#include <string>

#include "Foundation/NSDate.h"

// Crash breadcrumbs: what the user was doing, kept in the user defaults
// under "kCrashInformationDict" so a crash report of this run can carry it.
namespace CrashInformation {
inline constexpr const char* kDictionaryKey = "kCrashInformationDict";
inline constexpr const char* kPreviousDictionaryKey = "kCrashInformationDictPrevious";

// The screen on show, by class name, under "vc".
void crashInformationSetCurrentViewController(const std::string& className);
// The map open and the date it was added; nothing for a missing identifier.
void crashInformationDidEnterMapWithIdentifierDateAdded(
    const std::optional<std::string>& identifier, const std::optional<NSDate>& dateAdded);
// At launch: the last run's breadcrumbs become the previous ones.
void rotate();
}  // namespace CrashInformation
