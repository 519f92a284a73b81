#include "widgets/ZELPatternedCollectionViewBackground.h"

#include <cmath>

#include "UIKit/UIGraphics.h"

ZELPatternedCollectionViewBackground::ZELPatternedCollectionViewBackground(const CGRect& frame)
    : UIView(frame) {
    setBackgroundColor(UIColor::whiteColor());
}

void ZELPatternedCollectionViewBackground::setRowHeight(CGFloat height) {
    if (height > 0) {
        rowHeight_ = height;
        setNeedsDisplay();
    }
}

void ZELPatternedCollectionViewBackground::setAlternateColor(const UIColor& color) {
    alternateColor_ = color;
    setNeedsDisplay();
}

void ZELPatternedCollectionViewBackground::setSeparatorColor(const UIColor& color) {
    separatorColor_ = color;
    setNeedsDisplay();
}

void ZELPatternedCollectionViewBackground::drawRect(const CGRect& rect) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGFloat width = bounds().size.width;
    const long first = long(std::floor(rect.origin.y / rowHeight_));
    const long last = long(std::ceil(CGRectGetMaxY(rect) / rowHeight_));
    for (long row = std::max(0L, first); row <= last; ++row) {
        const CGFloat top = CGFloat(row) * rowHeight_;
        if (row % 2) {
            context->setFillColorWithColor(alternateColor_.CGColor());
            context->fillRect(CGRectMake(0, top, width, rowHeight_));
        }
        context->setFillColorWithColor(separatorColor_.CGColor());
        context->fillRect(CGRectMake(0, top + rowHeight_ - 0.5, width, 0.5));
    }
}
