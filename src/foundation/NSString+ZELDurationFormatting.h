#pragma once

#include <string>

// Durations as walk and article lists show them.

// "5.25″" below a minute (hundredths cut off; whole seconds without
// sub-second precision), "2′ 05″", "1° 02′ 05″".
std::string stringByFormattingTimeInterval(double interval, bool subSecondPrecision = true);
// To the nearest second: "05s" (or "0:05") below a minute, "1:00", "1:02:05".
std::string stringForHMSFromTimeInterval(double interval,
                                         bool showOnlySecondsBelowOneMinute = true);
// To the nearest minute: "01:02".
std::string stringForHoursAndMinutesFromTimeInterval(double interval);
// The minutes past the full hour, "" when none.
std::string stringForMinutesBeyondFullHourFromTimeInterval(double interval);
// The full hours, "" when none.
std::string stringForHoursFromTimeInterval(double interval);

// The forms that name the flag.
inline std::string stringByFormattingTimeIntervalSubSecondPrecision(double interval,
                                                                    bool subSecondPrecision) {
    return stringByFormattingTimeInterval(interval, subSecondPrecision);
}
inline std::string stringForHMSFromTimeIntervalShowOnlySecondsBelowOneMinute(
    double interval, bool showOnlySecondsBelowOneMinute) {
    return stringForHMSFromTimeInterval(interval, showOnlySecondsBelowOneMinute);
}
