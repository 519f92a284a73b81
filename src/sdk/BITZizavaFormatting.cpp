#include "sdk/BITZizavaFormatting.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <cctype>
#include <cmath>
#include <ctime>
#include <memory>

#include "Foundation/NSBundle.h"
#include "Foundation/NSUUID.h"
#include "Net/NSURL.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/BITZizavaLogger.h"

namespace {

// The widely published RFC 5322 address expression.
constexpr const char* kEmailPattern =
    R"re((?:[a-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\.[a-z0-9!#$%&'*+/=?^_`{|}~-]+)*|"(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*")@(?:(?:[a-z0-9](?:[a-z0-9-]*[a-z0-9])?\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?|\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|[a-z0-9-]*[a-z0-9]:(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21-\x5a\x53-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])+)\]))re";
// No address is longer; longer input is refused before the expression sees it.
constexpr size_t kMaximumEmailLength = 320;

std::string infoString(const char* key) {
    const auto value = NSBundle::mainBundle()->objectForInfoDictionaryKey(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? *text : std::string();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Compares with runs of digits taken as numbers (leading zeros ignored).
int numericCompare(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            size_t endA = i;
            size_t endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            size_t startA = i;
            size_t startB = j;
            while (startA + 1 < endA && a[startA] == '0')
                ++startA;
            while (startB + 1 < endB && b[startB] == '0')
                ++startB;
            const size_t lengthA = endA - startA;
            const size_t lengthB = endB - startB;
            if (lengthA != lengthB)
                return lengthA < lengthB ? -1 : 1;
            if (const int order = a.compare(startA, lengthA, b, startB, lengthB); order != 0)
                return order < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i == a.size() && j == b.size())
        return 0;
    return i == a.size() ? -1 : 1;
}

std::string beforeFirstLetter(const std::string& version) {
    for (size_t i = 0; i < version.size(); ++i) {
        if (std::isalpha(static_cast<unsigned char>(version[i])))
            return version.substr(0, i);
    }
    return version;
}

}  // namespace

std::string bit_URLEncodedString(const std::string& string) {
    return NSURL::percentEncode(string);
}

std::string bit_encodeAppIdentifier(const std::optional<std::string>& identifier) {
    return bit_URLEncodedString(identifier ? *identifier : bit_mainBundleIdentifier());
}

std::optional<std::string> bit_appIdentifierToGuid(const std::string& identifier) {
    const size_t first = identifier.find_first_not_of(" \t\r\n");
    const size_t last = identifier.find_last_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    const std::string trimmed = identifier.substr(first, last - first + 1);
    if (trimmed.size() != 32)
        return std::nullopt;
    return trimmed.substr(0, 8) + "-" + trimmed.substr(8, 4) + "-" + trimmed.substr(12, 4) + "-" +
           trimmed.substr(16, 4) + "-" + trimmed.substr(20);
}

std::string bit_UUIDPreiOS6() {
    return NSUUID().UUIDString();
}

std::string bit_UUID() {
    return NSUUID().UUIDString();
}

bool bit_validateEmail(const std::string& string) {
    if (string.empty() || string.size() > kMaximumEmailLength)
        return false;
    static const std::unique_ptr<icu::RegexPattern> pattern = [] {
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError;
        std::unique_ptr<icu::RegexPattern> compiled(
            icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(kEmailPattern),
                                       UREGEX_CASE_INSENSITIVE, parseError, status));
        if (U_FAILURE(status)) {
            BITZizavaLogError("ERROR: The e-mail pattern does not compile: %s",
                              u_errorName(status));
            return std::unique_ptr<icu::RegexPattern>();
        }
        return compiled;
    }();
    if (!pattern)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(string);
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(text, status));
    if (U_FAILURE(status))
        return false;
    const bool matched = matcher->matches(status);
    return U_SUCCESS(status) && matched;
}

BITComparisonResult bit_versionCompare(const std::string& a, const std::string& b) {
    int order = numericCompare(beforeFirstLetter(a), beforeFirstLetter(b));
    if (order == 0)
        order = numericCompare(a, b);
    return static_cast<BITComparisonResult>(order);
}

std::string bit_utcDateString(NSDate date) {
    const double since1970 = date.timeIntervalSince1970();
    const double whole = std::floor(since1970);
    const int milliseconds = std::min(999, static_cast<int>((since1970 - whole) * 1000.0));
    const std::time_t seconds = static_cast<std::time_t>(whole);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[40];
    const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(buffer + length, sizeof buffer - length, ".%03dZ", milliseconds);
    return buffer;
}

std::string bit_appName(const std::string& placeholder) {
    const auto bundle = NSBundle::mainBundle();
    for (const char* key : {"CFBundleDisplayName", "CFBundleName"}) {
        const std::string localized = bundle->localizedStringForKey(key, "", "InfoPlist");
        if (localized != key && !localized.empty())
            return localized;
        if (const std::string plain = infoString(key); !plain.empty())
            return plain;
    }
    return placeholder;
}

std::string bit_appVersion() {
    const std::string shortVersion = infoString("CFBundleShortVersionString");
    const std::string build = infoString("CFBundleVersion");
    if (shortVersion.empty())
        return build;
    return shortVersion + " (" + build + ")";
}

std::string bit_sdkVersion() {
    return "ios:4.1.4";
}
