#pragma once

#include <vector>

#include "CoreLocation/CLLocationCoordinate2D.h"

// Douglas-Peucker simplification of a run of coordinates: keeps the first
// and last point and every point farther than the tolerance (degrees of
// latitude; longitudes are scaled by the cosine of the latitude) from the
// line through the points kept around it. A tolerance of 0 keeps all points.
std::vector<CLLocationCoordinate2D> simplifiedCoordinates(
    const std::vector<CLLocationCoordinate2D>& points, double tolerance);
