#pragma once

#include <optional>

#include "QuartzCore/CALayer.h"

// The heading cone: a translucent wedge whose apex (the layer's anchor, at
// the bottom centre) sits on the position dot and whose half-angle is the
// heading's accuracy.
class CBHeadingLayer : public CALayer {
  public:
    // The widest half-angle drawn: wider readings say little and the cone's
    // width would grow without bound towards 90 degrees.
    static constexpr double kMaximumHalfAngle = 80.0;

    const std::optional<CGColor>& gradientBaseColor() const { return gradientBaseColor_; }
    void setGradientBaseColor(std::optional<CGColor> color);
    // Degrees; clamped to [0, kMaximumHalfAngle]. Width 2 x height x tan(accuracy).
    void setHeadingAccuracy(double accuracy);
    // Degrees clockwise from up.
    void setHeading(double heading);

    void drawInContext(CGContext& context) override;
    bool drawsOwnContent() override { return true; }

  private:
    std::optional<CGColor> gradientBaseColor_;
};
