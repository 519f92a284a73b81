#pragma once

#include "CoreLocation/CLLocationManager.h"

// Whether the status allows locations: always (3) or when in use (4).
bool ZEL_isWhenInUseOrAlwaysAuthorizationStatus(CLAuthorizationStatus status);
// The same test on the current status.
bool ZEL_hasWhenInUseOrAlwaysAuthorizationStatus();
