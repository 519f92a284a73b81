#include "sdk/feedback/BITArrowImageAnnotation.h"

#include <algorithm>
#include <cmath>

#include "QuartzCore/CAShapeLayer.h"
#include "QuartzCore/CATransaction.h"

namespace {

constexpr CGFloat kGrabWidth = 90;

}  // namespace

BITArrowImageAnnotation::BITArrowImageAnnotation(const CGRect& frame)
    : BITImageAnnotation(frame),
      shapeLayer_(CAShapeLayer::layer()),
      strokeLayer_(CAShapeLayer::layer()) {
    strokeLayer_->setStrokeColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    strokeLayer_->setLineWidth(10);
    strokeLayer_->setFillColor(std::nullopt);
    shapeLayer_->setStrokeColor(CGColorCreateGenericRGB(1, 1, 1, 1));
    shapeLayer_->setLineWidth(5);
    shapeLayer_->setFillColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    layer()->addSublayer(strokeLayer_);
    layer()->addSublayer(shapeLayer_);
}

void BITArrowImageAnnotation::layoutSubviews() {
    BITImageAnnotation::layoutSubviews();
    buildShape();
}

void BITArrowImageAnnotation::buildShape() {
    const CGFloat size = std::max(frame().size.width, frame().size.height);
    CGRect box = bounds();
    const CGFloat diagonal = std::hypot(box.size.width, box.size.height);
    // Short arrows keep a length a finger can see and grab.
    if (diagonal > 0 && diagonal < kMinimumLength) {
        const CGFloat scale = kMinimumLength / diagonal;
        box = CGRectMake(box.origin.x * scale, box.origin.y * scale, box.size.width * scale,
                         box.size.height * scale);
    }
    const CGFloat tailWidth = std::max<CGFloat>(size / 10, 3);
    const CGFloat headWidth = std::max<CGFloat>(size / 3, 10);
    const CGPoint delta = movedDelta();
    start_.x = delta.x < 0 ? CGRectGetMaxX(box) : CGRectGetMinX(box);
    end_.x = delta.x < 0 ? CGRectGetMinX(box) : CGRectGetMaxX(box);
    start_.y = delta.y < 0 ? CGRectGetMaxY(box) : CGRectGetMinY(box);
    end_.y = delta.y < 0 ? CGRectGetMinY(box) : CGRectGetMaxY(box);
    const CGPath path = bezierPathWithArrowFromPointToPointTailWidthHeadWidthHeadLength(
        start_, end_, tailWidth, headWidth, headWidth);
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    for (const auto& shape : {strokeLayer_, shapeLayer_}) {
        shape->setFrame(bounds());
        shape->setPath(path);
    }
    strokeLayer_->setLineWidth(tailWidth / 1.5);
    shapeLayer_->setLineWidth(tailWidth / 3);
    CATransaction::commit();
}

std::shared_ptr<UIView> BITArrowImageAnnotation::hitTest(CGPoint point, UIEvent*) {
    const auto& path = shapeLayer_->path();
    if (isHidden() || !path)
        return nullptr;
    const CGFloat width = std::max(shapeLayer_->lineWidth(), kGrabWidth);
    if (path->containsPoint(point, false) ||
        path->strokeContainsPoint(point, width, kCGLineCapRound, kCGLineJoinMiter))
        return std::static_pointer_cast<UIView>(shared_from_this());
    return nullptr;
}

CGPath BITArrowImageAnnotation::bezierPathWithArrowFromPointToPointTailWidthHeadWidthHeadLength(
    CGPoint start, CGPoint end, CGFloat tailWidth, CGFloat headWidth, CGFloat headLength) {
    const CGFloat length = std::hypot(end.x - start.x, end.y - start.y);
    const auto points = getAxisAlignedArrowPointsForLengthTailWidthHeadWidthHeadLength(
        length, tailWidth, headWidth, headLength);
    const CGAffineTransform transform = transformForStartPointEndPointLength(start, end, length);
    CGPath path;
    path.moveToPoint(CGPointApplyAffineTransform(points[0], transform));
    for (size_t i = 1; i < points.size(); ++i)
        path.addLineToPoint(CGPointApplyAffineTransform(points[i], transform));
    path.closeSubpath();
    return path;
}

std::array<CGPoint, 7>
BITArrowImageAnnotation::getAxisAlignedArrowPointsForLengthTailWidthHeadWidthHeadLength(
    CGFloat length, CGFloat tailWidth, CGFloat headWidth, CGFloat headLength) {
    const CGFloat tail = length - headLength;
    return {CGPointMake(0, tailWidth / 2),     CGPointMake(tail, tailWidth / 2),
            CGPointMake(tail, headWidth / 2),  CGPointMake(length, 0),
            CGPointMake(tail, -headWidth / 2), CGPointMake(tail, -tailWidth / 2),
            CGPointMake(0, -tailWidth / 2)};
}

CGAffineTransform BITArrowImageAnnotation::transformForStartPointEndPointLength(CGPoint start,
                                                                                CGPoint end,
                                                                                CGFloat length) {
    // A zero length has no direction: the arrow then points right.
    if (length == 0)
        return CGAffineTransformMakeTranslation(start.x, start.y);
    const CGFloat cosine = (end.x - start.x) / length;
    const CGFloat sine = (end.y - start.y) / length;
    return CGAffineTransform{cosine, sine, -sine, cosine, start.x, start.y};
}
