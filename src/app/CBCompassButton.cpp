#include "app/CBCompassButton.h"

#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIGraphics.h"

CBCompassButton::CBCompassButton() : UIControl(CGRectMake(0, 0, kSize, kSize)) {
    setBackgroundColor(UIColor::clearColor());
    setAccessibilityLabel(NSLocalizedString("NorthUp"));
}

void CBCompassButton::setMapRotation(float angle) {
    if (angle == mapRotation_)
        return;
    mapRotation_ = angle;
    setNeedsDisplay();
}

void CBCompassButton::drawRect(const CGRect&) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    const CGRect b = bounds();
    const CGFloat cx = b.size.width / 2;
    const CGFloat cy = b.size.height / 2;
    const CGFloat radius = std::min(cx, cy) - 1;
    context->setGrayFillColor(isHighlighted() ? 0.85 : 1.0, 0.95);
    context->fillEllipseInRect(CGRectMake(cx - radius, cy - radius, radius * 2, radius * 2));
    context->setGrayStrokeColor(0.6, 1);
    context->setLineWidth(1);
    context->strokeEllipseInRect(CGRectMake(cx - radius, cy - radius, radius * 2, radius * 2));

    // The needle turns against the map: north on screen lies at -rotation.
    context->saveGState();
    context->translateCTM(cx, cy);
    context->rotateCTM(-mapRotation_);
    const CGFloat length = radius * 0.78;
    const CGFloat half = radius * 0.26;
    context->setRGBFillColor(0.86, 0.16, 0.14, 1);
    context->beginPath();
    context->moveToPoint(0, -length);
    context->addLineToPoint(half, 0);
    context->addLineToPoint(-half, 0);
    context->closePath();
    context->fillPath();
    context->setGrayFillColor(0.55, 1);
    context->beginPath();
    context->moveToPoint(0, length);
    context->addLineToPoint(half, 0);
    context->addLineToPoint(-half, 0);
    context->closePath();
    context->fillPath();
    context->restoreGState();
}
