#include "mapkit/CBCoordinatePathAnalyzer.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBCoordinatePath.h"

CBCoordinatePathAnalyzer::CBCoordinatePathAnalyzer(std::shared_ptr<CBCoordinatePath> path) {
    setCoordinatePath(std::move(path));
}

void CBCoordinatePathAnalyzer::setCoordinatePath(std::shared_ptr<CBCoordinatePath> path) {
    path_ = std::move(path);
    cumulatedDistances_.reset();
    lastLocationNotified_ = nullptr;
    totalDistance_ = -1.0;
    if (path_)
        calculateCumulatedDistances();
}

// The coordinates of the first segment; none for a path without segments.
static size_t coordinatesToFollow(const CBCoordinatePath& path) {
    return path.segmentCount() > 0 ? path.numberOfCoordinatesAtSegment(0) : 0;
}

void CBCoordinatePathAnalyzer::calculateCumulatedDistances() {
    const size_t n = coordinatesToFollow(*path_);
    if (n <= 1)
        return;
    std::vector<double> distances{0.0};
    distances.reserve(n);
    CLLocation previous(path_->coordinateAtIndexOfSegment(0, 0).latitude,
                        path_->coordinateAtIndexOfSegment(0, 0).longitude);
    double d = 0;
    for (size_t i = 1; i < n; ++i) {
        const auto c = path_->coordinateAtIndexOfSegment(i, 0);
        CLLocation here(c.latitude, c.longitude);
        d += here.distanceFromLocation(previous);
        distances.push_back(d);
        previous = here;
    }
    cumulatedDistances_ = std::move(distances);
    totalDistance_ = d;
}

void CBCoordinatePathAnalyzer::updateUserLocation(std::shared_ptr<CLLocation> location) {
    if (!location || location->horizontalAccuracy() < 0)
        return;
    if (lastLocationNotified_ &&
        location->distanceFromLocation(*lastLocationNotified_) < distanceFilter_)
        return;
    lastLocationNotified_ = std::move(location);
    calculateProgress();
}

std::optional<double> CBCoordinatePathAnalyzer::distanceBehind() const {
    if (progressInfo_.progress < 0 || !std::isfinite(progressInfo_.distanceBehind))
        return std::nullopt;
    return progressInfo_.distanceBehind;
}

CBCoordinatePathProgressInfo CBCoordinatePathAnalyzer::calculatedProgressInfo() const {
    CBCoordinatePathProgressInfo info;
    const size_t n = coordinatesToFollow(*path_);
    if (n == 0)
        return info;
    const auto here = lastLocationNotified_->coordinate();
    size_t nearest = 0;
    double best = INFINITY;
    for (size_t i = 0; i < n; ++i) {
        const auto c = path_->coordinateAtIndexOfSegment(i, 0);
        const double d = std::hypot(c.latitude - here.latitude, c.longitude - here.longitude);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    info.coordinateOnPath = path_->coordinateAtIndexOfSegment(nearest, 0);
    info.distanceBehind = cumulatedDistances_ ? (*cumulatedDistances_)[nearest] : 0;
    info.totalDistance = totalDistance_;
    info.distanceAhead = totalDistance_ - info.distanceBehind;
    info.progress =
        totalDistance_ > 0 ? std::clamp(info.distanceBehind / totalDistance_, 0.0, 1.0) : -1;
    info.closestIndex = static_cast<uint32_t>(nearest);
    return info;
}

void CBCoordinatePathAnalyzer::calculateProgress() {
    if (!path_ || !lastLocationNotified_)
        return;
    progressInfo_ = calculatedProgressInfo();
    auto delegate = delegate_.lock();
    if (!delegate)
        return;
    delegate->progressChangedTo(float(progressInfo_.progress));
    delegate->distanceBehindChangedTo(float(progressInfo_.distanceBehind));
    delegate->distanceAheadChangedTo(float(progressInfo_.distanceAhead));
    delegate->coordinatePathProgressInfoChangedTo(progressInfo_);
}
