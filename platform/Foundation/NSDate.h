#pragma once

#include <compare>

// A point in time: seconds since the reference date 2001-01-01 00:00:00 UTC,
// the epoch every stored date of the system uses.
class NSDate {
  public:
    // Seconds between 1970-01-01 and 2001-01-01.
    static constexpr double kTimeIntervalSince1970 = 978307200.0;

    constexpr NSDate() = default;
    static NSDate date();  // now
    static constexpr NSDate dateWithTimeIntervalSinceReferenceDate(double seconds) {
        return NSDate(seconds);
    }
    static constexpr NSDate dateWithTimeIntervalSince1970(double seconds) {
        return NSDate(seconds - kTimeIntervalSince1970);
    }
    static NSDate dateWithTimeIntervalSinceNow(double seconds);
    static constexpr NSDate distantPast() { return NSDate(-63114076800.0); }
    static constexpr NSDate distantFuture() { return NSDate(63113904000.0); }

    constexpr double timeIntervalSinceReferenceDate() const { return seconds_; }
    constexpr double timeIntervalSince1970() const { return seconds_ + kTimeIntervalSince1970; }
    constexpr double timeIntervalSinceDate(NSDate other) const { return seconds_ - other.seconds_; }
    double timeIntervalSinceNow() const;
    constexpr NSDate dateByAddingTimeInterval(double seconds) const {
        return NSDate(seconds_ + seconds);
    }

    constexpr auto operator<=>(const NSDate&) const = default;

  private:
    constexpr explicit NSDate(double seconds) : seconds_(seconds) {}
    double seconds_ = 0.0;
};
