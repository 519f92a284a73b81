#pragma once

#include <memory>

class CBMapScaleView;
class CBMapScrollView;

// The scale bar of one map view: made on demand in the map's superview (at
// its bottom left, or top left), faded in and out, and kept at the map's
// points per kilometre. The bar holds its map weakly and takes its view out
// of the superview when it goes.
//
// Threads: main thread.
class CBMapScaleBar : public std::enable_shared_from_this<CBMapScaleBar> {
  public:
    explicit CBMapScaleBar(std::weak_ptr<CBMapScrollView> map);
    ~CBMapScaleBar();

    void setMapScaleHiddenAnimated(bool hidden, bool animated);
    // nullptr while hidden or before the map has a superview.
    const std::shared_ptr<CBMapScaleView>& mapScaleView() const { return mapScaleView_; }
    bool mapScaleAtTop() const { return mapScaleAtTop_; }
    void setMapScaleAtTop(bool flag) { mapScaleAtTop_ = flag; }
    void setPointsPerKilometer(double pointsPerKilometer);

  private:
    std::weak_ptr<CBMapScrollView> map_;
    std::shared_ptr<CBMapScaleView> mapScaleView_;
    bool mapScaleAtTop_ = false;
    // The last request: a fade that ends after a newer "show" must not take
    // the bar away.
    bool mapScaleMeantHidden_ = true;
};
