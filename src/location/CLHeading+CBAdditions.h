#pragma once

#include <optional>

#include "CoreLocation/CLHeading.h"
#include "location/CBInterfaceOrientation.h"

// The direction a reading points at: the true heading, or the magnetic one
// while the true heading is unknown (negative); nullopt for a reading whose
// accuracy is negative (invalid) or that has no direction at all.
std::optional<CLLocationDirection> usableHeading(const CLHeading& heading);

// The degrees the interface turns the screen: 180 upside down, 90 in
// landscape right (status-bar orientation 3), 270 in landscape left (4) and
// 0 otherwise.
double headingOffsetForInterfaceOrientation(CBInterfaceOrientation orientation);

// The usable heading turned with the interface, modulo 360; -1 when the
// reading is not usable. The caller passes the status bar's orientation.
CLLocationDirection adjustedHeadingForInterfaceOrientation(const CLHeading& heading,
                                                           CBInterfaceOrientation orientation);
