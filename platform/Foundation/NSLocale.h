#pragma once

#include <memory>
#include <optional>
#include <string>

// Keys of objectForKey and displayNameForKeyValue.
inline constexpr const char* NSLocaleIdentifier = "locale:id";
inline constexpr const char* NSLocaleLanguageCode = "locale:languageCode";
inline constexpr const char* NSLocaleCountryCode = "locale:countryCode";

// A language and region ("de_CH") over ICU: its parts and the names it gives
// languages and countries. An identifier ICU cannot read (garbage, a
// language that is not two or three letters) is logged and gives the root
// locale, whose identifier is "" and whose names are English.
class NSLocale {
  public:
    explicit NSLocale(const std::string& identifier);
    static std::shared_ptr<NSLocale> localeWithLocaleIdentifier(const std::string& identifier);
    // The user's locale from LC_ALL, LC_MESSAGES, then LANG ("de_CH.UTF-8"
    // gives "de_CH"); "en_US" when none is set, C, POSIX or unreadable.
    static std::shared_ptr<NSLocale> currentLocale();
    // The locale part of a POSIX locale name ("de_CH.UTF-8@euro" gives
    // "de_CH"); "" for C, POSIX and what is not a locale name.
    static std::string localeIdentifierFromPOSIXName(const std::string& name);

    const std::string& localeIdentifier() const { return identifier_; }
    std::optional<std::string> languageCode() const;
    std::optional<std::string> countryCode() const;
    // The identifier, language or country code; nullopt for an unknown key or
    // a part the locale lacks.
    std::optional<std::string> objectForKey(const std::string& key) const;
    // The name in this locale's language of a locale identifier, language
    // code ("fr" gives "Französisch" in German) or country code; nullopt when
    // ICU has no name for it.
    std::optional<std::string> displayNameForKeyValue(const std::string& key,
                                                      const std::string& value) const;

  private:
    std::string identifier_;
};
