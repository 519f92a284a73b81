#include "foundation/NSString+ZELDurationFormatting.h"

#include <cmath>
#include <cstdio>

#include "foundation/ZELDurationFormatter.h"

namespace {
constexpr const char* kDegree = "°";
constexpr const char* kMinute = "′";
constexpr const char* kSecond = "″";

struct Split {
    long hours = 0;
    long minutes = 0;
    double seconds = 0;
};

Split split(double interval) {
    Split parts;
    ZELDurationFormatter::timeIntervalToHoursMinutesSeconds(interval, &parts.hours, &parts.minutes,
                                                            &parts.seconds);
    return parts;
}

template <class... Args>
std::string format(const char* fmt, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, fmt, args...);
    return text;
}
}  // namespace

std::string stringByFormattingTimeInterval(double interval, bool subSecondPrecision) {
    double t = subSecondPrecision ? std::floor(interval * 100) / 100 : std::floor(interval);
    if (t < 60)
        return format(subSecondPrecision ? "%02.2f%s" : "%02.0f%s", t, kSecond);
    t = std::floor(t);
    const Split parts = split(t);
    if (parts.hours >= 1) {
        return format("%.0ld%s %02ld%s %02.0f%s", parts.hours, kDegree, parts.minutes, kMinute,
                      parts.seconds, kSecond);
    }
    return format("%.0ld%s %02.0f%s", parts.minutes, kMinute, parts.seconds, kSecond);
}

std::string stringForHMSFromTimeInterval(double interval, bool showOnlySecondsBelowOneMinute) {
    const double t = std::round(interval);
    if (t < 60)
        return format(showOnlySecondsBelowOneMinute ? "%02.0fs" : "0:%02.0f", t);
    const Split parts = split(t);
    if (parts.hours >= 1) {
        return format("%.0ld:%02ld:%02.0f", parts.hours, parts.minutes, parts.seconds);
    }
    return format("%.0ld:%02.0f", parts.minutes, parts.seconds);
}

std::string stringForHoursAndMinutesFromTimeInterval(double interval) {
    const Split parts = split(std::round(interval / 60) * 60);
    return format("%02ld:%02ld", parts.hours, parts.minutes);
}

std::string stringForMinutesBeyondFullHourFromTimeInterval(double interval) {
    const Split parts = split(interval);
    return parts.minutes < 1 ? std::string() : format("%.0ld", parts.minutes);
}

std::string stringForHoursFromTimeInterval(double interval) {
    const Split parts = split(interval);
    return parts.hours < 1 ? std::string() : format("%.0ld", parts.hours);
}
