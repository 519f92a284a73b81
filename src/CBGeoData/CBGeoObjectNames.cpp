// The names of a geo object: stored and canonical name, display name, index
// letters and annotation title.
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>

#include "CBGeoData/CBFirstLetter.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSStringFolding.h"

namespace {

constexpr const char* kDisplayNameKey = "displayName";

// Removes every code point that is not a letter or digit from both ends.
icu::UnicodeString trimmedToAlphanumerics(const icu::UnicodeString& text) {
    int32_t start = 0;
    int32_t end = text.length();
    while (start < end && !u_isalnum(text.char32At(start)))
        start = text.moveIndex32(start, 1);
    while (end > start) {
        int32_t previous = text.moveIndex32(end, -1);
        if (u_isalnum(text.char32At(previous)))
            break;
        end = previous;
    }
    return icu::UnicodeString(text, start, end - start);
}

std::string utf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace

void CBGeoObject::updateNameAndCanonicalNameForString(const std::optional<std::string>& newName) {
    // The cached names go with the old name.
    setPrimitiveValueForKey(kDisplayNameKey, Value());
    title_.reset();
    updateNameAndCanonicalNameForStringWithLocale(newName, std::nullopt);
    calculateFirstLetterOfName();
}

void CBGeoObject::updateNameAndCanonicalNameForStringWithLocale(
    const std::optional<std::string>& newName, const std::optional<std::string>&) {
    // Folding is locale-independent (the search folds its input the same way
    // whatever the locale), so the locale is not needed.
    if (!newName) {
        setValueForKey("name", Value());
        setValueForKey("canonicalName", Value());
        return;
    }
    setValueForKey("name", Value(*newName));
    setValueForKey("canonicalName", Value(canonicalNameForString(*newName)));
}

std::optional<std::string> CBGeoObject::displayName() {
    Value cache = primitiveValueForKey(kDisplayNameKey);
    if (const std::string* cached = cache.stringValue())
        return *cached;
    std::optional<std::string> result = name();
    if (!result || result->empty())
        result = getAttributeOfTagForKey("operator");
    if (result)
        setPrimitiveValueForKey(kDisplayNameKey, Value(*result));
    return result;
}

std::optional<std::string> CBFirstLetterOfText(const std::string& shown) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(shown);
    text.toUpper(icu::Locale::getRoot());
    text = trimmedToAlphanumerics(text);
    if (text.isEmpty())
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    int32_t end = text.moveIndex32(0, 1);
    if (U_SUCCESS(status) && characters) {
        characters->setText(text);
        characters->first();
        int32_t next = characters->next();
        if (next != icu::BreakIterator::DONE)
            end = next;
    }
    return utf8(icu::UnicodeString(text, 0, end));
}

void CBGeoObject::calculateFirstLetterOfName() {
    const auto shown = displayName();
    const auto letter = shown ? CBFirstLetterOfText(*shown) : std::nullopt;
    setValueForKey("firstLetterOfName", letter ? Value(*letter) : Value());
}

void CBGeoObject::calculateFirstTwoLettersOfName() {
    auto shown = displayName();
    if (!shown) {
        setValueForKey("firstTwoLettersOfName", Value());
        return;
    }
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(*shown);
    text.toTitle(nullptr, icu::Locale::getRoot());
    text.findAndReplace(icu::UnicodeString(u"-"), icu::UnicodeString());
    text = trimmedToAlphanumerics(text);
    if (text.isEmpty()) {
        setValueForKey("firstTwoLettersOfName", Value());
        return;
    }
    setValueForKey("firstTwoLettersOfName",
                   Value(utf8(icu::UnicodeString(text, 0, std::min<int32_t>(2, text.length())))));
}

std::optional<std::string> CBGeoObject::title() {
    if (title_)
        return title_;
    auto shown = displayName();
    if (shown && icu::UnicodeString::fromUTF8(*shown).length() >= 10 &&
        (isHighway() || isTransportRelated()))
        shown = shortenedNameForCurrentCountryFromString(*shown);
    title_ = shown;
    return title_;
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>> CBGeoObject::internationalNames() {
    std::vector<std::shared_ptr<CBGeoTag>> result;
    for (const auto& tag : tags()) {
        if (tag->key().rfind("name:", 0) == 0)
            result.push_back(tag);
    }
    if (result.empty())
        return std::nullopt;
    std::sort(result.begin(), result.end(),
              [](const auto& a, const auto& b) { return a->key() < b->key(); });
    return result;
}
