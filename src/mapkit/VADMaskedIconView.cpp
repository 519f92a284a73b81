#include "mapkit/VADMaskedIconView.h"

#include "Foundation/NSLog.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "mapkit/VADStyleTrait.h"

VADMaskedIconView::VADMaskedIconView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    setContentMode(UIViewContentModeRedraw);
}

void VADMaskedIconView::configureWithImageSize(const std::shared_ptr<UIImage>& image, CGSize size) {
    image_ = image;
    size_ = (size.width > 0 && size.height > 0) || !image ? size : image->size();
    CGRect f = frame();
    setFrame(CGRect{f.origin, size_});
    setNeedsDisplay();
}

void VADMaskedIconView::setTrait(const VADStyleTrait& trait) {
    if (trait.styleProtocol() != VADStyleTrait::kMaskedIconStyle) {
        NSLogWithLevel(NSLogLevel::Warning,
                       "Attempting to mix object %p of incompatible protocol %s into object %p "
                       "of protocol %s.",
                       static_cast<const void*>(&trait), trait.styleProtocol().c_str(),
                       static_cast<const void*>(this), VADStyleTrait::kMaskedIconStyle);
        return;
    }
    color_ = trait.color();
    highlightedColor_ = trait.highlightedColor();
    setNeedsDisplay();
}

void VADMaskedIconView::setHighlighted(bool flag) {
    if (flag == highlighted_)
        return;
    highlighted_ = flag;
    setNeedsDisplay();
}

CGSize VADMaskedIconView::sizeThatFits(CGSize) const {
    return size_;
}

void VADMaskedIconView::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    const auto& paint = highlighted_ ? highlightedColor_ : color_;
    if (!c || !image_ || !image_->CGImage() || !paint)
        return;
    CGRect b = bounds();
    c->saveGState();
    // Images stand upright in a y-down context only when flipped about the rect.
    c->translateCTM(0, b.origin.y * 2 + b.size.height);
    c->scaleCTM(1, -1);
    c->clipToMask(b, *image_->CGImage());
    c->setFillColorWithColor(paint->CGColor());
    c->fillRect(b);
    c->restoreGState();
}
