#pragma once

#include <memory>

#include "sdk/feedback/BITImageAnnotation.h"

class CAShapeLayer;

// A rounded frame around something: a red line over a white halo.
class BITRectangleImageAnnotation : public BITImageAnnotation {
  public:
    explicit BITRectangleImageAnnotation(const CGRect& frame = CGRectZero);

    bool resizable() const override { return true; }
    void layoutSubviews() override;

    const std::shared_ptr<CAShapeLayer>& shapeLayer() const { return shapeLayer_; }
    const std::shared_ptr<CAShapeLayer>& strokeLayer() const { return strokeLayer_; }

  private:
    std::shared_ptr<CAShapeLayer> shapeLayer_;
    std::shared_ptr<CAShapeLayer> strokeLayer_;
};
