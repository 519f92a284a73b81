#pragma once

#include <optional>

#include "CoreGraphics/CGColor.h"
#include "QuartzCore/CALayer.h"

// A glowing ring: the oval of the bounds inset by the glow radius, stroked
// at the line width in the stroke colour, with a glow of the glow colour
// (a shadow without offset, blurred by the glow radius) around it. Without
// a line width or a stroke colour it draws nothing; without a glow radius or
// a glow colour the ring does not glow. Drawn at the screen's scale and again
// when its bounds change.
class ZELGlowingShapeLayer : public CALayer {
  public:
    ZELGlowingShapeLayer();

    const std::optional<CGColor>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<CGColor> color) { strokeColor_ = std::move(color); }
    const std::optional<CGColor>& glowColor() const { return glowColor_; }
    void setGlowColor(std::optional<CGColor> color) { glowColor_ = std::move(color); }
    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    CGFloat glowRadius() const { return glowRadius_; }
    void setGlowRadius(CGFloat radius) { glowRadius_ = radius; }

    void drawInContext(CGContext& context) override;
    bool drawsOwnContent() override { return true; }

  private:
    std::optional<CGColor> strokeColor_;
    std::optional<CGColor> glowColor_;
    CGFloat lineWidth_ = 0;
    CGFloat glowRadius_ = 0;
};
