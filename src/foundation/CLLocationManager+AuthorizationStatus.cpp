#include "foundation/CLLocationManager+AuthorizationStatus.h"

bool ZEL_isWhenInUseOrAlwaysAuthorizationStatus(CLAuthorizationStatus status) {
    return status == kCLAuthorizationStatusAuthorizedAlways ||
           status == kCLAuthorizationStatusAuthorizedWhenInUse;
}

bool ZEL_hasWhenInUseOrAlwaysAuthorizationStatus() {
    return ZEL_isWhenInUseOrAlwaysAuthorizationStatus(CLLocationManager::authorizationStatus());
}
