#pragma once

#include "UIKit/UIControl.h"

// A round button with a needle that points to the map's north while the map
// turns with the heading; tapping it is meant to turn the map north up.
class CBCompassButton : public UIControl {
  public:
    static constexpr CGFloat kSize = 40;

    CBCompassButton();

    // The map's rotation in radians (the map is drawn turned by -angle).
    float mapRotation() const { return mapRotation_; }
    void setMapRotation(float angle);

    void drawRect(const CGRect& rect) override;

  private:
    float mapRotation_ = 0;
};
