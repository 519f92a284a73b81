#pragma once

#include <memory>

#include "CoreLocation/CLLocationCoordinate2D.h"
#include "Foundation/NSDate.h"

using CLLocationDistance = double;   // metres
using CLLocationAccuracy = double;   // metres; negative: invalid
using CLLocationDirection = double;  // degrees from north; negative: invalid
using CLLocationSpeed = double;      // metres per second; negative: invalid

// One position fix. Immutable; shared as std::shared_ptr<CLLocation> where a
// location may be absent.
class CLLocation {
  public:
    CLLocation(CLLocationDegrees latitude, CLLocationDegrees longitude);
    CLLocation(CLLocationCoordinate2D coordinate, CLLocationDistance altitude,
               CLLocationAccuracy horizontalAccuracy, CLLocationAccuracy verticalAccuracy,
               CLLocationDirection course, CLLocationSpeed speed, NSDate timestamp);

    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    CLLocationDistance altitude() const { return altitude_; }
    CLLocationAccuracy horizontalAccuracy() const { return horizontalAccuracy_; }
    CLLocationAccuracy verticalAccuracy() const { return verticalAccuracy_; }
    CLLocationDirection course() const { return course_; }
    CLLocationSpeed speed() const { return speed_; }
    NSDate timestamp() const { return timestamp_; }

    // Great-circle distance in metres (haversine on a sphere of radius 6371009 m).
    CLLocationDistance distanceFromLocation(const CLLocation& other) const;

  private:
    CLLocationCoordinate2D coordinate_;
    CLLocationDistance altitude_ = 0;
    CLLocationAccuracy horizontalAccuracy_ = 0;
    CLLocationAccuracy verticalAccuracy_ = -1;
    CLLocationDirection course_ = -1;
    CLLocationSpeed speed_ = -1;
    NSDate timestamp_;
};
