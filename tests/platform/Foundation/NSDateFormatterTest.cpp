#include "Foundation/NSDateFormatter.h"

#include <gtest/gtest.h>

#include <thread>

#include "EnvironmentScope.h"
#include "Foundation/NSLog.h"

namespace {

// 2026-03-05 14:07:09 UTC, a Thursday.
const NSDate kDate = NSDate::dateWithTimeIntervalSince1970(1772719629.0);

std::shared_ptr<NSDateFormatter> formatter(const char* locale, NSDateFormatterStyle dateStyle,
                                           NSDateFormatterStyle timeStyle,
                                           const char* zone = "UTC") {
    auto result = std::make_shared<NSDateFormatter>();
    result->setLocale(NSLocale::localeWithLocaleIdentifier(locale));
    result->setTimeZone(NSTimeZone::timeZoneWithName(zone));
    result->setDateStyle(dateStyle);
    result->setTimeStyle(timeStyle);
    return result;
}

using Style = NSDateFormatterStyle;
// ICU puts a narrow no-break space before AM and PM.
#define NNBSP "\u202F"

}  // namespace

TEST(NSDateFormatterTest, StylesInEnglishAndGerman) {
    EXPECT_EQ(formatter("en_US", Style::ShortStyle, Style::NoStyle)->stringFromDate(kDate),
              "3/5/26");
    EXPECT_EQ(formatter("en_US", Style::MediumStyle, Style::NoStyle)->stringFromDate(kDate),
              "Mar 5, 2026");
    EXPECT_EQ(formatter("en_US", Style::LongStyle, Style::NoStyle)->stringFromDate(kDate),
              "March 5, 2026");
    EXPECT_EQ(formatter("en_US", Style::FullStyle, Style::NoStyle)->stringFromDate(kDate),
              "Thursday, March 5, 2026");
    EXPECT_EQ(formatter("en_US", Style::NoStyle, Style::ShortStyle)->stringFromDate(kDate),
              "2:07" NNBSP "PM");
    EXPECT_EQ(formatter("en_US", Style::NoStyle, Style::MediumStyle)->stringFromDate(kDate),
              "2:07:09" NNBSP "PM");
    EXPECT_EQ(formatter("en_US", Style::MediumStyle, Style::ShortStyle)->stringFromDate(kDate),
              "Mar 5, 2026, 2:07" NNBSP "PM");
    EXPECT_EQ(formatter("de_DE", Style::MediumStyle, Style::ShortStyle)->stringFromDate(kDate),
              "05.03.2026, 14:07");
    EXPECT_EQ(formatter("de_DE", Style::FullStyle, Style::NoStyle)->stringFromDate(kDate),
              "Donnerstag, 5. März 2026");
    // The time zone moves the clock (and here the day).
    EXPECT_EQ(formatter("de_DE", Style::ShortStyle, Style::ShortStyle, "Pacific/Kiritimati")
                  ->stringFromDate(kDate),
              "06.03.26, 04:07");
    EXPECT_EQ(formatter("en_US", Style::NoStyle, Style::NoStyle)->stringFromDate(kDate), "");
}

TEST(NSDateFormatterTest, RelativeFormattingNamesTodayAndYesterday) {
    auto relative = formatter("en_US", Style::MediumStyle, Style::NoStyle);
    relative->setDoesRelativeDateFormatting(true);
    EXPECT_EQ(relative->stringFromDate(NSDate::date()), "Today");
    EXPECT_EQ(relative->stringFromDate(NSDate::dateWithTimeIntervalSinceNow(-86400)), "Yesterday");
    EXPECT_EQ(relative->stringFromDate(kDate), "Mar 5, 2026");
    auto german = formatter("de_DE", Style::MediumStyle, Style::NoStyle);
    german->setDoesRelativeDateFormatting(true);
    EXPECT_EQ(german->stringFromDate(NSDate::dateWithTimeIntervalSinceNow(-86400)), "gestern");
    // A time alone has no day to name.
    auto time = formatter("en_US", Style::NoStyle, Style::ShortStyle);
    time->setDoesRelativeDateFormatting(true);
    EXPECT_EQ(time->stringFromDate(kDate), "2:07" NNBSP "PM");
}

TEST(NSDateFormatterTest, FixedFormatsWriteAndRead) {
    auto fixed = formatter("en_US_POSIX", Style::LongStyle, Style::LongStyle);
    fixed->setDateFormat("yyyy-MM-dd'T'HH:mm:ss");
    EXPECT_EQ(fixed->stringFromDate(kDate), "2026-03-05T14:07:09");
    EXPECT_EQ(fixed->dateFromString("2026-03-05T14:07:09"), kDate);
    EXPECT_EQ(fixed->dateFromString("2026-03-05T14:07:09 and more"), std::nullopt);
    EXPECT_EQ(fixed->dateFromString("2026-02-30T14:07:09"), std::nullopt);  // not lenient
    EXPECT_EQ(fixed->dateFromString(""), std::nullopt);
    fixed->setTimeZone(NSTimeZone::timeZoneForSecondsFromGMT(3600));
    EXPECT_EQ(fixed->stringFromDate(kDate), "2026-03-05T15:07:09");
    fixed->setDateFormat("");  // back to the styles
    EXPECT_EQ(fixed->stringFromDate(kDate).substr(0, 13), "March 5, 2026");
}

TEST(NSDateFormatterTest, MalformedPatternsAreLoggedAndGiveNothing) {
    std::string logged;
    NSLogSink previous = NSLogSetSink([&](NSLogLevel, const std::string& line) { logged += line; });
    for (const char* pattern :
         {"yyyy-MM-dd jjj", "ll", "\xff\xfe yyyy", "yyyy 'open", "'it''s' yyyy 'x"}) {
        SCOPED_TRACE(pattern);
        logged.clear();
        auto bad = formatter("en_US", Style::MediumStyle, Style::NoStyle);
        bad->setDateFormat(pattern);
        EXPECT_EQ(bad->stringFromDate(kDate), "");
        EXPECT_EQ(bad->dateFromString("2026-03-05"), std::nullopt);
        EXPECT_NE(logged.find("is not usable"), std::string::npos);
    }
    auto quoted = formatter("en_US", Style::NoStyle, Style::NoStyle);
    quoted->setDateFormat("'it''s' yyyy 'o''clock'");
    EXPECT_EQ(quoted->stringFromDate(kDate), "it's 2026 o'clock");
    quoted->setDateFormat(std::string(5000, 'y'));  // long but harmless
    EXPECT_EQ(quoted->stringFromDate(kDate), "0000002026");
    NSLogSetSink(previous);
}

TEST(NSDateFormatterTest, OneFormatterServesManyThreads) {
    auto shared = formatter("en_US_POSIX", Style::NoStyle, Style::NoStyle);
    shared->setDateFormat("yyyy-MM-dd HH:mm:ss");
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                NSDate date = kDate.dateByAddingTimeInterval(86400.0 * (t * 500 + i));
                if (shared->dateFromString(shared->stringFromDate(date)) != date)
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(NSDateFormatterTest, ClassMethodUsesTheCurrentLocale) {
    EnvironmentScope german({{"LC_ALL", "de_AT.UTF-8"}, {"TZ", "UTC"}});
    EXPECT_EQ(NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(kDate, Style::MediumStyle,
                                                                         Style::ShortStyle),
              "05.03.2026, 14:07");
}

TEST(NSTimeZoneTest, NamesAndOffsets) {
    auto zurich = NSTimeZone::timeZoneWithName("Europe/Zurich");
    ASSERT_NE(zurich, nullptr);
    EXPECT_EQ(zurich->secondsFromGMTForDate(kDate), 3600);
    EXPECT_EQ(zurich->secondsFromGMTForDate(NSDate::dateWithTimeIntervalSince1970(1783000000)),
              7200);  // summer
    EXPECT_EQ(NSTimeZone::timeZoneWithName("Mars/Olympus"), nullptr);
    EXPECT_EQ(NSTimeZone::timeZoneWithName(""), nullptr);
    EXPECT_EQ(NSTimeZone::timeZoneForSecondsFromGMT(-5400)->name(), "GMT-0130");
    EXPECT_EQ(NSTimeZone::timeZoneForSecondsFromGMT(-5400)->secondsFromGMTForDate(kDate), -5400);
    EXPECT_EQ(NSTimeZone::timeZoneForSecondsFromGMT(20 * 3600), nullptr);
    EnvironmentScope tokyo(EnvironmentScope::Values{{"TZ", ":Asia/Tokyo"}});
    EXPECT_EQ(NSTimeZone::localTimeZone()->name(), "Asia/Tokyo");
}
