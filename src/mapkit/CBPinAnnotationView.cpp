#include "mapkit/CBPinAnnotationView.h"

#include "UIKit/UIGraphics.h"

CBPinAnnotationView::CBPinAnnotationView(CBAnnotationRef annotation,
                                         std::optional<std::string> reuseIdentifier)
    : CBAnnotationView(std::move(annotation), std::move(reuseIdentifier)),
      headColor_(defaultHeadColor()) {
    setFrame(CGRectMake(0, 0, 45, 40));
    // The anchor becomes the middle of the bottom edge: the foot stands on the point.
    setCenterOffset(CGPointMake(0, -20));
    setCanShowCallout(true);
    setHotSpotOffset(CGPointMake(0, 15));
    setCalloutOffset(CGPointMake(0, -9));
}

UIColor CBPinAnnotationView::defaultHeadColor() {
    return UIColor::colorWithRedGreenBlueAlpha(0.108, 0.827, 0.055, 1.0);
}

void CBPinAnnotationView::setHeadColor(const std::optional<UIColor>& color) {
    UIColor next = color.value_or(defaultHeadColor());
    if (next.CGColor() == headColor_.CGColor())
        return;
    headColor_ = next;
    setNeedsDisplay();
}

void CBPinAnnotationView::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c)
        return;
    // The shadow's outline lies left of the view; only its shadow, cast 40
    // points to the right, falls on the needle's foot.
    c->saveGState();
    c->setShadowWithColor(CGSizeMake(40, 0), 4, UIColor::colorWithWhiteAlpha(0, 0.274).CGColor());
    c->setGrayFillColor(0.667, 1);
    c->setMiterLimit(4);
    c->beginPath();
    c->moveToPoint(-0.78, 16.84);
    c->addCurveToPoint(1.02, 19.17, -0.64, 22.83, -4.48, 25.01);
    c->addCurveToPoint(-6.21, 25.99, -8.09, 26.5, -9.79, 26.56);
    c->addLineToPoint(-15.24, 38.57);
    c->addCurveToPoint(-15.35, 38.82, -15.69, 39.01, -16.0, 39.0);
    c->addCurveToPoint(-16.31, 38.99, -16.47, 38.78, -16.35, 38.54);
    c->addLineToPoint(-10.91, 26.52);
    c->addCurveToPoint(-12.52, 26.38, -13.89, 25.77, -14.7, 24.73);
    c->addCurveToPoint(-16.5, 22.39, -14.84, 18.73, -10.99, 16.56);
    c->addCurveToPoint(-7.15, 14.38, -2.58, 14.5, -0.78, 16.84);
    c->closePath();
    c->fillPath();
    c->restoreGState();

    auto rounded = [&](CGRect r, CGFloat radius) {
        CGPath path;
        path.addRoundedRect(r, radius, radius);
        c->beginPath();
        c->addPath(path);
        c->fillPath();
    };
    c->setGrayFillColor(0, 0.808);
    c->fillEllipseInRect(CGRectMake(21.5, 38, 3, 2));
    c->setGrayFillColor(0.5, 1);
    rounded(CGRectMake(22, 10, 2, 29), 1);
    c->setGrayFillColor(0.667, 1);
    rounded(CGRectMake(22.5, 10, 1, 29), 0.5);
    c->setGrayFillColor(0.167, 1);
    rounded(CGRectMake(22, 15, 2, 3), 1);
    c->setFillColorWithColor(headColor_.CGColor());
    c->fillEllipseInRect(CGRectMake(16.5, 4, 13, 13));
    c->setGrayFillColor(1, 1);
    c->fillEllipseInRect(CGRectMake(19, 6.5, 3.5, 3.5));
}
