#pragma once

#include <vector>

#include "QuartzCore/CALayer.h"

enum class CAGradientLayerType { Axial, Radial };

// A layer filled with a gradient over its bounds. Points are in the unit
// square of the bounds; the default runs from top centre to bottom centre.
class CAGradientLayer : public CALayer {
  public:
    static std::shared_ptr<CAGradientLayer> layer() { return std::make_shared<CAGradientLayer>(); }

    const std::vector<CGColor>& colors() const { return colors_; }
    void setColors(std::vector<CGColor> colors);
    // Empty: spread evenly.
    const std::vector<CGFloat>& locations() const { return locations_; }
    void setLocations(std::vector<CGFloat> locations);
    CGPoint startPoint() const { return start_; }
    void setStartPoint(CGPoint point);
    CGPoint endPoint() const { return end_; }
    void setEndPoint(CGPoint point);
    CAGradientLayerType type() const { return type_; }
    void setType(CAGradientLayerType type);

  protected:
    std::shared_ptr<CALayer> clone() const override;
    void drawOwnContent(CGContext& context, bool snapshot) override;

  private:
    std::vector<CGColor> colors_;
    std::vector<CGFloat> locations_;
    CGPoint start_{0.5, 0};
    CGPoint end_{0.5, 1};
    CAGradientLayerType type_ = CAGradientLayerType::Axial;
};
