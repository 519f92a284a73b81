#include "Host/HostWindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace {

// The pixels a side of the screen takes at a scale, as the renderer makes them.
double pixels(CGFloat points, CGFloat scale) {
    return std::ceil(points * scale);
}

// The room for the window's content in the area, in pixels.
CGSize room(const CGRect& usableArea, const HostWindowBorders& borders) {
    return {std::max(0.0, usableArea.size.width - borders.left - borders.right),
            std::max(0.0, usableArea.size.height - borders.top - borders.bottom)};
}

}  // namespace

CGFloat HostChooseWindowScale(CGSize screenSize, CGSize smallestScreen, CGFloat largestScale,
                              const CGRect& usableArea, const HostWindowBorders& borders) {
    const CGSize available = room(usableArea, borders);
    auto largestScaleFitting = [&](CGSize size) {
        for (double scale = std::floor(std::max(largestScale, 1.0)); scale > 1; --scale) {
            if (pixels(size.width, scale) <= available.width &&
                pixels(size.height, scale) <= available.height) {
                return scale;
            }
        }
        return 1.0;
    };
    const CGFloat whole = largestScaleFitting(screenSize);
    if (whole > 1) {
        return whole;
    }
    return largestScaleFitting({std::min(screenSize.width, smallestScreen.width),
                                std::min(screenSize.height, smallestScreen.height)});
}

HostWindowPlacement HostPlaceWindow(CGSize screenSize, CGFloat scale, const CGRect& usableArea,
                                    const HostWindowBorders& borders) {
    const CGSize available = room(usableArea, borders);
    HostWindowPlacement placement;
    placement.scale = scale;
    placement.size = {
        std::max(1.0, std::min(screenSize.width, std::floor(available.width / scale))),
        std::max(1.0, std::min(screenSize.height, std::floor(available.height / scale)))};
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
