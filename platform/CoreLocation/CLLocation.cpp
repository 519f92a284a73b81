#include "CoreLocation/CLLocation.h"

#include <cmath>

namespace {
constexpr double kEarthRadius = 6371009.0;
constexpr double kRadiansPerDegree = M_PI / 180.0;
}  // namespace

CLLocation::CLLocation(CLLocationDegrees latitude, CLLocationDegrees longitude)
    : coordinate_{latitude, longitude}, timestamp_(NSDate::date()) {}

CLLocation::CLLocation(CLLocationCoordinate2D coordinate, CLLocationDistance altitude,
                       CLLocationAccuracy horizontalAccuracy, CLLocationAccuracy verticalAccuracy,
                       CLLocationDirection course, CLLocationSpeed speed, NSDate timestamp)
    : coordinate_(coordinate),
      altitude_(altitude),
      horizontalAccuracy_(horizontalAccuracy),
      verticalAccuracy_(verticalAccuracy),
      course_(course),
      speed_(speed),
      timestamp_(timestamp) {}

CLLocationDistance CLLocation::distanceFromLocation(const CLLocation& other) const {
    const double lat1 = coordinate_.latitude * kRadiansPerDegree;
    const double lat2 = other.coordinate_.latitude * kRadiansPerDegree;
    const double dLat = lat2 - lat1;
    const double dLon = (other.coordinate_.longitude - coordinate_.longitude) * kRadiansPerDegree;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::atan2(std::sqrt(a), std::sqrt(1 - a));
}
