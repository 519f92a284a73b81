#include <gtest/gtest.h>

#include <map>

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

TEST(NSDataDetectorTest, KindsItDoesNotFindAloneAreRefused) {
    NSError error;
    constexpr uint64_t kSpelling = 1ull << 1;
    EXPECT_FALSE(NSDataDetector::dataDetectorWithTypes(kSpelling, &error));
    EXPECT_FALSE(error.domain.empty());
    auto detector = NSDataDetector::dataDetectorWithTypes(NSTextCheckingAllSystemTypes);
    ASSERT_TRUE(detector);
    EXPECT_EQ(
        detector->checkingTypes(),
        uint64_t(NSTextCheckingTypeLink | NSTextCheckingTypePhoneNumber | NSTextCheckingTypeDate |
                 NSTextCheckingTypeAddress | NSTextCheckingTypeTransitInformation));
}

std::vector<NSTextCheckingResult> dates(const std::string& text,
                                        uint64_t types = NSTextCheckingTypeDate) {
    return NSDataDetector::dataDetectorWithTypes(types)->matchesInString(text);
}

std::string written(const std::string& text, const NSTextCheckingResult& result) {
    return text.substr(result.range.location, result.range.length);
}

// The moment the local clock shows what a UTC clock shows at seconds since 1970.
NSDate localTime(double seconds) {
    const NSDate utc = NSDate::dateWithTimeIntervalSince1970(seconds);
    return utc.dateByAddingTimeInterval(
        -double(NSTimeZone::localTimeZone()->secondsFromGMTForDate(utc)));
}

TEST(NSDataDetectorTest, ReadsDatesTimesSpansAndZones) {
    const std::string text =
        "Meet on 2024-03-15 at 14:30, the tour is on 15 March 2024, 10:00-12:30 UTC+2 and the "
        "boat on March 5, 2024 at 3pm. Closed 15.03.2024.";
    const auto found = dates(text);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(written(text, found[0]), "2024-03-15 at 14:30");
    EXPECT_EQ(found[0].date, localTime(1710513000));  // 14:30
    EXPECT_EQ(found[0].timeZone, nullptr);
    EXPECT_EQ(found[0].duration, 0);

    EXPECT_EQ(written(text, found[1]), "15 March 2024, 10:00-12:30 UTC+2");
    EXPECT_EQ(found[1].date, NSDate::dateWithTimeIntervalSince1970(1710489600));
    ASSERT_TRUE(found[1].timeZone);
    EXPECT_EQ(found[1].timeZone->name(), "GMT+0200");
    EXPECT_EQ(found[1].duration, 2.5 * 3600);

    EXPECT_EQ(written(text, found[2]), "March 5, 2024 at 3pm");
    EXPECT_EQ(found[2].date, localTime(1709650800));  // 15:00
    // A date alone stands at noon.
    EXPECT_EQ(written(text, found[3]), "15.03.2024");
    EXPECT_EQ(found[3].date, localTime(1710504000));
    for (const auto& result : found)
        EXPECT_EQ(result.resultType, NSTextCheckingTypeDate);
}

TEST(NSDataDetectorTest, LeavesOutWhatIsNoDate) {
    // Impossible days and times, versions, addresses of machines, a verb.
    EXPECT_TRUE(dates("Due 31.02.2024, build 1.2.10, host 192.168.1.10, we may 5 times.").empty());
    const auto late = dates("On 2024-03-15 at 25:99 sharp");
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].range.length, 10u);  // the date without the impossible time
    // Without a year the date is in this year; a month name may come first
    // when capitalised.
    const auto yearless = dates("Open from 5 May and from June 1st.");
    ASSERT_EQ(yearless.size(), 2u);
    EXPECT_EQ(yearless[1].range.length, std::string("June 1st").size());
    // A written date is no phone number, even to a detector of phone numbers only.
    EXPECT_TRUE(dates("Closed 15.03.2024", NSTextCheckingTypePhoneNumber).empty());
    EXPECT_EQ(dates("Closed 15.03.2024, call 030 1234567",
                    NSTextCheckingTypeDate | NSTextCheckingTypePhoneNumber)
                  .size(),
              2u);
}

TEST(NSDataDetectorTest, FindsStreetAddresses) {
    const auto addresses = [](const std::string& text) {
        std::vector<std::map<std::string, std::string>> out;
        for (const auto& r : NSDataDetector::dataDetectorWithTypes(NSTextCheckingTypeAddress)
                                 ->matchesInString(text)) {
            EXPECT_EQ(r.resultType, NSTextCheckingTypeAddress);
            out.push_back(r.addressComponents);
        }
        return out;
    };
    using Components = std::vector<std::map<std::string, std::string>>;
    EXPECT_EQ(
        addresses("The shop at Stargarder Straße 12, 17033 Neubrandenburg is closed."),
        (Components{
            {{"Street", "Stargarder Straße 12"}, {"ZIP", "17033"}, {"City", "Neubrandenburg"}}}));
    EXPECT_EQ(
        addresses("Meet at Hauptstraße 5a, or in Unter den Linden 77, 10117 Berlin."),
        (Components{{{"Street", "Hauptstraße 5a"}},
                    {{"Street", "Unter den Linden 77"}, {"ZIP", "10117"}, {"City", "Berlin"}}}));
    EXPECT_EQ(addresses("Send it to 1600 Pennsylvania Avenue NW, Washington, DC 20500 today."),
              (Components{{{"Street", "1600 Pennsylvania Avenue NW"},
                           {"City", "Washington"},
                           {"State", "DC"},
                           {"ZIP", "20500"}}}));
    EXPECT_EQ(addresses("Rendez-vous au 12 rue de Rivoli, 75001 Paris."),
              (Components{{{"Street", "12 rue de Rivoli"}, {"ZIP", "75001"}, {"City", "Paris"}}}));
    EXPECT_TRUE(addresses("Chapter 12, 2024 Edition. We walked 5 km along the Ring road. "
                          "Unter den Linden 77 without a town.")
                    .empty());
}

TEST(NSDataDetectorTest, FindsFlightsAfterAWordForFlight) {
    const std::string text = "Flight LH 1234 lands at 18:05, Flug ew9042 not; LH 1234 alone not.";
    const auto found = NSDataDetector::dataDetectorWithTypes(NSTextCheckingTypeTransitInformation)
                           ->matchesInString(text);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(text.substr(found[0].range.location, found[0].range.length), "LH 1234");
    EXPECT_EQ(found[0].components,
              (NSTextCheckingResult::Components{{"Airline", "LH"}, {"Flight", "1234"}}));
    EXPECT_EQ(NSDataDetector::dataDetectorWithTypes(NSTextCheckingTypeTransitInformation)
                  ->matchesInString("Flug EW9042 nach Rostock")
                  .size(),
              1u);
}

TEST(NSDataDetectorTest, LongRunsOfWhatPatternsRepeatAreSearchedToTheEnd) {
    // Words, particles, digits and dotted digits, each over 20 000 times: a
    // pattern that backtracked through such a run ran out of time and missed
    // the address after it.
    std::string words, particles = "A", digits, dots;
    for (int i = 0; i < 20000; ++i) {
        words += "Stargarder ";
        particles += " de";
        digits += "1 ";
        dots += "1.";
    }
    const auto detector = NSDataDetector::dataDetectorWithTypes(NSTextCheckingAllSystemTypes);
    for (const std::string& text : {words, particles, digits, dots, std::string(100000, '\x01')}) {
        const auto found = detector->matchesInString(text + " mail guide@example.org");
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].URL, "mailto:guide@example.org");
    }
}

}  // namespace
