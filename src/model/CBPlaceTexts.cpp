#include "model/CBPlaceTexts.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "Foundation/ICUString.h"

namespace {

// Tag values longer than this are cut for display; no place needs more.
constexpr size_t kDisplayLimit = 500;

std::unique_ptr<icu::BreakIterator> characterBreaks(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks)
        return nullptr;
    breaks->setText(text);
    return breaks;
}

std::string utf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

bool isSchemeCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::string CBFirstCharacterOfText(const std::string& text) {
    if (text.empty())
        return text;
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    auto breaks = characterBreaks(unicode);
    int32_t end = unicode.moveIndex32(0, 1);
    if (breaks) {
        breaks->first();
        if (int32_t next = breaks->next(); next != icu::BreakIterator::DONE)
            end = next;
    }
    return utf8(icu::UnicodeString(unicode, 0, end));
}

size_t CBUTF16LengthOfText(const std::string& text) {
    const auto units = ICUStringFromUTF8(text);
    return units ? units->size() : text.size();
}

std::string CBTextPrefixWithinLength(const std::string& text, size_t limit) {
    const auto units = ICUStringFromUTF8(text);
    if (!units)
        return text.substr(0, std::min(limit, text.size()));
    if (units->size() <= limit)
        return text;
    const icu::UnicodeString unicode(units->data(), static_cast<int32_t>(units->size()));
    const auto room = static_cast<int32_t>(limit);
    int32_t end = room;
    if (auto breaks = characterBreaks(unicode)) {
        // The last character boundary at or before the limit.
        end = breaks->preceding(room + 1);
        if (end == icu::BreakIterator::DONE)
            end = 0;
    } else if (end > 0 && U16_IS_LEAD(unicode.charAt(end - 1))) {
        --end;
    }
    return utf8(icu::UnicodeString(unicode, 0, end));
}

std::string CBTextShortenedToLengthWithEllipsis(const std::string& text, size_t limit,
                                                const std::string& ellipsis) {
    if (CBUTF16LengthOfText(text) <= limit)
        return text;
    const size_t ellipsisUnits = CBUTF16LengthOfText(ellipsis);
    return CBTextPrefixWithinLength(text, limit > ellipsisUnits ? limit - ellipsisUnits : 0) +
           ellipsis;
}

std::string CBTextWithoutOuterBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::string> CBWebAddressForTagAttribute(const std::string& attribute) {
    std::string address = CBTextWithoutOuterBlanks(attribute);
    if (address.empty())
        return std::nullopt;
    for (char c : address)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return std::nullopt;
    // A scheme is a word of scheme characters before a colon that either
    // starts "//" or has no dot (a host with a port, "www.x.de:8080", has one).
    std::optional<std::string> scheme;
    const size_t colon = address.find(':');
    if (colon != std::string::npos && colon > 0 &&
        std::isalpha(static_cast<unsigned char>(address[0])) &&
        std::all_of(address.begin(), address.begin() + long(colon), isSchemeCharacter)) {
        const std::string word = address.substr(0, colon);
        if (address.compare(colon + 1, 2, "//") == 0 || word.find('.') == std::string::npos)
            scheme = lowercase(word);
    }
    if (!scheme) {
        address = "http://" + address;
        scheme = "http";
    }
    if (*scheme != "http" && *scheme != "https")
        return std::nullopt;
    const size_t host = address.find("://");
    if (host == std::string::npos || host + 3 >= address.size() || address[host + 3] == '/')
        return std::nullopt;
    return address;
}

std::string CBTextForDisplay(const std::string& text) {
    std::string shown = text;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return CBTextShortenedToLengthWithEllipsis(shown, kDisplayLimit, "\u2026");
}
