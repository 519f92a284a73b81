#include "foundation/ZELDurationFormatter.h"

#include <cmath>

#include "foundation/NSString+ZELDurationFormatting.h"

void ZELDurationFormatter::timeIntervalToHoursMinutesSeconds(double interval, long* hours,
                                                             long* minutes, double* seconds) {
    const long totalMinutes = static_cast<long>(std::floor(interval / 60));
    if (seconds)
        *seconds = std::fmod(interval, 60.0);
    if (minutes)
        *minutes = totalMinutes % 60;
    if (hours)
        *hours = totalMinutes / 60;
}

double ZELDurationFormatter::durationFromHoursMinutesSeconds(long hours, long minutes,
                                                             double seconds) {
    return static_cast<double>(hours) * 3600 + static_cast<double>(minutes) * 60 + seconds;
}

std::string ZELDurationFormatter::stringFromNumber(const Value& number) const {
    const auto value = number.doubleValue();
    return value ? stringByFormattingTimeInterval(*value) : std::string();
}
