#pragma once

#include <memory>
#include <string>

#include "Foundation/NSDate.h"

// A time zone by its IANA name ("Europe/Zurich") or a fixed offset from GMT,
// over ICU's time zone data.
class NSTimeZone {
  public:
    // nullptr for a name ICU does not know.
    static std::shared_ptr<NSTimeZone> timeZoneWithName(const std::string& name);
    // A fixed offset, "GMT+0130" for 5400; nullptr beyond ±18 hours.
    static std::shared_ptr<NSTimeZone> timeZoneForSecondsFromGMT(long seconds);
    // The zone the TZ variable names (a ":" prefix is allowed), else the
    // system's; GMT when neither can be read.
    static std::shared_ptr<NSTimeZone> localTimeZone();

    const std::string& name() const { return name_; }
    long secondsFromGMTForDate(NSDate date) const;

    explicit NSTimeZone(std::string name) : name_(std::move(name)) {}

  private:
    std::string name_;
};
