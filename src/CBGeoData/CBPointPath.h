#pragma once

#include <cstddef>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

// A coordinate path projected into view points for drawing: a fixed number of
// points, all (0, 0) until set. Indexes out of bounds stop the program through
// NSAssert.
class CBPointPath {
  public:
    // initWithNumberOfPoints:
    explicit CBPointPath(size_t count) : points_(count) {}

    size_t count() const { return points_.size(); }
    const std::vector<CGPoint>& points() const { return points_; }

    void setPointAtIndex(CGPoint point, size_t index);
    CGPoint pointAtIndex(size_t index) const;

  private:
    std::vector<CGPoint> points_;
};
