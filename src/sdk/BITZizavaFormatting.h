#pragma once

#include <optional>
#include <string>

#include "Foundation/NSDate.h"

enum BITComparisonResult : int {
    BITOrderedAscending = -1,
    BITOrderedSame = 0,
    BITOrderedDescending = 1,
};

// Percent-encodes everything but letters, digits and "-._~": the characters
// "!*'();:@&=+$,/?%#[] {}", and also any other byte a URL cannot hold.
std::string bit_URLEncodedString(const std::string& string);
// The identifier encoded for server paths; the bundle identifier when nil.
std::string bit_encodeAppIdentifier(const std::optional<std::string>& identifier);
// 32 characters (after trimming white space) as 8-4-4-4-12; nullopt otherwise.
std::optional<std::string> bit_appIdentifierToGuid(const std::string& identifier);
// A new UUID, upper-case 8-4-4-4-12.
std::string bit_UUIDPreiOS6();
std::string bit_UUID();
// The whole string matches the usual RFC 5322 address pattern, ignoring case.
bool bit_validateEmail(const std::string& string);
// Versions compared with numbers as numbers: first the parts before the
// first letter, then, when those are equal, the whole strings.
BITComparisonResult bit_versionCompare(const std::string& a, const std::string& b);

// "yyyy-MM-dd'T'HH:mm:ss.SSS'Z'" in UTC.
std::string bit_utcDateString(NSDate date);
std::string bit_appName(const std::string& placeholder);
// "<short version> (<build>)", or the build alone.
std::string bit_appVersion();
std::string bit_sdkVersion();
