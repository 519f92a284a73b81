#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"

class UILabel;

// The scale bar in a corner of the map: a bracket whose length stands for an
// even distance, with the distance written inside it, on a light plate that
// keeps both readable over the map. The map view hands it
// the points per kilometre after every change of the visible area; units
// follow the user default "km" (metric when set).
class CBMapScaleView : public UIView {
  public:
    // The label is a subview, so the bar is built through create.
    static std::shared_ptr<CBMapScaleView> create(const CGRect& frame = CGRectZero);
    explicit CBMapScaleView(const CGRect& frame);

    // Chooses the even distance, width, text and visibility.
    void setPointsPerKilometer(float pointsPerKilometer);

    double distance() const { return distance_; }
    const std::shared_ptr<UILabel>& distanceLabel() const { return distanceLabel_; }

    UIColor color() const;
    // nullopt restores the default translucent dark grey.
    void setColor(const std::optional<UIColor>& color);
    bool displayAtTop() const { return displayAtTop_; }
    void setDisplayAtTop(bool flag);

    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;

    static UIColor defaultColor() { return UIColor::colorWithWhiteAlpha(0.25, 0.55); }

  private:
    double distance_ = 0;
    std::shared_ptr<UILabel> distanceLabel_;
    std::atomic<bool> displayAtTop_ = false;
};
