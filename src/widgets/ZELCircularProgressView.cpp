#include "widgets/ZELCircularProgressView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "CoreGraphics/CGPath.h"
#include "UIKit/UIGraphics.h"

ZELCircularProgressView::ZELCircularProgressView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
}

void ZELCircularProgressView::setProgress(float progress) {
    progress = std::isfinite(progress) ? std::clamp(progress, 0.0f, 1.0f) : 0.0f;
    if (progress == progress_)
        return;
    progress_ = progress;
    setNeedsDisplay();
}

void ZELCircularProgressView::setForegroundColor(const UIColor& color) {
    foregroundColor_ = color;
    setNeedsDisplay();
}

void ZELCircularProgressView::setRadiusInner(CGFloat radius) {
    radiusInner_ = radius;
    setNeedsDisplay();
}

void ZELCircularProgressView::setRadiusOuter(CGFloat radius) {
    radiusOuter_ = radius;
    setNeedsDisplay();
}

void ZELCircularProgressView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGPoint centre{CGRectGetMidX(bounds()), CGRectGetMidY(bounds())};
    const CGFloat inner = std::min(radiusInner_, radiusOuter_);
    const CGFloat outer = std::max(radiusInner_, radiusOuter_);
    auto ring = [&](double fraction) {
        const double start = -std::numbers::pi / 2;
        const double end = start + 2 * std::numbers::pi * fraction;
        CGPath path;
        path.addArc(centre, outer, start, end, false);
        path.addArc(centre, inner, end, start, true);
        path.closeSubpath();
        context->addPath(path);
        context->fillPath();
    };
    context->setFillColorWithColor(foregroundColor_.colorWithAlphaComponent(0.2).CGColor());
    ring(1);
    if (progress_ > 0) {
        context->setFillColorWithColor(foregroundColor_.CGColor());
        ring(progress_);
    }
}
