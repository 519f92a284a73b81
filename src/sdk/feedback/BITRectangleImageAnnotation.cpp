#include "sdk/feedback/BITRectangleImageAnnotation.h"

#include <algorithm>

#include "QuartzCore/CAShapeLayer.h"
#include "QuartzCore/CATransaction.h"

namespace {

std::shared_ptr<CAShapeLayer> outline(const CGColor& color, CGFloat width) {
    auto layer = CAShapeLayer::layer();
    layer->setStrokeColor(color);
    layer->setLineWidth(width);
    layer->setFillColor(std::nullopt);
    return layer;
}

}  // namespace

BITRectangleImageAnnotation::BITRectangleImageAnnotation(const CGRect& frame)
    : BITImageAnnotation(frame),
      shapeLayer_(outline(CGColorCreateGenericRGB(1, 0, 0, 1), 5)),
      strokeLayer_(outline(CGColorCreateGenericRGB(1, 1, 1, 1), 10)) {
    layer()->addSublayer(strokeLayer_);
    layer()->addSublayer(shapeLayer_);
}

void BITRectangleImageAnnotation::layoutSubviews() {
    BITImageAnnotation::layoutSubviews();
    CGPath path;
    path.addRoundedRect(bounds(), 10, 10);
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    for (const auto& shape : {strokeLayer_, shapeLayer_}) {
        shape->setFrame(bounds());
        shape->setPath(path);
    }
    const CGFloat base = std::max<CGFloat>(frame().size.width / 10, 10);
    strokeLayer_->setLineWidth(base / 1.5);
    shapeLayer_->setLineWidth(base / 3);
    CATransaction::commit();
}
