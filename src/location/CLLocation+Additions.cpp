#include "location/CLLocation+Additions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
constexpr double kDegreesPerKilometre = 0.00899928;
constexpr double kHalfCircumference = 20001.6001280106;  // km
constexpr double kCircumference = 40003.2002560212;      // km
constexpr double kRadiansPerDegree = M_PI / 180.0;

double haversine(double x) {
    return (1 - std::cos(x)) / 2;
}
}  // namespace

std::shared_ptr<CLLocation> locationWithLatitudeAndLongitude(CLLocationDegrees latitude,
                                                             CLLocationDegrees longitude) {
    return std::make_shared<CLLocation>(latitude, longitude);
}

std::shared_ptr<CLLocation> locationWithCoordinate(CLLocationCoordinate2D coordinate) {
    return std::make_shared<CLLocation>(coordinate.latitude, coordinate.longitude);
}

std::shared_ptr<CLLocation> locationProjectedFromLocationDistanceBearing(
    const CLLocation* location, CLLocationDistance distance, CLLocationDirection bearing) {
    double d = distance / 1000;
    const CLLocationCoordinate2D from =
        location ? location->coordinate() : CLLocationCoordinate2D{};
    double brg = bearing;
    if (d > kHalfCircumference) {
        brg -= 180;
        if (brg < 0)
            brg += 360;
        d = kCircumference - d;
    }
    if (brg > 180)
        brg -= 360;
    const double a = d * kDegreesPerKilometre * kRadiansPerDegree;
    const double lat1 = from.latitude * kRadiansPerDegree;
    const double lon1 = from.longitude * kRadiansPerDegree;
    const double b = brg * kRadiansPerDegree;

    const double cosColatitude = std::clamp(
        1 - 2 * (haversine(a - (M_PI / 2 - lat1)) + std::cos(lat1) * std::sin(a) * haversine(b)),
        -1.0, 1.0);
    const double lat2 = M_PI / 2 - std::acos(cosColatitude);
    double dLon = 0;
    const double cosProduct = std::cos(lat1) * std::cos(lat2);
    if (cosProduct != 0) {
        dLon = std::acos(
            std::clamp(1 - 2 * (haversine(a) - haversine(lat2 - lat1)) / cosProduct, -1.0, 1.0));
    }
    if (brg < 0)
        dLon = -dLon;
    double lon2 = lon1 + dLon;
    if (lon2 > M_PI)
        lon2 -= 2 * M_PI;
    if (lon2 < -M_PI)
        lon2 += 2 * M_PI;

    const CLLocationCoordinate2D to{lat2 / kRadiansPerDegree, lon2 / kRadiansPerDegree};
    if (!location)
        return std::make_shared<CLLocation>(to.latitude, to.longitude);
    return std::make_shared<CLLocation>(to, location->altitude(), location->horizontalAccuracy(),
                                        location->verticalAccuracy(), location->course(),
                                        location->speed(), location->timestamp());
}

CLLocationDirection forwardAzimuthToCoordinate(const CLLocation& location,
                                               CLLocationCoordinate2D coordinate) {
    const CLLocationCoordinate2D from = location.coordinate();
    if (!CLLocationCoordinate2DIsValid(from) || !CLLocationCoordinate2DIsValid(coordinate))
        return -1.0;
    const double lat1 = from.latitude * kRadiansPerDegree;
    const double lat2 = coordinate.latitude * kRadiansPerDegree;
    const double dLon = (coordinate.longitude - from.longitude) * kRadiansPerDegree;
    const double angle = std::atan2(
        std::sin(dLon) * std::cos(lat2),
        std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon));
    return std::fmod(angle / kRadiansPerDegree + 360.0, 360.0);
}

std::string CBStringFromCLLocationCoordinate2D(CLLocationCoordinate2D coordinate) {
    char text[80];
    std::snprintf(text, sizeof text, "[[coordinate %.4f, %.4f]]", coordinate.latitude,
                  coordinate.longitude);
    return text;
}
