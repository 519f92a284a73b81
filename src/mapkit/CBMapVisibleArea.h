#pragma once

#include <memory>

#include "CoreLocation/CLLocationCoordinate2D.h"

class CBBoundingBox;
class CBMapScrollView;
class CBMapScrollViewDelegate;

// The part of the map one map view shows: the visible box, the wider box
// around it that data is loaded for (and the one last told to the
// delegate), the points per kilometre the scale bar shows, and whether the
// view saves its visible box per map (CBMapViewSavedState). The area holds its map weakly.
//
// Threads: main thread.
class CBMapVisibleArea {
  public:
    explicit CBMapVisibleArea(std::weak_ptr<CBMapScrollView> map);

    // Reads the visible box from the view and widens it; the scale bar follows.
    void calculateVisibleBBox();
    void setWiderBBoxFromVisibleBBox();
    std::shared_ptr<CBBoundingBox> visibleBBox() const { return visibleBBox_; }
    std::shared_ptr<CBBoundingBox> widerBBox() const { return widerBBox_; }
    std::shared_ptr<CBBoundingBox> notifiedWiderBBox() const { return notifiedWiderBBox_; }
    double widerBBoxFactor() const { return widerBBoxFactor_; }
    // Kept between 1.5 and 5.
    void setWiderBBoxFactor(double factor);
    CLLocationCoordinate2D visibleCenter() const;
    double pointsPerKilometer() const { return pointsPerKilometer_; }
    // Tells the delegate the visible box, and the wider box when the view
    // came to rest far enough from the one it was last told.
    void notifyDelegateOfBoxes(CBMapScrollViewDelegate& delegate, bool animated);

    // Whether the map view saves its visible box per map and restores it.
    bool savesState() const { return savesState_; }
    void setSavesState(bool flag) { savesState_ = flag; }

  private:
    std::weak_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBBoundingBox> visibleBBox_;
    std::shared_ptr<CBBoundingBox> widerBBox_;
    double widerBBoxFactor_ = 3.0;
    std::shared_ptr<CBBoundingBox> notifiedWiderBBox_;
    double pointsPerKilometer_ = 0;
    bool savesState_ = true;
};
