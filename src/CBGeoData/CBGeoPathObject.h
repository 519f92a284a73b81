#pragma once

#include <memory>

#include "CoreLocation/CLLocationCoordinate2D.h"

class CBCoordinatePath;
class CBPointPath;
class CGPath;

// Something with a coordinate path that a map can prepare for drawing: the
// points of its first segment and a path of all its segments, in the view
// coordinates of the map that made them. The forms are transient: they are
// kept while the object is in memory and dropped when it turns into a fault.
// The tile road projects into its own per-tile cache and never reads them.
class CBGeoPathObject {
  public:
    virtual ~CBGeoPathObject() = default;

    virtual std::shared_ptr<CBCoordinatePath> path() = 0;
    // The point used when there is no path.
    virtual CLLocationCoordinate2D coordinate() = 0;

    const std::shared_ptr<CBPointPath>& pointPath() const { return pointPath_; }
    void setPointPath(std::shared_ptr<CBPointPath> points) { pointPath_ = std::move(points); }
    const std::shared_ptr<CGPath>& cgPathRef() const { return cgPathRef_; }
    // Lets go of the path held before and keeps the new one (nullptr clears).
    void setCgPathRef(std::shared_ptr<CGPath> path) { cgPathRef_ = std::move(path); }

  protected:
    void releaseDrawingForms() {
        cgPathRef_.reset();
        pointPath_.reset();
    }

  private:
    std::shared_ptr<CBPointPath> pointPath_;
    std::shared_ptr<CGPath> cgPathRef_;
};
