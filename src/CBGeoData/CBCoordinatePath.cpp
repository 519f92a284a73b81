#include "CBGeoData/CBCoordinatePath.h"

#include <algorithm>

#include "Foundation/NSAssert.h"

namespace {

constexpr const char* kSourceFile = "CBGeoData/CBCoordinatePath";

std::vector<CLLocationCoordinate2D> coordinatesOf(
    const std::vector<std::shared_ptr<CLLocation>>& locations) {
    std::vector<CLLocationCoordinate2D> coordinates;
    coordinates.reserve(locations.size());
    for (const auto& location : locations) {
        coordinates.push_back(location ? location->coordinate() : CLLocationCoordinate2D{});
    }
    return coordinates;
}

}  // namespace

CBCoordinatePath::CBCoordinatePath(size_t numberOfSegments)
    : segmentCount_(numberOfSegments), segments_(std::max<size_t>(numberOfSegments, 1)) {}

CBCoordinatePath::CBCoordinatePath(const std::vector<std::shared_ptr<CLLocation>>& locations)
    : CBCoordinatePath(1) {
    segments_.front() = coordinatesOf(locations);
}

CBCoordinatePath::CBCoordinatePath(
    const std::vector<std::vector<std::shared_ptr<CLLocation>>>& segments)
    : CBCoordinatePath(segments.size()) {
    for (size_t segment = 0; segment < segments.size(); ++segment) {
        segments_[segment] = coordinatesOf(segments[segment]);
    }
}

CBCoordinatePath::CBCoordinatePath(const std::vector<std::shared_ptr<CBCoordinatePath>>& paths)
    : CBCoordinatePath(0) {
    std::vector<std::vector<CLLocationCoordinate2D>> segments;
    for (const auto& path : paths) {
        if (!path) {
            continue;
        }
        for (size_t segment = 0; segment < path->segmentCount(); ++segment) {
            std::vector<CLLocationCoordinate2D> coordinates(
                path->numberOfCoordinatesAtSegment(segment));
            for (size_t index = 0; index < coordinates.size(); ++index) {
                coordinates[index] = path->coordinateAtIndexOfSegment(index, segment);
            }
            segments.push_back(std::move(coordinates));
        }
    }
    segmentCount_ = segments.size();
    if (!segments.empty()) {
        segments_ = std::move(segments);
    }
}

std::shared_ptr<CBCoordinatePath> CBCoordinatePath::createWithNumberOfCoordinates(size_t count) {
    auto path = std::make_shared<CBCoordinatePath>(1);
    path->setupPathForSegmentWithNumberOfCoordinates(0, count);
    return path;
}

void CBCoordinatePath::setupPathForSegmentWithNumberOfCoordinates(size_t segment, size_t count) {
    NSAssert(segment < segmentCount_, kSourceFile, "Setting up path %zu beyond bounds %zu", segment,
             segmentCount_);
    segments_[segment].assign(count, CLLocationCoordinate2D{});
}

void CBCoordinatePath::setCoordinateAtIndexOfSegment(CLLocationCoordinate2D coordinate,
                                                     size_t index, size_t segment) {
    NSAssert(segment < segmentCount_, kSourceFile, "Segment beyond bounds of path");
    auto& coordinates = segments_[segment];
    NSAssert(index < coordinates.size(), kSourceFile, "Coordinate beyond bounds of path");
    coordinates[index] = coordinate;
}

void CBCoordinatePath::setCoordinateAtIndex(CLLocationCoordinate2D coordinate, size_t index) {
    auto& coordinates = segments_.front();
    NSAssert(index < coordinates.size(), kSourceFile, "Coordinate beyond bounds of path");
    coordinates[index] = coordinate;
}

CLLocationCoordinate2D CBCoordinatePath::coordinateAtIndex(size_t index) const {
    const auto& coordinates = segments_.front();
    NSAssert(index < coordinates.size(), kSourceFile, "Coordinate beyond bounds of path");
    return coordinates[index];
}

CLLocationCoordinate2D CBCoordinatePath::coordinateAtIndexOfSegment(size_t index,
                                                                    size_t segment) const {
    if (segmentCount_ < 2) {
        // A one-segment path has only its own coordinates; the segment index is not looked at.
        return coordinateAtIndex(index);
    }
    NSAssert(segment < segmentCount_, kSourceFile, "Segment beyond bounds of path");
    const auto& coordinates = segments_[segment];
    NSAssert(index < coordinates.size(), kSourceFile, "Coordinate beyond bounds of path");
    return coordinates[index];
}

size_t CBCoordinatePath::numberOfCoordinatesAtSegment(size_t segment) const {
    NSAssert(segment < segmentCount_, kSourceFile,
             "numberOfCoordinatesAtSegment: Segment beyond bounds of path");
    return segments_[segment].size();
}

std::shared_ptr<CBBoundingBox> CBCoordinatePath::bbox() const {
    auto box = std::make_shared<CBBoundingBox>();
    for (size_t segment = 0; segment < segmentCount_; ++segment) {
        for (const auto& coordinate : segments_[segment]) {
            box->growToIncludeCoordinate(coordinate);
        }
    }
    return box;
}

CGPath CBCoordinatePath::newCGPath() const {
    CGPath path;
    for (size_t segment = 0; segment < segmentCount_; ++segment) {
        const auto& coordinates = segments_[segment];
        for (size_t index = 0; index < coordinates.size(); ++index) {
            const CGPoint point{coordinates[index].longitude, coordinates[index].latitude};
            if (index == 0) {
                path.moveToPoint(point);
            } else {
                path.addLineToPoint(point);
            }
        }
    }
    return path;
}

bool CBCoordinatePath::containsCoordinate(CLLocationCoordinate2D coordinate) const {
    return newCGPath().containsPoint({coordinate.longitude, coordinate.latitude},
                                     segmentCount_ >= 2);
}

bool CBCoordinatePath::operator==(const CBCoordinatePath& other) const {
    return segmentCount_ == other.segmentCount_ && segments_ == other.segments_;
}
