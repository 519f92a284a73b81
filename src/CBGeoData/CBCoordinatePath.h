#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreGraphics/CGPath.h"
#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// The outline of a geo element: one or more segments, each an ordered run of
// coordinates in degrees. A path of one segment keeps its coordinates itself
// (`count` of them); a path of n >= 2 segments keeps one coordinate run per
// segment and has `count` 0.
//
// Paths are built by one thread and then only read, so the map's worker
// threads share stored paths without locks. Indexes out of bounds are
// programming errors and stop the program through NSAssert.
class CBCoordinatePath {
  public:
    // initWithNumberOfSegments: 0 gives the empty path, 1 a one-segment path
    // without coordinates, n >= 2 a path whose segments are sized afterwards
    // with setupPathForSegmentWithNumberOfCoordinates.
    explicit CBCoordinatePath(size_t numberOfSegments);
    // initWithArrayOfLocations: one segment; a nil entry gives (0, 0).
    explicit CBCoordinatePath(const std::vector<std::shared_ptr<CLLocation>>& locations);
    // initWithArrayOfSegements: one segment per inner array.
    explicit CBCoordinatePath(
        const std::vector<std::vector<std::shared_ptr<CLLocation>>>& segments);
    // initWithArrayOfCoordinatePaths: the segments of all paths in order; nil entries are skipped.
    explicit CBCoordinatePath(const std::vector<std::shared_ptr<CBCoordinatePath>>& paths);

    // initWithNumberOfCoordinates: one segment of n coordinates, all (0, 0).
    // (A static function: the segment-count constructor takes the same argument type.)
    static std::shared_ptr<CBCoordinatePath> createWithNumberOfCoordinates(size_t count);

    size_t segmentCount() const { return segmentCount_; }
    // The coordinates of a one-segment path; 0 for two or more segments.
    size_t count() const { return segmentCount_ < 2 ? segments_.front().size() : 0; }

    // Sizes one segment to n coordinates, all (0, 0).
    void setupPathForSegmentWithNumberOfCoordinates(size_t segment, size_t count);
    void setCoordinateAtIndexOfSegment(CLLocationCoordinate2D coordinate, size_t index,
                                       size_t segment);
    // For two or more segments these address segment 0.
    void setCoordinateAtIndex(CLLocationCoordinate2D coordinate, size_t index);
    CLLocationCoordinate2D coordinateAtIndex(size_t index) const;
    CLLocationCoordinate2D coordinateAtIndexOfSegment(size_t index, size_t segment) const;
    size_t numberOfCoordinatesAtSegment(size_t segment) const;

    // The box of every coordinate; the empty sentinel box for a path without any.
    std::shared_ptr<CBBoundingBox> bbox() const;
    // One open subpath per segment, x = longitude and y = latitude.
    CGPath newCGPath() const;
    // Even-odd rule for two or more segments (rings with holes), non-zero
    // winding for one segment.
    bool containsCoordinate(CLLocationCoordinate2D coordinate) const;

    bool operator==(const CBCoordinatePath& other) const;

  private:
    size_t segmentCount_;
    // Always at least one entry: entry 0 is the buffer of a one-segment (or
    // empty) path; with two or more segments, one entry per segment.
    std::vector<std::vector<CLLocationCoordinate2D>> segments_;
};
