#include "mapkit/CLLocation+SwissGrid.h"

CLLocationCoordinate2D coordinateWithRechtsWertHochWert(std::optional<double> rechtsWert,
                                                        std::optional<double> hochWert) {
    if (!rechtsWert || !hochWert)
        return kCLLocationCoordinate2DInvalid;
    // Auxiliary values in units of 1000 km from Bern.
    double y = (*rechtsWert - 600000.0) / 1000000.0;
    double x = (*hochWert - 200000.0) / 1000000.0;
    double latitude = 16.9023892 + 3.238272 * x - 0.270978 * y * y - 0.002528 * x * x -
                      0.0447 * y * y * x - 0.014 * x * x * x;
    double longitude =
        2.6779094 + 4.728982 * y + 0.791484 * y * x + 0.1306 * y * x * x - 0.0436 * y * y * y;
    return {latitude * 100.0 / 36.0, longitude * 100.0 / 36.0};
}

std::shared_ptr<CLLocation> locationWithRechtsWertHochWert(std::optional<double> rechtsWert,
                                                           std::optional<double> hochWert) {
    if (!rechtsWert || !hochWert)
        return nullptr;
    CLLocationCoordinate2D coordinate = coordinateWithRechtsWertHochWert(rechtsWert, hochWert);
    return std::make_shared<CLLocation>(coordinate.latitude, coordinate.longitude);
}
