#pragma once

#include <string>
#include <utility>

#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// A circle on the earth: a centre and a radius in metres. A value.
class CLCircularRegion {
  public:
    CLCircularRegion(CLLocationCoordinate2D center, CLLocationDistance radius,
                     std::string identifier)
        : center_(center), radius_(radius), identifier_(std::move(identifier)) {}

    CLLocationCoordinate2D center() const { return center_; }
    CLLocationDistance radius() const { return radius_; }
    const std::string& identifier() const { return identifier_; }
    bool containsCoordinate(CLLocationCoordinate2D coordinate) const {
        return CLLocation(center_.latitude, center_.longitude)
                   .distanceFromLocation(CLLocation(coordinate.latitude, coordinate.longitude)) <=
               radius_;
    }

  private:
    CLLocationCoordinate2D center_;
    CLLocationDistance radius_;
    std::string identifier_;
};
