#include "CBGeoData/CBPointPath.h"

#include "Foundation/NSAssert.h"

void CBPointPath::setPointAtIndex(CGPoint point, size_t index) {
    NSAssert(index < points_.size(), "CBGeoData/CBCoordinatePath", "Point beyond bounds of path");
    points_[index] = point;
}

CGPoint CBPointPath::pointAtIndex(size_t index) const {
    NSAssert(index < points_.size(), "CBGeoData/CBCoordinatePath",
             "Coordinate beyond bounds of path");
    return points_[index];
}
