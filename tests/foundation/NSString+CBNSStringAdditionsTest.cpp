#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <unicode/uloc.h>

#include <filesystem>
#include <fstream>

#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "foundation/ZELFormat.h"

namespace {
namespace fs = std::filesystem;

// A private home (user defaults) and a bundle with English strings.
class NSStringCBNSStringAdditionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("cbnsstring-" + std::to_string(::getpid()));
        fs::create_directories(home / "bundle" / "en.lproj");
        NSSetApplicationHome(home.string());
        NSUserDefaults::resetStandardUserDefaults();
        NSBundle::setMainBundlePath((home / "bundle").string());
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
        fs::remove_all(home);
    }
    // A new bundle folder each time: a bundle reads each table once.
    void writeStrings(const std::string& text) {
        const fs::path bundle = home / ("bundle" + std::to_string(++bundles));
        fs::create_directories(bundle / "en.lproj");
        std::ofstream(bundle / "en.lproj" / "Localizable.strings") << text;
        NSBundle::setMainBundlePath(bundle.string());
    }
    void setMetric(bool metric) {
        NSUserDefaults::standardUserDefaults()->setBoolForKey(metric, "km");
    }

    fs::path home;
    int bundles = 0;
};
}  // namespace

TEST_F(NSStringCBNSStringAdditionsTest, DistancesSwitchWithTheKmDefault) {
    // Without the default (never set) the distance is imperial.
    EXPECT_EQ(stringWithDistanceFromFloat(1000), "0.6 mi");
    setMetric(true);
    EXPECT_EQ(stringWithDistanceFromFloat(0), "0 m");
    EXPECT_EQ(stringWithDistanceFromFloat(999), "999 m");
    EXPECT_EQ(stringWithDistanceFromFloat(1000), "1.0 km");
    EXPECT_EQ(stringWithDistanceFromFloat(1049), "1.0 km");
    EXPECT_EQ(stringWithDistanceFromFloat(1051), "1.1 km");
    EXPECT_EQ(stringWithDistanceFromFloat(12345), "12.3 km");
    setMetric(false);
    EXPECT_EQ(stringWithDistanceFromFloat(160), "525 ft");  // 0.0994 mi
    EXPECT_EQ(stringWithDistanceFromFloat(161), "0.1 mi");
    EXPECT_EQ(stringWithDistanceFromFloat(1609.344f), "1.0 mi");
    // A registered default counts like a stored one.
    NSUserDefaults::standardUserDefaults()->removeObjectForKey("km");
    NSUserDefaults::standardUserDefaults()->registerDefaults({{"km", Value(true)}});
    EXPECT_EQ(stringWithDistanceFromFloat(500), "500 m");
    // Bad points give no distance rather than "nan km" or "inf km".
    for (const float bad : {std::nanf(""), std::numeric_limits<float>::infinity(), -1.0f}) {
        for (const bool metric : {true, false}) {
            setMetric(metric);
            EXPECT_EQ(stringWithDistanceFromFloat(bad), "") << bad << " metric " << metric;
        }
    }
}

TEST_F(NSStringCBNSStringAdditionsTest, HoursAndMinutesRoundUpwards) {
    EXPECT_EQ(stringWithTimeFromFloat(0), "");
    EXPECT_EQ(stringWithTimeFromFloat(1), "1 minute");
    EXPECT_EQ(stringWithTimeFromFloat(60), "1 minute");
    EXPECT_EQ(stringWithTimeFromFloat(61), "2 minutes");
    EXPECT_EQ(stringWithTimeFromFloat(3600), "1 hour");
    EXPECT_EQ(stringWithTimeFromFloat(3601), "1 hour, 1 minute");
    EXPECT_EQ(stringWithTimeFromFloat(7200 + 59 * 60), "2 hours, 59 minutes");
    EXPECT_EQ(stringWithTimeFromFloat(7200 + 59 * 60 + 1), "3 hours");

    writeStrings(
        "\"X hour\" = \"%.0f Stunde\";\n\"X hours\" = \"%.0f Stunden\";\n"
        "\"X minute\" = \"%.0f Minute\";\n\"X minutes\" = \"%s Minuten\";\n");
    EXPECT_EQ(stringWithTimeFromFloat(7260), "2 Stunden, 1 Minute");
    // A translation that does not take one number falls back to English.
    EXPECT_EQ(stringWithTimeFromFloat(180), "3 minutes");
}

TEST_F(NSStringCBNSStringAdditionsTest, Coordinates) {
    EXPECT_EQ(stringWithCoordinate({-33.5, 151.25}), "33.500000 S, 151.250000 E");
    EXPECT_EQ(stringWithCoordinate({0, -0.0000004}), "0.000000 N, 0.000000 W");
    EXPECT_EQ(stringWithCoordinate({53.5569, 13.261}), "53.556900 N, 13.261000 E");
    writeStrings("\"EastAbbr\" = \"O\";\n");
    EXPECT_EQ(stringWithCoordinate({53.5569, 13.261}), "53.556900 N, 13.261000 O");
}

TEST(NSStringCBNSStringAdditionsCountryTest, StreetAndHouseNumberPerCountry) {
    auto joined = [](const char* code) {
        return stringWithObjectsNameAndHouseNumberForCountryCode("Main Street", "12",
                                                                 std::string(code));
    };
    EXPECT_EQ(joined("US"), "12 Main Street");
    EXPECT_EQ(joined("USA"), "12 Main Street");  // cut to two letters
    EXPECT_EQ(joined("AU"), "12 Main Street");
    EXPECT_EQ(joined("FR"), "12, Main Street");
    EXPECT_EQ(joined("IT"), "Main Street, 12");
    EXPECT_EQ(joined("ES"), "Main Street, 12");
    EXPECT_EQ(joined("DE"), std::nullopt);
    EXPECT_EQ(joined("GB"), std::nullopt);
    EXPECT_EQ(joined("us"), std::nullopt);  // codes are upper case
    EXPECT_EQ(stringWithObjectsNameAndHouseNumberForCountryCode("Hauptstraße", "3", std::nullopt),
              "Hauptstraße 3");

    const std::string saved = uloc_getDefault();
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("de_DE", &status);
    EXPECT_EQ(stringWithObjectsNameAndHouseNumber("Hauptstraße", "3"), "Hauptstraße 3");
    uloc_setDefault("en_US", &status);
    EXPECT_EQ(stringWithObjectsNameAndHouseNumber("Main Street", "12"), "12 Main Street");
    EXPECT_EQ(stringWithObjectsNameAndHouseNumber("Main Street", std::nullopt), "Main Street");
    EXPECT_EQ(stringWithObjectsNameAndHouseNumber(std::nullopt, "12"), std::nullopt);
    // A process started without a locale chose no country.
    uloc_setDefault("en_US_POSIX", &status);
    EXPECT_EQ(stringWithObjectsNameAndHouseNumber("Fritz-Reuter-Stra\u00dfe", "1"),
              "Fritz-Reuter-Stra\u00dfe 1");
    uloc_setDefault(saved.c_str(), &status);
}

TEST(NSStringCBNSStringAdditionsCountryTest, MultiReplacementAndNumericOrder) {
    const std::vector<std::string> targets{"a", "bb"};
    const std::vector<std::string> replacements{"bb", "c"};
    // Later pairs see the results of earlier ones.
    EXPECT_EQ(
        stringByReplacingOccurrencesOfStringsWithStringsOptions("aXbb", &targets, &replacements, 0),
        "cXc");
    const std::vector<std::string> one{"x"};
    EXPECT_EQ(stringByReplacingOccurrencesOfStringsWithStringsOptions("axb", &targets, &one, 0),
              "axb");
    EXPECT_EQ(stringByReplacingOccurrencesOfStringsWithStringsOptions("axb", nullptr, &one, 0),
              "axb");
    const std::vector<std::string> street{"STRASSE"};
    const std::vector<std::string> shortStreet{"str."};
    EXPECT_EQ(stringByReplacingOccurrencesOfStringsWithStringsOptions(
                  "Lindenstrasse, Strasse", &street, &shortStreet, NSCaseInsensitiveSearch),
              "Lindenstr., str.");
    EXPECT_EQ(stringByReplacingOccurrencesOfStringsWithStringsOptions("Lindenstrasse", &street,
                                                                      &shortStreet, 0),
              "Lindenstrasse");
    const std::vector<std::string> umlaut{"Ö"}, oe{"Oe"};
    EXPECT_EQ(stringByReplacingOccurrencesOfStringsWithStringsOptions("Köln", &umlaut, &oe,
                                                                      NSCaseInsensitiveSearch),
              "KOeln");

    EXPECT_EQ(compareNumerically("a2", "a10"), NSOrderedAscending);
    EXPECT_EQ(compareNumerically("12b", "12a"), NSOrderedDescending);
    EXPECT_EQ(compareNumerically("7", "007"), NSOrderedSame);
    EXPECT_EQ(compareNumerically("House 9", "House 10a"), NSOrderedAscending);
    EXPECT_EQ(compareNumerically("abc", "ab"), NSOrderedDescending);
    EXPECT_EQ(compareNumerically("", "0"), NSOrderedAscending);
    EXPECT_EQ(compareNumerically("99999999999999999999999", "100000000000000000000000"),
              NSOrderedAscending);
}

// A licence wrapped at 72 columns broke its lines again at a phone's width,
// leaving short lines; paragraphs and lists keep their shape.
TEST(NSStringCBNSStringAdditionsTextTest, WrappedLinesJoinIntoParagraphs) {
    EXPECT_EQ(stringByJoiningWrappedLines("This map is made\navailable under the\nODbL 1.0.\n\n"
                                          "Say \"\u00A9 OSM\".\n"),
              "This map is made available under the ODbL 1.0.\n\nSay \"\u00A9 OSM\".\n");
    EXPECT_EQ(stringByJoiningWrappedLines("Terms:\n- one\n- two\n1. three\n  indented\nend"),
              "Terms:\n- one\n- two\n1. three\n  indented end");
    // Windows line ends and lines of blanks part paragraphs as well.
    EXPECT_EQ(stringByJoiningWrappedLines("a\r\nb\r\n  \r\nc"), "a b\n\nc");
    EXPECT_EQ(stringByJoiningWrappedLines(""), "");
    EXPECT_EQ(stringByJoiningWrappedLines("1984 was\na year"), "1984 was a year");
}

TEST(ZELFormatTest, OnlyOneFloatingConversion) {
    EXPECT_EQ(ZELFormatWithDouble("%.0f hours", 2), "2 hours");
    EXPECT_EQ(ZELFormatWithDouble("100%% in %5.1f h", 1.25), "100% in   1.2 h");
    EXPECT_EQ(ZELFormatWithDouble("%s", 1), std::nullopt);
    EXPECT_EQ(ZELFormatWithDouble("%d", 1), std::nullopt);
    EXPECT_EQ(ZELFormatWithDouble("%f %f", 1), std::nullopt);
    EXPECT_EQ(ZELFormatWithDouble("no number", 1), std::nullopt);
    EXPECT_EQ(ZELFormatWithDouble("%n%f", 1), std::nullopt);
    EXPECT_EQ(ZELFormatWithDouble("trailing %", 1), std::nullopt);
}
