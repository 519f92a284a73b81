#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

// Comparison options of the string operations below (a bit set).
enum NSStringCompareOptions : unsigned {
    NSCaseInsensitiveSearch = 1,
    NSLiteralSearch = 2,
};

enum NSComparisonResult : int {
    NSOrderedAscending = -1,
    NSOrderedSame = 0,
    NSOrderedDescending = 1,
};

// Texts for the user's eyes: distances in the unit of the user default "km"
// (true: metric), hours and minutes, coordinates with hemisphere letters, a
// street and house number in the order of a country.

// "999 m", "1.0 km"; imperial "525 ft" below 0.1 mi, else "0.1 mi"; "" for
// a negative distance, NaN or infinity.
std::string stringWithDistanceFromFloat(float metres);
// "1 hour, 1 minute" from the localised formats "X hour", "X hours",
// "X minute", "X minutes"; minutes are taken upwards, 0 s gives "".
std::string stringWithTimeFromFloat(float seconds);
// "33.500000 S, 151.250000 E" with the localised "NorthAbbr", "SouthAbbr",
// "EastAbbr" and "WestAbbr".
std::string stringWithCoordinate(CLLocationCoordinate2D coordinate);

// Name and house number in the current locale's country order, falling
// back to "name number"; nullopt for a nil name, the name for a nil number.
std::optional<std::string> stringWithObjectsNameAndHouseNumber(
    const std::optional<std::string>& name, const std::optional<std::string>& houseNumber);
// The same for a country code (only its first two letters count; nullopt:
// no code, "name number"); nullopt for a country without a known order.
std::optional<std::string> stringWithObjectsNameAndHouseNumberForCountryCode(
    const std::string& name, const std::string& houseNumber,
    const std::optional<std::string>& countryCode);

// Replaces every occurrence of targets[i] by replacements[i], pair after
// pair over the text as it stands; unchanged when either list is missing or
// their lengths differ.
std::string stringByReplacingOccurrencesOfStringsWithStringsOptions(
    const std::string& text, const std::vector<std::string>* targets,
    const std::vector<std::string>* replacements, unsigned options);

// A text wrapped by hand at a fixed width (a licence file) as paragraphs
// that wrap at the reader's width: the lines of a paragraph joined with a
// space. Empty lines still part paragraphs, and lines that begin indented or
// as a list item ("- ", "* ", "1. ") keep their own line.
std::string stringByJoiningWrappedLines(const std::string& text);

// Order with runs of digits compared by their numeric value ("a2" < "a10").
NSComparisonResult compareNumerically(const std::string& text, const std::string& other);
