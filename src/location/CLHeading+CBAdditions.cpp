#include "location/CLHeading+CBAdditions.h"

#include <cmath>

CLLocationDirection adjustedHeadingForInterfaceOrientation(const CLHeading& heading,
                                                           UIInterfaceOrientation orientation) {
    double offset = 0;
    switch (orientation) {
        case UIInterfaceOrientationPortraitUpsideDown:
            offset = 180;
            break;
        case UIInterfaceOrientationLandscapeRight:
            offset = 90;
            break;
        case UIInterfaceOrientationLandscapeLeft:
            offset = 270;
            break;
        default:
            break;
    }
    return std::fmod(heading.trueHeading() + offset, 360.0);
}
