#pragma once

#include <array>
#include <string>

#include "CoreLocation/CLLocationCoordinate2D.h"

// A point on the Swiss national grid (CH1903 / LV03), metres east
// (Rechtswert) and north (Hochwert), with its WGS84 coordinate.
class CBSwissGridCoordinate {
  public:
    CBSwissGridCoordinate() = default;
    // initWithCoordinate: the grid values computed from the coordinate.
    explicit CBSwissGridCoordinate(CLLocationCoordinate2D coordinate);
    // initWithRechtsWert:hochWert: the coordinate computed from the grid values.
    CBSwissGridCoordinate(double rechtsWert, double hochWert);

    // Rechtswert then Hochwert of a WGS84 coordinate (swisstopo's approximate
    // formulas, good to about a metre).
    static std::array<double, 2> rechtsWertHochWertForCoordinate(CLLocationCoordinate2D coordinate);
    // The WGS84 coordinate of the grid values, by the inverse formulas.
    CLLocationCoordinate2D calculatedCoordinate() const;

    double rechtsWert() const { return rechtsWert_; }
    double hochWert() const { return hochWert_; }
    CLLocationCoordinate2D WGS84Coordinate() const { return WGS84Coordinate_; }

    // "<CBSwissGridCoordinate> r,h: <R>, <H> / lat,lon <lat>,<lon>"
    std::string description() const;

  private:
    double rechtsWert_ = 0;
    double hochWert_ = 0;
    CLLocationCoordinate2D WGS84Coordinate_;
};
