#include "Host/HostWindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace {

// The pixels a side of the screen takes at a scale, as the renderer makes them.
double pixels(CGFloat points, CGFloat scale) {
    return std::ceil(points * scale);
}

}  // namespace

HostWindowPlacement HostPlaceWindow(CGSize screenSize, CGFloat preferredScale, bool forceScale,
                                    const CGRect& usableArea, const HostWindowBorders& borders) {
    const double roomWidth = std::max(0.0, usableArea.size.width - borders.left - borders.right);
    const double roomHeight = std::max(0.0, usableArea.size.height - borders.top - borders.bottom);
    HostWindowPlacement placement;
    if (forceScale && preferredScale > 0) {
        placement.scale = preferredScale;
    } else {
        const bool onItsSide = screenSize.width > screenSize.height;
        const CGSize laidOut{
            onItsSide ? kHostSmallestLaidOutScreen.height : kHostSmallestLaidOutScreen.width,
            onItsSide ? kHostSmallestLaidOutScreen.width : kHostSmallestLaidOutScreen.height};
        const CGSize smallest{std::min(screenSize.width, laidOut.width),
                              std::min(screenSize.height, laidOut.height)};
        auto largestScaleFitting = [&](CGSize size) {
            for (double scale = std::floor(std::max(preferredScale, 1.0)); scale > 1; --scale) {
                if (pixels(size.width, scale) <= roomWidth &&
                    pixels(size.height, scale) <= roomHeight) {
                    return scale;
                }
            }
            return 1.0;
        };
        placement.scale = largestScaleFitting(screenSize);
        if (placement.scale == 1) {
            placement.scale = largestScaleFitting(smallest);
        }
    }
    const CGFloat scale = placement.scale;
    placement.size = {std::max(1.0, std::min(screenSize.width, std::floor(roomWidth / scale))),
                      std::max(1.0, std::min(screenSize.height, std::floor(roomHeight / scale)))};
    const double outerWidth = pixels(placement.size.width, scale) + borders.left + borders.right;
    const double outerHeight = pixels(placement.size.height, scale) + borders.top + borders.bottom;
    const double left =
        usableArea.origin.x + std::max(0.0, (usableArea.size.width - outerWidth) / 2);
    const double top =
        usableArea.origin.y + std::max(0.0, (usableArea.size.height - outerHeight) / 2);
    placement.x = int(std::floor(left)) + borders.left;
    placement.y = int(std::floor(top)) + borders.top;
    return placement;
}
