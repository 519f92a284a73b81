#pragma once

#include "Foundation/Value.h"

#include <string>

// Splits time intervals into hours, minutes and seconds and back.
class ZELDurationFormatter {
  public:
    // seconds = interval modulo 60 (fraction kept), minutes = whole minutes
    // modulo 60, hours = whole minutes / 60. Null outputs are skipped.
    static void timeIntervalToHoursMinutesSeconds(double interval, long* hours, long* minutes,
                                                  double* seconds);
    static double durationFromHoursMinutesSeconds(long hours, long minutes, double seconds);

    // The number's value formatted by stringByFormattingTimeInterval; "" for
    // a value that is no number.
    std::string stringFromNumber(const Value& number) const;
};
