#pragma once

#include <memory>
#include <string>

#include "CoreLocation/CLLocation.h"

// Location functions the map kit and the screens share, on a sphere where
// one degree of arc is 111.12 km.

std::shared_ptr<CLLocation> locationWithLatitudeAndLongitude(CLLocationDegrees latitude,
                                                             CLLocationDegrees longitude);
std::shared_ptr<CLLocation> locationWithCoordinate(CLLocationCoordinate2D coordinate);

// The point `distance` metres from `location` (nullptr: (0, 0)) along the
// initial bearing in degrees, with the source's altitude, accuracies and
// timestamp. Beyond half the circumference the point is reached along the
// shorter arc, the other way round.
std::shared_ptr<CLLocation> locationProjectedFromLocationDistanceBearing(
    const CLLocation* location, CLLocationDistance distance, CLLocationDirection bearing);

// Initial great-circle bearing in degrees [0, 360) to the coordinate; -1
// when either coordinate is invalid.
CLLocationDirection forwardAzimuthToCoordinate(const CLLocation& location,
                                               CLLocationCoordinate2D coordinate);

// "[[coordinate %.4f, %.4f]]" with latitude, then longitude.
std::string CBStringFromCLLocationCoordinate2D(CLLocationCoordinate2D coordinate);
