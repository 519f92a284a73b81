#include "Foundation/NSStringFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "EnvironmentScope.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "TemporaryDirectory.h"

namespace {
// A file of a bundle folder, its folders made.
void writeFile(const TemporaryDirectory& folder, const std::string& name, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(folder.file(name)).parent_path());
    std::ofstream(folder.file(name)) << text;
}

// The user's language from LANG alone.
EnvironmentScope::Values onlyLang(const std::string& lang) {
    return {{"LANGUAGE", std::nullopt},
            {"LC_ALL", std::nullopt},
            {"LC_MESSAGES", std::nullopt},
            {"LANG", lang}};
}
}  // namespace

TEST(NSStringFormatTest, TypedConversions) {
    EXPECT_EQ(
        NSStringWithFormat("%@ has %d places in %ld km², %.1f%% done", {"Zürich", 12, 87L, 99.25}),
        "Zürich has 12 places in 87 km², 99.2% done");
    EXPECT_EQ(NSStringWithFormat("%2$@ before %1$@, %2$@ again", {"one", "two"}),
              "two before one, two again");
    EXPECT_EQ(NSStringWithFormat("%1$.2f / %2$d", {0.5, 3}), "0.50 / 3");
    // Objects print any argument; widths count characters, not bytes.
    EXPECT_EQ(NSStringWithFormat("[%@|%@|%s]", {7, 2.5, "x"}), "[7|2.5|x]");
    EXPECT_EQ(NSStringWithFormat("[%4@][%-4@]", {"äb", "ö"}), "[  äb][ö   ]");
    EXPECT_EQ(NSStringWithFormat("%05d %x %u %lld %zu %c", {42, 255, 7u, -3LL, size_t{9}, 65}),
              "00042 ff 7 -3 9 A");
    EXPECT_EQ(NSStringWithFormat("%e", {1234.5}), "1.234500e+03");
    EXPECT_EQ(NSStringWithFormat("no conversions, 100%%", {}), "no conversions, 100%");
    // A translation may leave an argument out.
    EXPECT_EQ(NSStringWithFormat("one place", {1}), "one place");
    EXPECT_EQ(NSStringWithFormat("%2$@ only", {"a", "b"}), "b only");
}

TEST(NSStringFormatTest, FormatsThatDoNotFitTheArgumentsAreRefused) {
    for (const char* format : {
             "%@ %@ %@",           // one more than given
             "%3$@",               // position past the end
             "%d",                 // text where an integer is wanted
             "%f %d",              // types swapped
             "%1$@ %@",            // positions mixed with sequence
             "%@ %1$@",            //
             "%0$@",               // positions count from 1
             "%n",                 // writes through a pointer
             "%p", "%*d", "%.*f",  // no pointers, no widths from arguments
             "%", "50 %",          // a lone percent sign
             "%l", "%5000d",       // no conversion; a giant width
             "%.9999f",            // a giant precision
             "%K", "%1$",          // unknown; a position without conversion
         }) {
        SCOPED_TRACE(format);
        EXPECT_EQ(NSStringWithFormat(format, {"text", 2.5}), std::nullopt);
    }
    EXPECT_EQ(NSStringWithFormat("%d", {}), std::nullopt);
    EXPECT_EQ(NSStringWithFormat(std::string_view("%\0d", 3), {1}), std::nullopt);
    EXPECT_EQ(NSStringWithFormat("%.1f", {1}), std::nullopt);  // an integer is not a double
    EXPECT_EQ(NSStringWithFormat("%c", {200}), std::nullopt);  // not a whole character

    auto conversions = NSFormatConversions("%2$.1f of %1$@");
    ASSERT_TRUE(conversions);
    ASSERT_EQ(conversions->size(), 2u);
    EXPECT_EQ((*conversions)[0].kind, NSFormatConversion::Kind::Real);
    EXPECT_EQ((*conversions)[0].argument, 1u);
    EXPECT_EQ((*conversions)[1].kind, NSFormatConversion::Kind::Any);
    EXPECT_EQ(NSFormatConversions("%q"), std::nullopt);
}

TEST(NSStringFormatTest, LocalizedFormatsFallBackWhenATranslationDoesNotFit) {
    TemporaryDirectory folder;
    writeFile(folder, "en.lproj/Localizable.strings",
              "\"PlacesIn\" = \"%d places in %@\";\n\"Stats\" = \"Version %@, %.1f MB\";\n"
              "\"Broken\" = \"%@ %@ %@\";\n");
    writeFile(folder, "de.lproj/Localizable.strings",
              "\"PlacesIn\" = \"%2$@: %1$d Orte\";\n\"Stats\" = \"Version %d, %s MB\";\n"
              "\"Broken\" = \"%d\";\n");
    EnvironmentScope german(onlyLang("de_CH.UTF-8"));
    NSBundle::setMainBundlePath(folder.path());
    std::string logged;
    NSLogSink previous = NSLogSetSink([&](NSLogLevel, const std::string& line) { logged += line; });

    EXPECT_EQ(NSLocalizedFormat("PlacesIn", {12, "Bern"}), "Bern: 12 Orte");
    EXPECT_TRUE(logged.empty());
    // The German translation reads an integer where text was given: English.
    EXPECT_EQ(NSLocalizedFormat("Stats", {"2.1", 3.25}), "Version 2.1, 3.2 MB");
    EXPECT_NE(logged.find("Version %d, %s MB"), std::string::npos);
    // Nothing fits: the key as it stands.
    EXPECT_EQ(NSLocalizedFormat("Broken", {"x"}), "Broken");
    // A key that is its own format.
    EXPECT_EQ(NSLocalizedFormat("%@ and %d more", {"Bern", 3}), "Bern and 3 more");

    NSLogSetSink(previous);
    NSBundle::setMainBundlePath({});
}

// Counts take the form their language's plural rules give them: Polish has
// "few" and "many" beside "one"; a form a translation lacks is its "other".
TEST(NSStringFormatTest, PluralFormsFollowTheLanguagesRules) {
    TemporaryDirectory folder;
    writeFile(folder, "en.lproj/Localizable.strings",
              "\"Links:one\" = \"%li link\";\n\"Links:other\" = \"%li links\";\n");
    writeFile(folder, "pl.lproj/Localizable.strings",
              "\"Links:one\" = \"%li link\";\n\"Links:few\" = \"%li linki\";\n"
              "\"Links:other\" = \"%li linków\";\n");
    NSBundle::setMainBundlePath(folder.path());
    {
        EnvironmentScope english(onlyLang("en_GB.UTF-8"));
        EXPECT_EQ(NSLocalizedPluralFormat("Links", 1), "1 link");
        EXPECT_EQ(NSLocalizedPluralFormat("Links", 500), "500 links");
    }
    {
        EnvironmentScope polish(onlyLang("pl_PL.UTF-8"));
        EXPECT_EQ(NSLocalizedPluralFormat("Links", 1), "1 link");
        EXPECT_EQ(NSLocalizedPluralFormat("Links", 3), "3 linki");
        EXPECT_EQ(NSLocalizedPluralFormat("Links", 5), "5 linków");  // "many", not translated
    }
    NSBundle::setMainBundlePath({});
}
