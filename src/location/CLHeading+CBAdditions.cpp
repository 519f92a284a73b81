#include "location/CLHeading+CBAdditions.h"

#include <cmath>

std::optional<CLLocationDirection> usableHeading(const CLHeading& heading) {
    if (heading.headingAccuracy() < 0)
        return std::nullopt;
    if (heading.trueHeading() >= 0)
        return heading.trueHeading();
    if (heading.magneticHeading() >= 0)
        return heading.magneticHeading();
    return std::nullopt;
}

double headingOffsetForInterfaceOrientation(CBInterfaceOrientation orientation) {
    switch (orientation) {
        case CBInterfaceOrientation::PortraitUpsideDown:
            return 180;
        case CBInterfaceOrientation::LandscapeRight:
            return 90;
        case CBInterfaceOrientation::LandscapeLeft:
            return 270;
        default:
            return 0;
    }
}

CLLocationDirection adjustedHeadingForInterfaceOrientation(const CLHeading& heading,
                                                           CBInterfaceOrientation orientation) {
    auto direction = usableHeading(heading);
    if (!direction)
        return -1;
    return std::fmod(*direction + headingOffsetForInterfaceOrientation(orientation), 360.0);
}
