#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "Foundation/ICUString.h"
#include "Foundation/NSAssert.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSError.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSUUID.h"
#include "Foundation/NSValueTransformer.h"

namespace {

class UppercaseTransformer : public NSValueTransformer {
  public:
    std::any transformedValue(const std::any& value) const override {
        const auto* text = std::any_cast<std::string>(&value);
        if (!text)
            return {};
        std::string upper = *text;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    }
};

}  // namespace

TEST(NSLogTest, SinkReceivesLinesAtOrAboveTheMinimumLevel) {
    std::vector<std::pair<NSLogLevel, std::string>> lines;
    NSLogSink previous = NSLogSetSink(
        [&](NSLogLevel level, const std::string& line) { lines.emplace_back(level, line); });
    NSLogSetMinimumLevel(NSLogLevel::Warning);
    NSLog("dropped %d", 1);
    NSLogWithLevel(NSLogLevel::Error, "kept %s %d", "line", 2);
    NSLogWithLevel(NSLogLevel::Warning, "%s", std::string(2000, 'x').c_str());
    NSLogSetMinimumLevel(NSLogLevel::Info);
    NSLogSetSink(previous);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, NSLogLevel::Error);
    EXPECT_EQ(lines[0].second, "kept line 2");
    EXPECT_EQ(lines[1].second.size(), 2000u);
}

TEST(NSAssertDeathTest, FailureNamesFileLineAndMessageThenAborts) {
    EXPECT_DEATH(NSAssert(1 + 1 == 3, "CBGeoData/CBCoordinatePath", "Segment %d beyond bounds", 7),
                 "\\*\\*\\* Assertion failure in CBGeoData/CBCoordinatePath:[0-9]+, Segment 7 "
                 "beyond bounds");
    NSAssert(true, "never", "not reached");
}

TEST(NSErrorTest, DescriptionsFallBackToDomainAndCode) {
    NSError plain = NSError::errorWithDomain("Demo", 7);
    EXPECT_EQ(plain.localizedDescription(), "The operation couldn't be completed. (Demo error 7.)");
    NSError described = NSError::errorWithDomain("Demo", 8, {{"NSLocalizedDescription", "Broken"}});
    EXPECT_EQ(described.description(), "Error Domain=Demo Code=8 \"Broken\"");
}

TEST(NSDateTest, NowIsTheSystemClock) {
    const double now = static_cast<double>(std::time(nullptr));
    EXPECT_NEAR(NSDate::date().timeIntervalSince1970(), now, 2.0);
    EXPECT_NEAR(NSDate::dateWithTimeIntervalSinceNow(60).timeIntervalSinceNow(), 60.0, 2.0);
}

TEST(NSUUIDTest, RandomVersionFourInCanonicalForm) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        NSUUID uuid;
        const std::string text = uuid.UUIDString();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[8], '-');
        EXPECT_EQ(text[23], '-');
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF-"), std::string::npos);
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(NSValueTransformerTest, RegistryByNameAcrossThreads) {
    EXPECT_EQ(NSValueTransformer::valueTransformerForName("Upper"), nullptr);
    auto transformer = std::make_shared<UppercaseTransformer>();
    NSValueTransformer::setValueTransformerForName(transformer, "Upper");
    std::vector<std::thread> readers;
    std::atomic<int> found{0};
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            for (int k = 0; k < 1000; ++k) {
                if (NSValueTransformer::valueTransformerForName("Upper"))
                    ++found;
                NSValueTransformer::setValueTransformerForName(transformer, "Other");
            }
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(found, 4000);
    auto registered = NSValueTransformer::valueTransformerForName("Upper");
    EXPECT_EQ(std::any_cast<std::string>(registered->transformedValue(std::string("abc"))), "ABC");
    EXPECT_FALSE(registered->transformedValue(42).has_value());
    EXPECT_FALSE(registered->reverseTransformedValue(std::string("ABC")).has_value());
    NSValueTransformer::setValueTransformerForName(nullptr, "Upper");
    NSValueTransformer::setValueTransformerForName(nullptr, "Other");
    EXPECT_EQ(NSValueTransformer::valueTransformerForName("Upper"), nullptr);
}

TEST(ICUStringTest, RepairingKeepsGoodTextAndReplacesEachBrokenSequence) {
    EXPECT_EQ(UTF8StringByRepairing("Friedl\xC3\xA4nder Tor"), "Friedl\xC3\xA4nder Tor");
    // Latin-1 bytes, a truncated sequence at the end, an overlong slash, a
    // stray continuation byte and a NUL inside.
    EXPECT_EQ(UTF8StringByRepairing("Friedl\xE4nder"), "Friedl\xEF\xBF\xBDnder");
    EXPECT_EQ(UTF8StringByRepairing("Tor \xE2\x82"), "Tor \xEF\xBF\xBD");
    EXPECT_EQ(UTF8StringByRepairing("a\xC0\xAF"
                                    "b"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(UTF8StringByRepairing(std::string("\x80x\0y", 4)),
              std::string("\xEF\xBF\xBDx\0y", 6));
    EXPECT_EQ(UTF8StringByRepairing(""), "");
}
