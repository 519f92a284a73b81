#include "foundation/NSString+CBNSStringAdditions.h"

#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>

#include <cctype>
#include <cmath>
#include <cstdio>

#include "Foundation/NSBundle.h"
#include "Foundation/NSUserDefaults.h"
#include "foundation/ZELFormat.h"

namespace {
std::string format(const char* fmt, double value) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}

// The localised format for key, with an English one when the bundle has
// none or a broken one.
std::string localizedCount(const char* key, const char* fallback, double count) {
    const std::string localized = NSBundle::mainBundle()->localizedStringForKey(key, fallback);
    if (auto text = ZELFormatWithDouble(localized, count))
        return *text;
    return *ZELFormatWithDouble(fallback, count);
}

// A process without a locale (C, POSIX) gets ICU's "en_US_POSIX": no
// country the user chose, so none is used.
std::string currentCountryCode() {
    char country[ULOC_COUNTRY_CAPACITY] = {};
    char variant[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    uloc_getCountry(uloc_getDefault(), country, sizeof country, &status);
    uloc_getVariant(uloc_getDefault(), variant, sizeof variant, &status);
    if (U_FAILURE(status) || std::string(variant) == "POSIX")
        return "";
    return country;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

std::string stringWithDistanceFromFloat(float metres) {
    // A distance from bad points (or one too long for a float) is none.
    if (!std::isfinite(metres) || metres < 0)
        return {};
    if (NSUserDefaults::standardUserDefaults()->boolForKey("km")) {
        if (metres < 1000)
            return format("%.0f m", metres);
        return format("%.1f km", metres / 1000);
    }
    const float miles = metres / 1000 / 1.609344f;
    if (miles < 0.1f)
        return format("%.0f ft", miles * 5280);
    return format("%.1f mi", miles);
}

std::string stringWithTimeFromFloat(float seconds) {
    const long totalMinutes = static_cast<long>(std::ceil(seconds / 60.0));
    const long hours = totalMinutes / 60;
    const long minutes = totalMinutes % 60;
    std::string hoursPart, minutesPart;
    if (hours != 0) {
        hoursPart = hours == 1 ? localizedCount("X hour", "%.0f hour", 1)
                               : localizedCount("X hours", "%.0f hours", hours);
    }
    if (minutes != 0) {
        minutesPart = minutes == 1 ? localizedCount("X minute", "%.0f minute", 1)
                                   : localizedCount("X minutes", "%.0f minutes", minutes);
    }
    const char* separator = !hoursPart.empty() && !minutesPart.empty() ? ", " : "";
    return hoursPart + separator + minutesPart;
}

std::string stringWithCoordinate(CLLocationCoordinate2D coordinate) {
    auto bundle = NSBundle::mainBundle();
    const std::string latitudeLetter = coordinate.latitude >= 0
                                           ? bundle->localizedStringForKey("NorthAbbr", "N")
                                           : bundle->localizedStringForKey("SouthAbbr", "S");
    const std::string longitudeLetter = coordinate.longitude >= 0
                                            ? bundle->localizedStringForKey("EastAbbr", "E")
                                            : bundle->localizedStringForKey("WestAbbr", "W");
    return format("%.6f", std::fabs(coordinate.latitude)) + " " + latitudeLetter + ", " +
           format("%.6f", std::fabs(coordinate.longitude)) + " " + longitudeLetter;
}

std::optional<std::string> stringWithObjectsNameAndHouseNumber(
    const std::optional<std::string>& name, const std::optional<std::string>& houseNumber) {
    if (!name)
        return std::nullopt;
    if (!houseNumber)
        return *name;
    if (auto text = stringWithObjectsNameAndHouseNumberForCountryCode(*name, *houseNumber,
                                                                      currentCountryCode())) {
        return text;
    }
    return stringWithObjectsNameAndHouseNumberForCountryCode(*name, *houseNumber, std::nullopt);
}

std::optional<std::string> stringWithObjectsNameAndHouseNumberForCountryCode(
    const std::string& name, const std::string& houseNumber,
    const std::optional<std::string>& countryCode) {
    if (!countryCode)
        return name + " " + houseNumber;
    const std::string code = countryCode->size() >= 3 ? countryCode->substr(0, 2) : *countryCode;
    for (const char* numberFirst : {"US", "EN", "UK", "AU", "CA", "NZ", "IE", "CN", "ZA"}) {
        if (code == numberFirst)
            return houseNumber + " " + name;
    }
    for (const char* numberComma : {"FR", "LU", "IL"}) {
        if (code == numberComma)
            return houseNumber + ", " + name;
    }
    if (code == "IT" || code == "ES")
        return name + ", " + houseNumber;
    return std::nullopt;
}

std::string stringByReplacingOccurrencesOfStringsWithStringsOptions(
    const std::string& text, const std::vector<std::string>* targets,
    const std::vector<std::string>* replacements, unsigned options) {
    if (!targets || !replacements || targets->size() != replacements->size())
        return text;
    const bool caseInsensitive = (options & NSCaseInsensitiveSearch) != 0;
    icu::UnicodeString result = icu::UnicodeString::fromUTF8(text);
    for (size_t i = 0; i < targets->size(); ++i) {
        const icu::UnicodeString target = icu::UnicodeString::fromUTF8((*targets)[i]);
        const icu::UnicodeString replacement = icu::UnicodeString::fromUTF8((*replacements)[i]);
        if (target.isEmpty())
            continue;
        icu::UnicodeString replaced;
        int32_t start = 0;
        int32_t at = 0;
        while (at + target.length() <= result.length()) {
            const bool match = caseInsensitive ? result.caseCompare(at, target.length(), target,
                                                                    U_FOLD_CASE_DEFAULT) == 0
                                               : result.compare(at, target.length(), target) == 0;
            if (!match) {
                ++at;
                continue;
            }
            replaced.append(result, start, at - start).append(replacement);
            at += target.length();
            start = at;
        }
        replaced.append(result, start, result.length() - start);
        result = replaced;
    }
    std::string utf8;
    result.toUTF8String(utf8);
    return utf8;
}

NSComparisonResult compareNumerically(const std::string& text, const std::string& other) {
    size_t i = 0, j = 0;
    while (i < text.size() && j < other.size()) {
        if (isDigit(text[i]) && isDigit(other[j])) {
            size_t endI = i, endJ = j;
            while (endI < text.size() && isDigit(text[endI]))
                ++endI;
            while (endJ < other.size() && isDigit(other[endJ]))
                ++endJ;
            // Leading zeros do not change a number's value.
            size_t a = i, b = j;
            while (a + 1 < endI && text[a] == '0')
                ++a;
            while (b + 1 < endJ && other[b] == '0')
                ++b;
            const size_t lengthA = endI - a, lengthB = endJ - b;
            if (lengthA != lengthB)
                return lengthA < lengthB ? NSOrderedAscending : NSOrderedDescending;
            if (const int c = text.compare(a, lengthA, other, b, lengthB); c != 0) {
                return c < 0 ? NSOrderedAscending : NSOrderedDescending;
            }
            i = endI;
            j = endJ;
            continue;
        }
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(other[j]);
        if (a != b)
            return a < b ? NSOrderedAscending : NSOrderedDescending;
        ++i;
        ++j;
    }
    if (i < text.size())
        return NSOrderedDescending;
    if (j < other.size())
        return NSOrderedAscending;
    return NSOrderedSame;
}

namespace {

bool startsItsOwnLine(const std::string& line) {
    if (line.empty() || line[0] == ' ' || line[0] == '\t')
        return true;
    if ((line[0] == '-' || line[0] == '*') && line.size() > 1 && line[1] == ' ')
        return true;
    size_t digits = 0;
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits])))
        ++digits;
    return digits > 0 && digits + 1 < line.size() && (line[digits] == '.' || line[digits] == ')') &&
           line[digits + 1] == ' ';
}

}  // namespace

std::string stringByJoiningWrappedLines(const std::string& text) {
    std::string joined;
    joined.reserve(text.size());
    bool previousHasText = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const bool hasText = line.find_first_not_of(" \t") != std::string::npos;
        if (start > 0)
            joined += previousHasText && hasText && !startsItsOwnLine(line) ? " " : "\n";
        joined += hasText ? line : std::string();
        previousHasText = hasText;
        if (last)
            break;
        start = end + 1;
    }
    return joined;
}
