#pragma once

#include "CoreLocation/CLHeading.h"
#include "UIKit/UIApplication.h"

// The true heading turned with the interface: (trueHeading + offset) modulo
// 360, the offset 180 for status-bar orientation 2 (upside down), 90 for 3,
// 270 for 4 and 0 otherwise. The caller passes the status bar's orientation.
CLLocationDirection adjustedHeadingForInterfaceOrientation(const CLHeading& heading,
                                                           UIInterfaceOrientation orientation);
