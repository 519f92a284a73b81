#include <gtest/gtest.h>

#include "Foundation/NSDataDetector.h"

namespace {

std::vector<std::string> found(const std::string& text, uint64_t types) {
    std::vector<std::string> out;
    for (const auto& r : NSDataDetector::dataDetectorWithTypes(types)->matchesInString(text))
        out.push_back(std::to_string(r.range.location) + "+" + std::to_string(r.range.length) +
                      " " +
                      (r.resultType == NSTextCheckingTypeLink ? r.URL : "tel " + r.phoneNumber));
    return out;
}

constexpr uint64_t kBoth = NSTextCheckingTypeLink | NSTextCheckingTypePhoneNumber;

TEST(NSDataDetectorTest, FindsLinksAddressesAndPhoneNumbers) {
    EXPECT_EQ(found("Menu at https://example.org/menu?day=1 (see www.harbour.example).", kBoth),
              (std::vector<std::string>{"8+30 https://example.org/menu?day=1",
                                        "44+19 http://www.harbour.example"}));
    EXPECT_EQ(
        found("Write to guide@example.org, or call +49 40 123-4567 today.", kBoth),
        (std::vector<std::string>{"9+17 mailto:guide@example.org", "36+15 tel +49 40 123-4567"}));
    // Ranges count UTF-16 units: "é" is one, "𝄞" two.
    EXPECT_EQ(found("caf\xc3\xa9 \xf0\x9d\x84\x9e (030) 1234567", kBoth),
              (std::vector<std::string>{"8+13 tel (030) 1234567"}));
    // Brackets a URL opened stay; the sentence's own do not.
    EXPECT_EQ(found("(wiki: https://example.org/A_(b))", NSTextCheckingTypeLink),
              (std::vector<std::string>{"7+25 https://example.org/A_(b)"}));
}

TEST(NSDataDetectorTest, LeavesOutWhatIsNoLinkOrNumber) {
    EXPECT_TRUE(found("In 2024 the 3 km walk cost 12.50; open 9-17.", kBoth).empty());
    EXPECT_TRUE(found("a@b, @home, x@localhost, 1234567890123456789", kBoth).empty());
    // Numbers inside a URL are part of the link.
    EXPECT_EQ(found("http://example.org/1234567890", kBoth).size(), 1u);
    EXPECT_TRUE(found("call 030 1234567", NSTextCheckingTypeLink).empty());
}

TEST(NSDataDetectorTest, DatesAndAddressesAloneAreRefused) {
    NSError error;
    EXPECT_FALSE(NSDataDetector::dataDetectorWithTypes(NSTextCheckingTypeDate, &error));
    EXPECT_FALSE(error.domain.empty());
    auto detector =
        NSDataDetector::dataDetectorWithTypes(NSTextCheckingTypeDate | NSTextCheckingTypeLink);
    ASSERT_TRUE(detector);
    EXPECT_EQ(detector->checkingTypes(), uint64_t(NSTextCheckingTypeLink));
    EXPECT_FALSE(detector->firstMatchInString("on 12 May 2024 at Main Street 5"));
}

}  // namespace
