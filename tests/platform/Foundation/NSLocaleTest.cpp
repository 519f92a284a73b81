#include "Foundation/NSLocale.h"

#include <gtest/gtest.h>

#include "EnvironmentScope.h"

TEST(NSLocaleTest, PartsAndDisplayNames) {
    auto swiss = NSLocale::localeWithLocaleIdentifier("de_CH");
    EXPECT_EQ(swiss->localeIdentifier(), "de_CH");
    EXPECT_EQ(swiss->languageCode(), "de");
    EXPECT_EQ(swiss->countryCode(), "CH");
    EXPECT_EQ(swiss->objectForKey(NSLocaleLanguageCode), "de");
    EXPECT_EQ(swiss->objectForKey(NSLocaleCountryCode), "CH");
    EXPECT_EQ(swiss->objectForKey("unknown"), std::nullopt);
    EXPECT_EQ(swiss->displayNameForKeyValue(NSLocaleLanguageCode, "fr"), "Französisch");
    EXPECT_EQ(swiss->displayNameForKeyValue(NSLocaleCountryCode, "JP"), "Japan");
    EXPECT_EQ(swiss->displayNameForKeyValue(NSLocaleIdentifier, "en_US"),
              "Englisch (Vereinigte Staaten)");
    auto english = NSLocale::localeWithLocaleIdentifier("en_US");
    EXPECT_EQ(english->displayNameForKeyValue(NSLocaleLanguageCode, "de"), "German");
    EXPECT_EQ(english->displayNameForKeyValue(NSLocaleCountryCode, "CH"), "Switzerland");
    // Codes without a name, and values that are no codes at all.
    EXPECT_EQ(english->displayNameForKeyValue(NSLocaleLanguageCode, "qq"), std::nullopt);
    EXPECT_EQ(english->displayNameForKeyValue(NSLocaleCountryCode, "QQ"), std::nullopt);
    EXPECT_EQ(english->displayNameForKeyValue(NSLocaleLanguageCode, "f'r; DROP"), std::nullopt);
    EXPECT_EQ(english->displayNameForKeyValue(NSLocaleLanguageCode, ""), std::nullopt);
    EXPECT_EQ(english->displayNameForKeyValue("unknown", "de"), std::nullopt);
    // Only language.
    auto french = NSLocale::localeWithLocaleIdentifier("fr");
    EXPECT_EQ(french->countryCode(), std::nullopt);
}

TEST(NSLocaleTest, GarbageIdentifiersGiveTheRootLocale) {
    for (const char* garbage :
         {"!!", "12_34", "x", "toolongname_XX", "de_CH\n", "€uro",
          "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
          "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}) {
        SCOPED_TRACE(garbage);
        NSLocale locale(garbage);
        EXPECT_EQ(locale.localeIdentifier(), "");
        EXPECT_EQ(locale.languageCode(), std::nullopt);
        EXPECT_EQ(locale.countryCode(), std::nullopt);
        // Names still come, in the root locale's English.
        EXPECT_EQ(locale.displayNameForKeyValue(NSLocaleLanguageCode, "de"), "German");
        EXPECT_EQ(locale.displayNameForKeyValue(NSLocaleCountryCode, "CH"), "Switzerland");
    }
    EXPECT_EQ(NSLocale("en-GB").localeIdentifier(), "en_GB");
}

TEST(NSLocaleTest, CurrentLocaleFollowsTheEnvironment) {
    auto with = [](std::optional<std::string> all, std::optional<std::string> messages,
                   std::optional<std::string> lang) {
        EnvironmentScope scope({{"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}});
        return NSLocale::currentLocale()->localeIdentifier();
    };
    EXPECT_EQ(with(std::nullopt, std::nullopt, "de_CH.UTF-8"), "de_CH");
    EXPECT_EQ(with(std::nullopt, "fr_FR.UTF-8@euro", "de_CH.UTF-8"), "fr_FR");
    EXPECT_EQ(with("it_IT", "fr_FR", "de_CH"), "it_IT");
    EXPECT_EQ(with("C", std::nullopt, "pt_BR.UTF-8"), "pt_BR");
    EXPECT_EQ(with(std::nullopt, std::nullopt, std::nullopt), "en_US");
    EXPECT_EQ(with("POSIX", "C.UTF-8", std::nullopt), "en_US");
    EXPECT_EQ(with("garbage!!", "12", "x_Y"), "en_US");
    EXPECT_EQ(NSLocale::localeIdentifierFromPOSIXName("sv_SE.ISO-8859-1"), "sv_SE");
    EXPECT_EQ(NSLocale::localeIdentifierFromPOSIXName("../../etc"), "");
}
