#include "mapkit/CBHeadingLayer.h"

#include <algorithm>
#include <cmath>

#include "CoreGraphics/CGGradient.h"

void CBHeadingLayer::setGradientBaseColor(std::optional<CGColor> color) {
    gradientBaseColor_ = std::move(color);
    setNeedsDisplay();
}

void CBHeadingLayer::setHeadingAccuracy(double accuracy) {
    double halfAngle = std::clamp(accuracy, 0.0, kMaximumHalfAngle);
    CGRect b = bounds();
    double width = 2 * b.size.height * std::tan(halfAngle * M_PI / 180.0);
    setBounds(CGRectMake(0, 0, width, b.size.height));
    setNeedsDisplay();
}

void CBHeadingLayer::setHeading(double heading) {
    setTransform(CGAffineTransformMakeRotation(heading * M_PI / 180.0));
}

void CBHeadingLayer::drawInContext(CGContext& context) {
    CGRect b = bounds();
    CGFloat w = b.size.width;
    CGFloat h = b.size.height;
    if (w <= 0 || h <= 0)
        return;
    context.saveGState();
    context.beginPath();
    context.moveToPoint(0, 0);
    context.addLineToPoint(w / 2, h);
    context.addLineToPoint(w, 0);
    context.closePath();
    context.clip();
    CGFloat r = 0.8, g = 0.8, bl = 0.8;
    if (gradientBaseColor_) {
        r = gradientBaseColor_->red;
        g = gradientBaseColor_->green;
        bl = gradientBaseColor_->blue;
    }
    auto gradient = CGGradient::createWithColorComponents({r, g, bl, 0, r, g, bl, 0.75});
    if (gradient) {
        CGPoint apex = CGPointMake(w / 2, h);
        context.drawRadialGradient(
            *gradient, apex, h, apex, 0,
            kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    }
    context.restoreGState();
}
