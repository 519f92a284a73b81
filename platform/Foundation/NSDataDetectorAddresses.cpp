#include <unicode/ustring.h>

#include <algorithm>
#include <iterator>

#include "Foundation/NSDataDetectorMatching.h"

// Street addresses in the forms of the countries whose maps people carry:
// - street, house number, postal code and city (Stargarder Straße 12,
//   17033 Neubrandenburg; Via Roma 10, 00184 Roma); a capitalised word
//   just before the street is taken for part of its name;
// - without postal code, only a street whose name ends in a word for
//   street (Hauptstraße 5, Unter den Linden 77 is not found);
// - English: number, street ending in a street word, and optionally city,
//   state and ZIP code (1600 Pennsylvania Avenue NW, Washington, DC 20500);
// - French: number, a street word first, optionally postal code and city
//   (12 rue de Rivoli, 75001 Paris).
// Flight numbers follow a word for "flight" (flight LH 1234, Flug EW 9042).
namespace {

constexpr char16_t kSpace[] = u"[ \\t\\u00a0]+";
// A capitalised word of a name, with dots, hyphens and apostrophes (St., O'Connell).
constexpr char16_t kWord[] = u"\\p{Lu}[\\p{L}'’.\\-]*+";
constexpr char16_t kParticle[] =
    u"(?:am|an|auf|im|in|zum|zur|der|die|das|den|des|dem|von|vom|de|del|della|di|du|la|le|les|"
    u"el|van|ter|op|of|the|d'|l')";
constexpr char16_t kHouseNumber[] =
    u"\\d{1,5}(?:\\s?[a-zA-Z](?![\\p{L}]))?(?:\\s?[-/]\\s?\\d{1,5})?";
constexpr char16_t kPostalCode[] = u"(?:[A-Z]{1,2}-)?\\d{4,5}";
constexpr std::u16string_view kStreetEndings[] = {
    u"straße", u"strasse", u"str.",     u"weg",   u"platz",  u"allee", u"gasse", u"ring",
    u"damm",   u"ufer",    u"chaussee", u"markt", u"straat", u"laan",  u"plein", u"gracht",
    u"kade",   u"gatan",   u"vägen",    u"vej",   u"gade",   u"veien"};
constexpr char16_t kEnglishStreet[] =
    u"(?:Street|St\\.?|Avenue|Ave\\.?|Road|Rd\\.?|Boulevard|Blvd\\.?|Lane|Ln\\.?|Drive|Dr\\.?|Way|"
    u"Court|Ct\\.?|Place|Pl\\.?|Square|Sq\\.?|Terrace|Parkway|Pkwy\\.?|Highway|Hwy\\.?|Crescent|"
    u"Close|Row|Gardens)";
constexpr char16_t kFrenchStreet[] =
    u"(?:rue|avenue|boulevard|bd|place|quai|allée|chemin|impasse|cours|route)";

bool endsAsStreet(std::u16string_view word) {
    std::u16string lower(word.size() * 2 + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strToLower(
        reinterpret_cast<UChar*>(lower.data()), int32_t(lower.size()),
        reinterpret_cast<const UChar*>(word.data()), int32_t(word.size()), "", &status);
    if (U_FAILURE(status))
        return false;
    lower.resize(size_t(length));
    return std::any_of(std::begin(kStreetEndings), std::end(kStreetEndings),
                       [&](std::u16string_view ending) { return lower.ends_with(ending); });
}

std::u16string s(const char16_t* text) {
    return text;
}

// Up to four capitalised words, with particles between them (Unter den Linden).
std::u16string streetName() {
    return s(kWord) + u"(?:" + kSpace + u"(?:" + kParticle + kSpace + u")*" + kWord + u"){0,3}";
}

std::u16string cityName() {
    const std::u16string word = u"\\p{Lu}[\\p{L}'’\\-]*";
    return word + u"(?:" + kSpace + u"(?:am|an der|im|bei|ob der)" + kSpace + word + u")?";
}

std::u16string postalCodeAndCity() {
    return u",?" + s(kSpace) + u"(" + kPostalCode + u")" + kSpace + u"(" + cityName() + u")";
}

NSTextCheckingResult address(const std::u16string& text, const NSDataDetectorMatch& m,
                             std::vector<std::pair<const char*, size_t>> groups) {
    NSTextCheckingResult::Components components;
    for (const auto& [key, group] : groups) {
        if (m.has(group))
            components[key] = NSDataDetectorUTF8(m.text(text, group));
    }
    return NSTextCheckingResult::addressCheckingResultWithRangeComponents(
        {m.start(), m.end() - m.start()}, std::move(components));
}

}  // namespace

std::vector<NSTextCheckingResult> NSDataDetectorFindAddresses(const std::u16string& text) {
    const std::u16string notAfter = u"(?<![\\p{L}\\p{N}])";
    const std::u16string notBefore = u"(?![\\p{L}\\p{N}])";
    std::vector<NSTextCheckingResult> found;
    // The street group holds the name (group 2) and the number. A name of
    // one word needs a postal code of five digits: "Chapter 12, 2024
    // Edition" is no address.
    for (const auto& m :
         NSDataDetectorFindAll(notAfter + u"((" + streetName() + u")" + kSpace + kHouseNumber +
                                   u")" + postalCodeAndCity() + notBefore,
                               text, 0)) {
        const auto name = m.text(text, 2);
        const auto code = m.text(text, 3);
        if (name.find_first_of(u" \t\u00a0") == std::u16string_view::npos &&
            (code.size() < 5 || code[code.size() - 5] == u'-'))
            continue;
        found.push_back(address(
            text, m,
            {{NSTextCheckingStreetKey, 1}, {NSTextCheckingZIPKey, 3}, {NSTextCheckingCityKey, 4}}));
    }
    // The last word of the street (group 2) is checked for its ending here:
    // a regular expression doing it backtracks through every word of a long text.
    for (const auto& m : NSDataDetectorFindAll(
             notAfter + u"((?:" + kWord + kSpace + u"){0,2}(\\p{Lu}[\\p{L}.]*+)" + kSpace +
                 kHouseNumber + u")(?:" + postalCodeAndCity() + u")?" + notBefore,
             text, 0)) {
        if (!endsAsStreet(m.text(text, 2)))
            continue;
        found.push_back(address(
            text, m,
            {{NSTextCheckingStreetKey, 1}, {NSTextCheckingZIPKey, 3}, {NSTextCheckingCityKey, 4}}));
    }
    for (const auto& m : NSDataDetectorFindAll(
             notAfter + u"(\\d{1,5}[A-Za-z]?" + kSpace + u"(?:" + kWord + kSpace + u"){0,3}" +
                 kEnglishStreet + u"(?:" + kSpace + u"(?:NE|NW|SE|SW|N|S|E|W))?)(?![\\p{L}])" +
                 u"(?:," + kSpace + u"(" + cityName() + u")(?:," + kSpace + u"(\\p{Lu}{2})" +
                 kSpace + u"(\\d{5}(?:-\\d{4})?))?" + notBefore + u")?",
             text, 0))
        found.push_back(address(text, m,
                                {{NSTextCheckingStreetKey, 1},
                                 {NSTextCheckingCityKey, 2},
                                 {NSTextCheckingStateKey, 3},
                                 {NSTextCheckingZIPKey, 4}}));
    for (const auto& m : NSDataDetectorFindAll(
             notAfter + u"(\\d{1,5}(?:" + kSpace + u"(?:bis|ter))?,?" + kSpace + u"(?i:" +
                 kFrenchStreet + u")" + kSpace + u"(?:" + kParticle + u"(?:" + kSpace + u")?)*" +
                 streetName() + u")(?:" + postalCodeAndCity() + u")?" + notBefore,
             text, 0))
        found.push_back(address(
            text, m,
            {{NSTextCheckingStreetKey, 1}, {NSTextCheckingZIPKey, 2}, {NSTextCheckingCityKey, 3}}));

    return NSDataDetectorWithoutOverlaps(std::move(found));
}

std::vector<NSTextCheckingResult> NSDataDetectorFindTransitInformation(const std::u16string& text) {
    std::vector<NSTextCheckingResult> found;
    for (const auto& m : NSDataDetectorFindAll(
             u"(?<![\\p{L}])(?i:flight|flug|vol|vuelo|volo|vlucht)(?:" + s(kSpace) +
                 u"(?i:no\\.?|nr\\.?))?" + kSpace +
                 u"(([A-Z][A-Z0-9]|[0-9][A-Z])[ \\u00a0]?(\\d{1,4}[A-Z]?))(?![\\p{L}\\p{N}])",
             text, 0))
        found.push_back(NSTextCheckingResult::transitInformationCheckingResultWithRangeComponents(
            {m.groups[1].first, m.groups[1].second - m.groups[1].first},
            {{NSTextCheckingAirlineKey, NSDataDetectorUTF8(m.text(text, 2))},
             {NSTextCheckingFlightKey, NSDataDetectorUTF8(m.text(text, 3))}}));
    return found;
}
