#pragma once

using CLLocationDegrees = double;

struct CLLocationCoordinate2D {
    CLLocationDegrees latitude = 0;
    CLLocationDegrees longitude = 0;
    constexpr bool operator==(const CLLocationCoordinate2D&) const = default;
};

constexpr CLLocationCoordinate2D CLLocationCoordinate2DMake(CLLocationDegrees latitude,
                                                            CLLocationDegrees longitude) {
    return {latitude, longitude};
}

// Latitude within ±90 and longitude within ±180.
constexpr bool CLLocationCoordinate2DIsValid(CLLocationCoordinate2D c) {
    return c.latitude >= -90 && c.latitude <= 90 && c.longitude >= -180 && c.longitude <= 180;
}

// The invalid coordinate.
inline constexpr CLLocationCoordinate2D kCLLocationCoordinate2DInvalid{-180.0, -180.0};
