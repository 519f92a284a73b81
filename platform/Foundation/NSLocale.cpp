#include "Foundation/NSLocale.h"

#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "Foundation/ICUString.h"
#include "Foundation/NSLog.h"

namespace {

constexpr size_t kMaximumIdentifierLength = ULOC_FULLNAME_CAPACITY - 1;

bool isLetters(const std::string& text, size_t minimum, size_t maximum) {
    if (text.size() < minimum || text.size() > maximum)
        return false;
    for (unsigned char c : text) {
        if (!std::isalpha(c))
            return false;
    }
    return true;
}

// ICU's canonical form ("de_CH") of an identifier, or nullopt when it is
// not one ICU can read.
std::optional<std::string> canonical(const std::string& identifier) {
    if (identifier.empty())
        return std::string();
    if (identifier.size() > kMaximumIdentifierLength)
        return std::nullopt;
    for (unsigned char c : identifier) {
        if (!std::isalnum(c) && c != '_' && c != '-' && c != '@' && c != '=' && c != ';')
            return std::nullopt;
    }
    char name[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_canonicalize(identifier.c_str(), name, sizeof name, &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0)
        return std::nullopt;
    char language[ULOC_LANG_CAPACITY];
    status = U_ZERO_ERROR;
    uloc_getLanguage(name, language, sizeof language, &status);
    if (U_FAILURE(status) || !isLetters(language, 2, 3))
        return std::nullopt;
    return std::string(name, static_cast<size_t>(length));
}

}  // namespace

NSLocale::NSLocale(const std::string& identifier) {
    if (auto name = canonical(identifier)) {
        identifier_ = *name;
    } else {
        NSLogWithLevel(NSLogLevel::Warning, "Not a locale identifier: \"%.64s\"",
                       identifier.c_str());
    }
}

std::shared_ptr<NSLocale> NSLocale::localeWithLocaleIdentifier(const std::string& identifier) {
    return std::make_shared<NSLocale>(identifier);
}

std::string NSLocale::localeIdentifierFromPOSIXName(const std::string& name) {
    std::string identifier = name.substr(0, name.find_first_of(".@:"));
    if (identifier == "C" || identifier == "POSIX")
        return {};
    size_t separator = identifier.find('_');
    if (!isLetters(identifier.substr(0, separator), 2, 3))
        return {};
    if (separator != std::string::npos && !isLetters(identifier.substr(separator + 1), 2, 3))
        return {};
    return canonical(identifier).value_or("");
}

std::shared_ptr<NSLocale> NSLocale::currentLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        std::string identifier = localeIdentifierFromPOSIXName(value);
        if (!identifier.empty())
            return localeWithLocaleIdentifier(identifier);
    }
    return localeWithLocaleIdentifier("en_US");
}

std::optional<std::string> NSLocale::languageCode() const {
    char language[ULOC_LANG_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_getLanguage(identifier_.c_str(), language, sizeof language, &status);
    if (U_FAILURE(status) || length <= 0)
        return std::nullopt;
    return std::string(language, static_cast<size_t>(length));
}

std::optional<std::string> NSLocale::countryCode() const {
    char country[ULOC_COUNTRY_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_getCountry(identifier_.c_str(), country, sizeof country, &status);
    if (U_FAILURE(status) || length <= 0)
        return std::nullopt;
    return std::string(country, static_cast<size_t>(length));
}

std::optional<std::string> NSLocale::objectForKey(const std::string& key) const {
    if (key == NSLocaleIdentifier)
        return identifier_;
    if (key == NSLocaleLanguageCode)
        return languageCode();
    if (key == NSLocaleCountryCode)
        return countryCode();
    return std::nullopt;
}

std::optional<std::string> NSLocale::displayNameForKeyValue(const std::string& key,
                                                            const std::string& value) const {
    std::string subject;
    int32_t (*name)(const char*, const char*, UChar*, int32_t, UErrorCode*) = nullptr;
    if (key == NSLocaleIdentifier) {
        auto identifier = canonical(value);
        if (!identifier || identifier->empty())
            return std::nullopt;
        subject = *identifier;
        name = uloc_getDisplayName;
    } else if (key == NSLocaleLanguageCode) {
        if (!isLetters(value, 2, 3))
            return std::nullopt;
        subject = value;
        name = uloc_getDisplayLanguage;
    } else if (key == NSLocaleCountryCode) {
        if (!isLetters(value, 2, 3) && !(value.size() == 3 && std::isdigit(value[0])))
            return std::nullopt;
        subject = "und_" + value;
        name = uloc_getDisplayCountry;
    } else {
        return std::nullopt;
    }
    std::vector<UChar> text(256);
    UErrorCode status = U_ZERO_ERROR;
    // ICU's root locale has no names of its own, and "" would mean ICU's default.
    const char* displayLocale = identifier_.empty() ? "en" : identifier_.c_str();
    int32_t length = name(subject.c_str(), displayLocale, text.data(),
                          static_cast<int32_t>(text.size()), &status);
    // Without a name ICU echoes the code back.
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(text.size())) {
        return std::nullopt;
    }
    std::string result = ICUStringToUTF8(text.data(), length).value_or("");
    std::string lowerValue;
    for (unsigned char c : value)
        lowerValue += static_cast<char>(std::tolower(c));
    std::string lowerResult;
    for (unsigned char c : result)
        lowerResult += static_cast<char>(std::tolower(c));
    if (lowerResult == lowerValue)
        return std::nullopt;
    return result;
}
