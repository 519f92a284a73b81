#include "CBGeoData/CBStreetNameAbbreviation.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "Foundation/NSLog.h"

namespace {
constexpr int32_t kMinimumLength = 6;

struct Rule {
    std::unique_ptr<icu::RegexPattern> pattern;
    icu::UnicodeString replacement;
};
using Table = std::vector<Rule>;

// Whole words in languages that write street words apart; word ends in
// those that join them to the name.
std::string word(const char* pattern) {
    return std::string("\\b") + pattern + "\\b";
}
std::string wordEnd(const char* pattern) {
    return std::string(pattern) + "\\b";
}

std::vector<std::pair<std::string, const char*>> rulesForCountry(const std::string& code) {
    if (code == "DE")
        return {{wordEnd("(S|s)tra(?:ß|ss)e"), "$1tr."}};
    if (code == "ES")
        return {{word("(A|a)venida"), "$1v."}, {word("Calle"), "C."}};
    if (code == "FR") {
        return {{word("(A|a)venue"), "$1v."},
                {word("(B|b)oulevard"), "$1d"},
                {word("(R|r)oute"), "$1te"},
                {word("(R|r)ue"), "$1"}};
    }
    if (code.starts_with("US") || code == "UK" || code == "AU") {
        return {{word("(A|a)venue"), "$1v"}, {word("(B|b)oulevard"), "$1lvd"},
                {word("(D|d)rive"), "$1r"},  {word("(R|r)oad"), "$1d"},
                {word("(S|s)treet"), "$1t"}, {word("(H|h)ighway"), "$1wy"},
                {word("East"), "E"},         {word("West"), "W"},
                {word("North"), "N"},        {word("South"), "S"}};
    }
    if (code == "NL") {
        return {{wordEnd("(G|g)racht"), "$1r."},
                {wordEnd("(P|p)lein"), "$1ln."},
                {wordEnd("(S|s)traat"), "$1tr."},
                {wordEnd("(S|s)teenweg"), "$1twg."}};
    }
    if (code == "IT") {
        return {{word("(C|c)alle"), "$1.le."}, {word("Via"), "V."}, {word("Viale"), "V.le"}};
    }
    return {};
}

std::mutex tableMutex;
std::shared_ptr<const Table> currentTable;

std::shared_ptr<const Table> table() {
    std::lock_guard lock(tableMutex);
    return currentTable;
}
}  // namespace

void CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(
    const std::optional<std::string>& countryCode) {
    std::string code = countryCode.value_or("");
    std::transform(code.begin(), code.end(), code.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    auto built = std::make_shared<Table>();
    for (const auto& [pattern, replacement] : rulesForCountry(code)) {
        UErrorCode status = U_ZERO_ERROR;
        UParseError where;
        std::unique_ptr<icu::RegexPattern> compiled(
            icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, where, status));
        if (U_FAILURE(status)) {
            NSLogWithLevel(NSLogLevel::Error, "Street-name rule %s does not compile: %s",
                           pattern.c_str(), u_errorName(status));
            continue;
        }
        built->push_back({std::move(compiled), icu::UnicodeString::fromUTF8(replacement)});
    }
    std::shared_ptr<const Table> replaced = built->empty() ? nullptr : std::move(built);
    // The old table is released outside the lock; readers holding it keep it
    // alive.
    {
        std::lock_guard lock(tableMutex);
        std::swap(currentTable, replaced);
    }
}

std::string CBStreetNameAbbreviation::shortenedNameForCurrentCountryFromString(
    const std::string& name) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(name);
    if (text.length() < kMinimumLength)
        return name;
    const auto rules = table();
    if (!rules)
        return name;
    for (const Rule& rule : *rules) {
        UErrorCode status = U_ZERO_ERROR;
        // A matcher per call: the compiled pattern is shared by every thread.
        std::unique_ptr<icu::RegexMatcher> matcher(rule.pattern->matcher(text, status));
        if (U_FAILURE(status))
            continue;
        icu::UnicodeString replaced = matcher->replaceAll(rule.replacement, status);
        if (U_FAILURE(status))
            continue;
        text = replaced;
        if (text.length() < kMinimumLength)
            break;
    }
    std::string result;
    text.toUTF8String(result);
    return result;
}
