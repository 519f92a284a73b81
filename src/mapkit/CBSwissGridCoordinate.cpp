#include "mapkit/CBSwissGridCoordinate.h"

#include <cstdio>

#include "mapkit/CLLocation+SwissGrid.h"

CBSwissGridCoordinate::CBSwissGridCoordinate(CLLocationCoordinate2D coordinate)
    : WGS84Coordinate_(coordinate) {
    auto values = rechtsWertHochWertForCoordinate(coordinate);
    rechtsWert_ = values[0];
    hochWert_ = values[1];
}

CBSwissGridCoordinate::CBSwissGridCoordinate(double rechtsWert, double hochWert)
    : rechtsWert_(rechtsWert), hochWert_(hochWert) {
    WGS84Coordinate_ = calculatedCoordinate();
}

std::array<double, 2> CBSwissGridCoordinate::rechtsWertHochWertForCoordinate(
    CLLocationCoordinate2D coordinate) {
    // Auxiliary values in units of 10000 arc seconds from Bern.
    double phi = coordinate.latitude * 0.36 - 16.902866;
    double lambda = coordinate.longitude * 0.36 - 2.67825;
    double rechts = 600072.37 + 211455.93 * lambda - 10938.51 * lambda * phi -
                    0.36 * lambda * phi * phi - 44.54 * lambda * lambda * lambda;
    double hoch = 200147.07 + 308807.95 * phi + 3745.25 * lambda * lambda + 76.63 * phi * phi -
                  194.56 * lambda * lambda * phi + 119.79 * phi * phi * phi;
    return {rechts, hoch};
}

CLLocationCoordinate2D CBSwissGridCoordinate::calculatedCoordinate() const {
    return coordinateWithRechtsWertHochWert(rechtsWert_, hochWert_);
}

std::string CBSwissGridCoordinate::description() const {
    char text[160];
    std::snprintf(text, sizeof text, "<CBSwissGridCoordinate> r,h: %.2f, %.2f / lat,lon %f,%f",
                  rechtsWert_, hochWert_, WGS84Coordinate_.latitude, WGS84Coordinate_.longitude);
    return text;
}
