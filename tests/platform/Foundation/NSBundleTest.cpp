#include "Foundation/NSBundle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "EnvironmentScope.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/StringsFileReader.h"
#include "TemporaryDirectory.h"

namespace {

void write(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::optional<StringsFileReader::Table> parse(const std::string& text) {
    return StringsFileReader::read(Value::Data(text.begin(), text.end()), nullptr);
}

// The language settings of one test: LANG as given, the other variables unset.
EnvironmentScope::Values language(const char* lang) {
    EnvironmentScope::Values values{{"LANGUAGE", std::nullopt},
                                    {"LC_ALL", std::nullopt},
                                    {"LC_MESSAGES", std::nullopt},
                                    {"LANG", std::nullopt}};
    if (lang)
        values.back().second = lang;
    return values;
}

class NSBundleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        write(folder_.file("en.lproj/Localizable.strings"),
              "/* greeting */\n\"Hello\" = \"Hello\";\n\"Only English\" = \"English only\";\n"
              "\"Quote\" = \"Say \\\"hi\\\"\\n\\tnow \\\\ \\U0041\\UD83D\\UDE00\"; // trailing\n"
              "Bare = word;\nSelf;\n");
        write(folder_.file("de.lproj/Localizable.strings"), "\"Hello\" = \"Hallo\";");
        write(folder_.file("Base.lproj/Localizable.strings"), "\"Base only\" = \"from Base\";");
        write(folder_.file("en.lproj/Menu.strings"), "\"File\" = \"File menu\";");
        write(folder_.file("style.json"), "{}");
        write(folder_.file("icons/pin.png"), "png");
        write(folder_.file("icons/car.png"), "png");
        write(folder_.file("en.lproj/help.html"), "<p>help</p>");
        NSPropertyListSerialization::writePropertyListToFile(
            Value(Value::Dictionary{{"CFBundleVersion", "1.2"}, {"Build", 7}}),
            folder_.file("Info.plist"), NSPropertyListSerialization::Format::XML);
    }

    TemporaryDirectory folder_;
};

}  // namespace

TEST(StringsFileReaderTest, ParsesEscapesCommentsAndBareWords) {
    auto table = parse(
        "// line comment\n/* block\n comment */ \"a\" = \"1\";\n"
        "\"esc\" = \"\\\"q\\\" \\\\ \\n\\t\\r \\U00e9 \\u263A \\UD83D\\UDE00 \\UD800x\";\n"
        "key.with-dots = value_1 ; \"same\";");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->at("a"), "1");
    EXPECT_EQ(table->at("esc"), "\"q\" \\ \n\t\r é ☺ 😀 \xEF\xBF\xBDx");
    EXPECT_EQ(table->at("key.with-dots"), "value_1");
    EXPECT_EQ(table->at("same"), "same");
}

TEST(StringsFileReaderTest, ReadsUTF16WithByteOrderMark) {
    const std::u16string text = u"\"K\u00f6\" = \"V\U0001F600\";";
    for (bool bigEndian : {false, true}) {
        Value::Data data = bigEndian ? Value::Data{0xFE, 0xFF} : Value::Data{0xFF, 0xFE};
        for (char16_t unit : text) {
            const auto high = static_cast<uint8_t>(unit >> 8);
            const auto low = static_cast<uint8_t>(unit & 0xFF);
            data.push_back(bigEndian ? high : low);
            data.push_back(bigEndian ? low : high);
        }
        auto table = StringsFileReader::read(data, nullptr);
        ASSERT_TRUE(table);
        EXPECT_EQ(table->at("Kö"), "V😀");
    }
}

TEST(StringsFileReaderTest, MalformedTablesAreRefused) {
    for (const char* text : {"\"a\" = \"b\"", "\"a\" = ;", "\"a\" = \"b", "/* open", "\"a\" \"b\";",
                             "= \"b\";", "\"a\" = \"\\U12\";", "\"a\" = \"b\" extra;"}) {
        SCOPED_TRACE(text);
        std::string reason;
        EXPECT_FALSE(StringsFileReader::read(Value::Data(text, text + std::strlen(text)), &reason));
        EXPECT_FALSE(reason.empty());
    }
    EXPECT_TRUE(parse(""));
}

TEST_F(NSBundleTest, LocalizedStringsFollowTheLanguageThenEnglishThenBase) {
    EnvironmentScope german(language("de_DE.UTF-8"));
    NSBundle bundle(folder_.path());
    EXPECT_EQ(NSBundle::preferredLocalizations(), (std::vector<std::string>{"de", "en", "Base"}));
    EXPECT_EQ(bundle.localizedStringForKey("Hello"), "Hallo");
    EXPECT_EQ(bundle.localizedStringForKey("Only English"), "English only");
    EXPECT_EQ(bundle.localizedStringForKey("Base only"), "from Base");
    EXPECT_EQ(bundle.localizedStringForKey("Missing", "Fallback"), "Fallback");
    EXPECT_EQ(bundle.localizedStringForKey("Missing"), "Missing");
    EXPECT_EQ(bundle.localizedStringForKey("File", "", "Menu"), "File menu");
    EXPECT_EQ(bundle.localizedStringForKey("Hello", "", "NoSuchTable"), "Hello");
}

TEST_F(NSBundleTest, EnglishEscapesAndBareWords) {
    EnvironmentScope english(language(nullptr));
    NSBundle bundle(folder_.path());
    EXPECT_EQ(NSBundle::preferredLocalizations(), (std::vector<std::string>{"en", "Base"}));
    EXPECT_EQ(bundle.localizedStringForKey("Quote"), "Say \"hi\"\n\tnow \\ A😀");
    EXPECT_EQ(bundle.localizedStringForKey("Bare"), "word");
    EXPECT_EQ(bundle.localizedStringForKey("Self"), "Self");
}

TEST_F(NSBundleTest, BrokenStringsFileFallsBackToTheKey) {
    EnvironmentScope english(language("en_GB.UTF-8"));
    write(folder_.file("en.lproj/Broken.strings"), "\"a\" = \"unterminated");
    std::string logged;
    NSLogSink previous = NSLogSetSink([&](NSLogLevel, const std::string& line) { logged += line; });
    NSBundle bundle(folder_.path());
    EXPECT_EQ(bundle.localizedStringForKey("a", "", "Broken"), "a");
    NSLogSetSink(previous);
    EXPECT_NE(logged.find("Broken.strings"), std::string::npos);
}

TEST_F(NSBundleTest, ResourcesAndInfoDictionary) {
    EnvironmentScope english(language(nullptr));
    auto bundle = NSBundle::bundleWithPath(folder_.path());
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(NSBundle::bundleWithPath(folder_.file("nothing")), nullptr);
    EXPECT_EQ(bundle->pathForResource("style", "json"), folder_.file("style.json"));
    EXPECT_EQ(bundle->pathForResource("style.json", ""), folder_.file("style.json"));
    EXPECT_EQ(bundle->pathForResource("pin", "png", "icons"), folder_.file("icons/pin.png"));
    EXPECT_EQ(bundle->pathForResource("help", "html"), folder_.file("en.lproj/help.html"));
    EXPECT_EQ(bundle->pathForResource("absent", "json"), std::nullopt);
    EXPECT_EQ(bundle->pathForResource("icons", ""), std::nullopt);  // folders are not resources
    EXPECT_EQ(
        bundle->pathsForResourcesOfType("png", "icons"),
        (std::vector<std::string>{folder_.file("icons/car.png"), folder_.file("icons/pin.png")}));
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleVersion"), Value("1.2"));
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("Build"), Value(7));
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("Absent"), std::nullopt);
}

TEST_F(NSBundleTest, MainBundleCanBeMovedForTests) {
    EnvironmentScope english(language(nullptr));
    const std::string defaultPath = NSBundle::mainBundle()->bundlePath();
    EXPECT_EQ(std::filesystem::path(defaultPath).filename(), "resources");
    NSBundle::setMainBundlePath(folder_.path());
    EXPECT_EQ(NSBundle::mainBundle()->bundlePath(), folder_.path());
    EXPECT_EQ(NSLocalizedString("Hello"), "Hello");
    EXPECT_EQ(NSLocalizedString("Bare"), "word");
    NSBundle::setMainBundlePath("");
    EXPECT_EQ(NSBundle::mainBundle()->bundlePath(), defaultPath);
}
