#pragma once

#include "CoreLocation/CLLocation.h"
#include "Foundation/NSDate.h"

// One compass reading. Immutable; shared as std::shared_ptr<CLHeading>, where
// nullptr stands for "no heading".
class CLHeading {
  public:
    CLHeading(CLLocationDirection magneticHeading, CLLocationDirection trueHeading,
              CLLocationDirection headingAccuracy, NSDate timestamp)
        : magneticHeading_(magneticHeading),
          trueHeading_(trueHeading),
          headingAccuracy_(headingAccuracy),
          timestamp_(timestamp) {}

    CLLocationDirection magneticHeading() const { return magneticHeading_; }
    // Negative when the true heading is unknown.
    CLLocationDirection trueHeading() const { return trueHeading_; }
    // Degrees of possible error; negative: the reading is invalid.
    CLLocationDirection headingAccuracy() const { return headingAccuracy_; }
    NSDate timestamp() const { return timestamp_; }

  private:
    CLLocationDirection magneticHeading_;
    CLLocationDirection trueHeading_;
    CLLocationDirection headingAccuracy_;
    NSDate timestamp_;
};
