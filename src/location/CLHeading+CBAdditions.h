#pragma once

#include <optional>

#include "CoreLocation/CLHeading.h"
#include "UIKit/UIApplication.h"

// The direction a reading points at: the true heading, or the magnetic one
// while the true heading is unknown (negative); nullopt for a reading whose
// accuracy is negative (invalid) or that has no direction at all.
std::optional<CLLocationDirection> usableHeading(const CLHeading& heading);

// The degrees the interface turns the screen: 180 for status-bar
// orientation 2 (upside down), 90 for 3, 270 for 4 and 0 otherwise.
double headingOffsetForInterfaceOrientation(UIInterfaceOrientation orientation);

// The usable heading turned with the interface, modulo 360; -1 when the
// reading is not usable. The caller passes the status bar's orientation.
CLLocationDirection adjustedHeadingForInterfaceOrientation(const CLHeading& heading,
                                                           UIInterfaceOrientation orientation);
