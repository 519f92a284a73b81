#include <gtest/gtest.h>

#include "foundation/NSString+ZELDurationFormatting.h"
#include "foundation/ZELDurationFormatter.h"

TEST(NSStringZELDurationFormattingTest, FormattedIntervals) {
    EXPECT_EQ(stringByFormattingTimeInterval(5.257), "5.25″");
    EXPECT_EQ(stringByFormattingTimeInterval(5.257, false), "05″");
    EXPECT_EQ(stringByFormattingTimeInterval(59.999), "59.99″");
    EXPECT_EQ(stringByFormattingTimeInterval(60), "1′ 00″");
    EXPECT_EQ(stringByFormattingTimeInterval(125.9), "2′ 05″");
    EXPECT_EQ(stringByFormattingTimeInterval(3599.99), "59′ 59″");
    EXPECT_EQ(stringByFormattingTimeInterval(3600), "1° 00′ 00″");
    EXPECT_EQ(stringByFormattingTimeInterval(3725), "1° 02′ 05″");
}

TEST(NSStringZELDurationFormattingTest, HoursMinutesSecondsRoundToTheNearestSecond) {
    EXPECT_EQ(stringForHMSFromTimeInterval(5), "05s");
    EXPECT_EQ(stringForHMSFromTimeInterval(5, false), "0:05");
    EXPECT_EQ(stringForHMSFromTimeInterval(59.4), "59s");
    EXPECT_EQ(stringForHMSFromTimeInterval(59.5),
              "1:00");  // halves away from zero
    EXPECT_EQ(stringForHMSFromTimeInterval(59.6), "1:00");
    EXPECT_EQ(stringForHMSFromTimeInterval(3599.5), "1:00:00");
    EXPECT_EQ(stringForHMSFromTimeInterval(3725), "1:02:05");
    EXPECT_EQ(stringForHMSFromTimeInterval(36000 + 61), "10:01:01");
}

TEST(NSStringZELDurationFormattingTest, NamedFlagFormsReachTheDefaultArgumentForms) {
    EXPECT_EQ(stringByFormattingTimeIntervalSubSecondPrecision(5.257, true),
              stringByFormattingTimeInterval(5.257));
    EXPECT_EQ(stringByFormattingTimeIntervalSubSecondPrecision(5.257, false), "05″");
    EXPECT_EQ(stringForHMSFromTimeIntervalShowOnlySecondsBelowOneMinute(5, false), "0:05");
    EXPECT_EQ(stringForHMSFromTimeIntervalShowOnlySecondsBelowOneMinute(3725, true),
              stringForHMSFromTimeInterval(3725));
}

TEST(NSStringZELDurationFormattingTest, HoursAndMinutesParts) {
    EXPECT_EQ(stringForHoursAndMinutesFromTimeInterval(3725), "01:02");
    EXPECT_EQ(stringForHoursAndMinutesFromTimeInterval(29), "00:00");
    EXPECT_EQ(stringForHoursAndMinutesFromTimeInterval(30),
              "00:01");  // half a minute rounds up
    EXPECT_EQ(stringForHoursAndMinutesFromTimeInterval(3570), "01:00");
    EXPECT_EQ(stringForMinutesBeyondFullHourFromTimeInterval(3725), "2");
    EXPECT_EQ(stringForMinutesBeyondFullHourFromTimeInterval(3659), "");
    EXPECT_EQ(stringForHoursFromTimeInterval(3599), "");
    EXPECT_EQ(stringForHoursFromTimeInterval(7200), "2");
}

TEST(ZELDurationFormatterTest, SplitAndJoin) {
    long hours = -1, minutes = -1;
    double seconds = -1;
    ZELDurationFormatter::timeIntervalToHoursMinutesSeconds(3725.5, &hours, &minutes, &seconds);
    EXPECT_EQ(hours, 1);
    EXPECT_EQ(minutes, 2);
    EXPECT_DOUBLE_EQ(seconds, 5.5);
    ZELDurationFormatter::timeIntervalToHoursMinutesSeconds(90000, &hours, nullptr, nullptr);
    EXPECT_EQ(hours, 25);
    EXPECT_DOUBLE_EQ(ZELDurationFormatter::durationFromHoursMinutesSeconds(1, 2, 5.5), 3725.5);
    const ZELDurationFormatter formatter;
    EXPECT_EQ(formatter.stringFromNumber(Value(125)), "2′ 05″");
    EXPECT_EQ(formatter.stringFromNumber(Value("125")), "");
}
