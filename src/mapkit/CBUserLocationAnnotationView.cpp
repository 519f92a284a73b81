#include "mapkit/CBUserLocationAnnotationView.h"

#include <algorithm>

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAMediaTimingFunction.h"
#include "QuartzCore/CAShapeLayer.h"
#include "QuartzCore/CATransaction.h"
#include "location/CLHeading+CBAdditions.h"
#include "mapkit/CBHeadingLayer.h"
#include "mapkit/UIApplication+CBInterfaceOrientation.h"

namespace {

constexpr CGFloat kViewSide = 22;

std::shared_ptr<CAShapeLayer> ovalLayer(CGFloat side) {
    auto layer = std::make_shared<CAShapeLayer>();
    layer->setBounds(CGRectMake(0, 0, side, side));
    CGPath path;
    path.addEllipseInRect(layer->bounds());
    layer->setPath(path);
    return layer;
}

void centre(CALayer& layer, CGPoint point) {
    layer.setPosition(point);
}

}  // namespace

CBUserLocationAnnotationView::CBUserLocationAnnotationView(
    CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier)
    : CBAnnotationView(std::move(annotation), std::move(reuseIdentifier)) {
    UIView::setHidden(true);
    // The dot moves and pulses with every fix for as long as fixes come.
    layer()->setAmbient(true);
    accuracyCircle_ = ovalLayer(50);
    updateIndicator_ = ovalLayer(100);
    updateIndicator_->setBackgroundColor(UIColor::clearColor().CGColor());
    updateIndicator_->setHidden(true);
    outerDot_ = ovalLayer(kViewSide);
    outerDot_->setFillColor(UIColor::whiteColor().CGColor());
    outerDot_->setShadowRadius(4.0);
    outerDot_->setShadowOffset(CGSizeZero);
    outerDot_->setShadowOpacity(0.3f);
    innerDot_ = ovalLayer(15);
    layer()->addSublayer(accuracyCircle_);
    layer()->addSublayer(updateIndicator_);
    layer()->addSublayer(outerDot_);
    layer()->addSublayer(innerDot_);
    setFrame(CGRectMake(0, 0, kViewSide, kViewSide));
    CGPoint mid = CGPointMake(kViewSide / 2, kViewSide / 2);
    centre(*accuracyCircle_, mid);
    centre(*updateIndicator_, mid);
    outerDot_->setFrame(bounds());
    centre(*innerDot_, mid);
    // The desktop may choose its location source after the map is made:
    // the cone always exists and shows only while valid readings come.
    heading_ = std::make_shared<CBHeadingLayer>();
    heading_->setFrame(CGRectMake(0, 0, 50, 50));
    heading_->setAnchorPoint(CGPointMake(0.5, 1.0));
    heading_->setPosition(outerDot_->position());
    heading_->setHidden(true);
    heading_->setNeedsDisplay();
    layer()->insertSublayerBelow(heading_, outerDot_);
    updateWithColor(tintColor());
}

void CBUserLocationAnnotationView::setAccuracy(double accuracy) {
    accuracy_ = accuracy;
    animateNextAccuracyChange_ = true;
    if (accuracy <= 0)
        accuracyCircle_->setHidden(true);
}

void CBUserLocationAnnotationView::setPointAccuracyDiameterWithPointsPerKilometer(
    float pointsPerKilometer) {
    if (accuracy_ <= 0) {
        accuracyCircle_->setHidden(true);
        return;
    }
    double d = pointsPerKilometer * (2 * accuracy_ / 1000.0);
    // A disc narrower than twice the dot would only lie under it.
    if (d < 2 * frame().size.width) {
        accuracyCircle_->setHidden(true);
        return;
    }
    accuracyCircle_->setHidden(false);
    CGFloat side = std::min(d, static_cast<double>(kMaximumAccuracyDiameter));
    CATransaction::begin();
    if (animateNextAccuracyChange_) {
        CATransaction::setAnimationDuration(1.0);
        animateNextAccuracyChange_ = false;
    } else {
        CATransaction::setDisableActions(true);
    }
    accuracyCircle_->setBounds(CGRectMake(0, 0, side, side));
    CGPath path;
    path.addEllipseInRect(accuracyCircle_->bounds());
    accuracyCircle_->setPath(path);
    CATransaction::commit();
}

void CBUserLocationAnnotationView::setHeadingWithMapNorthOriented(
    const std::shared_ptr<CLHeading>& heading, bool northOriented) {
    auto direction = heading ? usableHeading(*heading) : std::nullopt;
    if (!direction) {
        heading_->setHidden(true);
        return;
    }
    heading_->setHidden(false);
    heading_->setHeadingAccuracy(heading->headingAccuracy());
    if (northOriented) {
        double offset = headingOffsetForInterfaceOrientation(cbStatusBarInterfaceOrientation());
        heading_->setHeading(*direction + offset);
    } else {
        heading_->setHeading(0);
    }
}

void CBUserLocationAnnotationView::animateUpdate() {
    if (updateIndicator_->animationForKey("scale"))
        return;
    updateIndicator_->setOpacity(0);
    updateIndicator_->setHidden(false);
    auto scale = CAKeyframeAnimation::animationWithKeyPath("transform.scale");
    scale->setDuration(1.3);
    scale->setValues({CGFloat(0.3), CGFloat(2.0)});
    updateIndicator_->addAnimation(scale, "scale");
    auto opacity = CAKeyframeAnimation::animationWithKeyPath("opacity");
    opacity->setDuration(1.3);
    opacity->setValues({CGFloat(1.0), CGFloat(1.0), CGFloat(0.8), CGFloat(0)});
    updateIndicator_->addAnimation(opacity, "opacity");
}

void CBUserLocationAnnotationView::startUserDotAnimation() {
    innerDot_->removeAnimationForKey("breathing");
    if (isHidden())
        return;
    auto breathing = CABasicAnimation::animationWithKeyPath("transform.scale");
    breathing->setToValue(CGFloat(0.75));
    breathing->setDuration(1.5);
    breathing->setAutoreverses(true);
    breathing->setRepeatCount(HUGE_VAL);
    breathing->setTimingFunction(
        CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut));
    innerDot_->addAnimation(breathing, "breathing");
}

void CBUserLocationAnnotationView::updateWithColor(const UIColor& color) {
    CGColor translucent = CGColorCreateCopyWithAlpha(color.CGColor(), 0.25);
    accuracyCircle_->setFillColor(translucent);
    updateIndicator_->setFillColor(translucent);
    heading_->setGradientBaseColor(color.CGColor());
    innerDot_->setFillColor(color.CGColor());
}

void CBUserLocationAnnotationView::tintColorDidChange() {
    CBAnnotationView::tintColorDidChange();
    updateWithColor(tintColor());
}

void CBUserLocationAnnotationView::setHidden(bool hidden) {
    animateNextAccuracyChange_ = false;
    UIView::setHidden(hidden);
    // The dot breathes only while it shows: an endless animation on a hidden
    // dot would keep the frame clock (and the processor) busy for nothing.
    if (hidden)
        innerDot_->removeAnimationForKey("breathing");
    else
        startUserDotAnimation();
}

void CBUserLocationAnnotationView::layoutSubviews() {
    CGRect b = bounds();
    CGPoint mid = CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b));
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    centre(*accuracyCircle_, mid);
    centre(*updateIndicator_, mid);
    centre(*outerDot_, mid);
    centre(*innerDot_, mid);
    CATransaction::commit();
}
