#include "Generalizer.h"

#include <cmath>
#include <utility>

namespace {

double distanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax;
    double dy = by - ay;
    double length = dx * dx + dy * dy;
    double t = length > 0 ? ((px - ax) * dx + (py - ay) * dy) / length : 0.0;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    double ex = ax + t * dx - px;
    double ey = ay + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

std::vector<CLLocationCoordinate2D> simplifiedCoordinates(
    const std::vector<CLLocationCoordinate2D>& points, double tolerance) {
    if (tolerance <= 0 || points.size() < 3)
        return points;
    double scale = std::cos(points.front().latitude * M_PI / 180.0);
    std::vector<bool> keep(points.size(), false);
    keep.front() = keep.back() = true;
    // An explicit stack: long coastlines would overflow a recursion.
    std::vector<std::pair<size_t, size_t>> spans = {{0, points.size() - 1}};
    while (!spans.empty()) {
        auto [first, last] = spans.back();
        spans.pop_back();
        double farthest = -1;
        size_t index = first;
        for (size_t i = first + 1; i < last; ++i) {
            double d = distanceToSegment(points[i].longitude * scale, points[i].latitude,
                                         points[first].longitude * scale, points[first].latitude,
                                         points[last].longitude * scale, points[last].latitude);
            if (d > farthest) {
                farthest = d;
                index = i;
            }
        }
        if (farthest > tolerance) {
            keep[index] = true;
            spans.push_back({first, index});
            spans.push_back({index, last});
        }
    }
    std::vector<CLLocationCoordinate2D> result;
    for (size_t i = 0; i < points.size(); ++i) {
        if (keep[i])
            result.push_back(points[i]);
    }
    return result;
}
