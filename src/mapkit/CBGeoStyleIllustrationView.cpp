#include "mapkit/CBGeoStyleIllustrationView.h"

#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIGraphics.h"
#include "mapkit/CBDrawPathWithStyle.h"

void CBGeoStyleIllustrationView::drawRect(const CGRect& rect) {
    UIView::drawRect(rect);
    auto context = UIGraphicsGetCurrentContext();
    if (!context || !style_)
        return;
    CGRect box = bounds();
    CGPath path;
    if (!style_->fillColor()) {
        CGFloat middle = std::round(box.size.height / 2);
        path.moveToPoint(CGPointMake(0, middle));
        path.addLineToPoint(CGPointMake(box.size.width, middle));
    } else {
        path.addRect(box);
    }
    CBDrawPathWithStyle(path, *context, *style_, 1.0);
}
