#pragma once

#include <optional>
#include <vector>

#include "QuartzCore/CALayer.h"

enum class CAFillRule { NonZero, EvenOdd };

// A layer that draws a path: filled, then stroked between strokeStart and
// strokeEnd (fractions of the path's length).
class CAShapeLayer : public CALayer {
  public:
    static std::shared_ptr<CAShapeLayer> layer() { return std::make_shared<CAShapeLayer>(); }

    const std::optional<CGPath>& path() const { return path_; }
    void setPath(std::optional<CGPath> path);
    // Black by default; nullopt fills nothing.
    const std::optional<CGColor>& fillColor() const { return fillColor_; }
    void setFillColor(std::optional<CGColor> color);
    const std::optional<CGColor>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<CGColor> color);
    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width);
    CGLineCap lineCap() const { return lineCap_; }
    void setLineCap(CGLineCap cap);
    CGLineJoin lineJoin() const { return lineJoin_; }
    void setLineJoin(CGLineJoin join);
    CGFloat miterLimit() const { return miterLimit_; }
    void setMiterLimit(CGFloat limit);
    const std::vector<CGFloat>& lineDashPattern() const { return dashes_; }
    void setLineDashPattern(std::vector<CGFloat> pattern);
    CGFloat lineDashPhase() const { return dashPhase_; }
    void setLineDashPhase(CGFloat phase);
    CAFillRule fillRule() const { return fillRule_; }
    void setFillRule(CAFillRule rule);
    CGFloat strokeStart() const { return strokeStart_; }
    void setStrokeStart(CGFloat value);
    CGFloat strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(CGFloat value);

    std::optional<CAValue> valueForKeyPath(const std::string& keyPath) const override;
    bool setValueForKeyPath(const std::string& keyPath, const CAValue& value) override;

  protected:
    std::shared_ptr<CALayer> clone() const override;
    void drawOwnContent(CGContext& context, bool snapshot) override;
    std::optional<CGRect> shadowCasterExtent() const override;

  private:
    std::optional<CGPath> path_;
    std::optional<CGColor> fillColor_ = CGColor{0, 0, 0, 1, nullptr};
    std::optional<CGColor> strokeColor_;
    CGFloat lineWidth_ = 1;
    CGLineCap lineCap_ = kCGLineCapButt;
    CGLineJoin lineJoin_ = kCGLineJoinMiter;
    CGFloat miterLimit_ = 10;
    std::vector<CGFloat> dashes_;
    CGFloat dashPhase_ = 0;
    CAFillRule fillRule_ = CAFillRule::NonZero;
    CGFloat strokeStart_ = 0;
    CGFloat strokeEnd_ = 1;
};
