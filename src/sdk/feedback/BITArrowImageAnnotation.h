#pragma once

#include <array>
#include <memory>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGPath.h"
#include "sdk/feedback/BITImageAnnotation.h"

class CAShapeLayer;

// An arrow pointing where the finger stopped: red with a white outline over
// a red halo. Hard to miss for a finger: it is hit within 45 points of its
// outline.
class BITArrowImageAnnotation : public BITImageAnnotation {
  public:
    static constexpr CGFloat kMinimumLength = 30;

    explicit BITArrowImageAnnotation(const CGRect& frame = CGRectZero);

    void layoutSubviews() override;
    void buildShape();
    std::shared_ptr<UIView> hitTest(CGPoint point, UIEvent* event) override;

    // The closed outline of an arrow from one point to the other.
    static CGPath bezierPathWithArrowFromPointToPointTailWidthHeadWidthHeadLength(
        CGPoint start, CGPoint end, CGFloat tailWidth, CGFloat headWidth, CGFloat headLength);
    // The seven corners of an arrow along the x axis from 0 to length.
    static std::array<CGPoint, 7> getAxisAlignedArrowPointsForLengthTailWidthHeadWidthHeadLength(
        CGFloat length, CGFloat tailWidth, CGFloat headWidth, CGFloat headLength);
    // Rotates the x axis onto the line and moves it to start.
    static CGAffineTransform transformForStartPointEndPointLength(CGPoint start, CGPoint end,
                                                                  CGFloat length);
    // The same transform under the name the annotation screen's helpers use;
    // a zero length points right here too instead of dividing by zero.
    static CGAffineTransform dqd_transformForStartPointEndPointLength(CGPoint start, CGPoint end,
                                                                      CGFloat length) {
        return transformForStartPointEndPointLength(start, end, length);
    }

    const std::shared_ptr<CAShapeLayer>& shapeLayer() const { return shapeLayer_; }
    const std::shared_ptr<CAShapeLayer>& strokeLayer() const { return strokeLayer_; }
    // The two ends of the arrow as last built, in own coordinates.
    CGPoint startPoint() const { return start_; }
    CGPoint endPoint() const { return end_; }

  private:
    std::shared_ptr<CAShapeLayer> shapeLayer_;
    std::shared_ptr<CAShapeLayer> strokeLayer_;
    CGPoint start_ = CGPointZero;
    CGPoint end_ = CGPointZero;
};
