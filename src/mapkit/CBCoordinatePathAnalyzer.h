#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "CoreLocation/CLLocation.h"
#include "location/CBLocationManagerDelegate.h"

class CBCoordinatePath;

// Where the user is along a path: the nearest vertex (coordinateOnPath, at
// closestIndex) and the distances.
struct CBCoordinatePathProgressInfo {
    CLLocationCoordinate2D coordinateOnPath{-180, -180};
    // Fraction of the path behind the user, 0 to 1; -1 without a length.
    double progress = -1;
    double distanceAhead = -1;
    double distanceBehind = -1;
    double totalDistance = -1;
    uint32_t closestIndex = 0;
};

// Every message is optional.
class CBCoordinatePathAnalyzerDelegate {
  public:
    virtual ~CBCoordinatePathAnalyzerDelegate() = default;
    virtual void progressChangedTo(float) {}
    virtual void distanceBehindChangedTo(float) {}
    virtual void distanceAheadChangedTo(float) {}
    virtual void coordinatePathProgressInfoChangedTo(const CBCoordinatePathProgressInfo&) {}
};

// Follows the user along the first segment of a path: the distance from the
// start to each vertex is computed once; each accepted fix finds the nearest
// vertex (planar degrees, first wins a tie) and tells the delegate. Main
// thread, fed by the location manager as its current path analyzer.
class CBCoordinatePathAnalyzer : public CBLocationManagerPathAnalyzer {
  public:
    CBCoordinatePathAnalyzer() = default;
    explicit CBCoordinatePathAnalyzer(std::shared_ptr<CBCoordinatePath> path);

    void setCoordinatePath(std::shared_ptr<CBCoordinatePath> path);
    const std::shared_ptr<CBCoordinatePath>& coordinatePath() const { return path_; }
    // Weak: the walk screen owns the analyzer and is its delegate.
    void setDelegate(std::weak_ptr<CBCoordinatePathAnalyzerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    void updateUserLocation(std::shared_ptr<CLLocation> location) override;
    std::optional<double> distanceBehind() const override;

    const CBCoordinatePathProgressInfo& progressInfo() const { return progressInfo_; }
    // Empty (no value) for paths of fewer than two vertices.
    const std::optional<std::vector<double>>& cumulatedDistances() const {
        return cumulatedDistances_;
    }
    double totalDistance() const { return totalDistance_; }
    // Metres; fixes closer than this to the last used one are ignored. -1: none.
    double distanceFilter() const { return distanceFilter_; }
    void setDistanceFilter(double metres) { distanceFilter_ = metres; }
    // The last fix the progress was computed from; cleared with a new path.
    const std::shared_ptr<CLLocation>& lastLocationNotified() const {
        return lastLocationNotified_;
    }

  private:
    void calculateCumulatedDistances();
    void calculateProgress();
    CBCoordinatePathProgressInfo calculatedProgressInfo() const;

    std::weak_ptr<CBCoordinatePathAnalyzerDelegate> delegate_;
    std::shared_ptr<CBCoordinatePath> path_;
    std::optional<std::vector<double>> cumulatedDistances_;
    double distanceFilter_ = -1;
    double totalDistance_ = -1;
    std::shared_ptr<CLLocation> lastLocationNotified_;
    CBCoordinatePathProgressInfo progressInfo_;
};
