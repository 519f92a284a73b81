#pragma once

#include <memory>
#include <optional>

#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// WGS84 positions of Swiss grid values (CH1903 / LV03, metres), by
// swisstopo's approximate formulas.

// kCLLocationCoordinate2DInvalid when either value is missing.
CLLocationCoordinate2D coordinateWithRechtsWertHochWert(std::optional<double> rechtsWert,
                                                        std::optional<double> hochWert);
// nullptr when either value is missing.
std::shared_ptr<CLLocation> locationWithRechtsWertHochWert(std::optional<double> rechtsWert,
                                                           std::optional<double> hochWert);
