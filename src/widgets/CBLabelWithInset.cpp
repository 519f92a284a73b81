#include "widgets/CBLabelWithInset.h"

void CBLabelWithInset::setContentInset(const UIEdgeInsets& inset) {
    contentInset_ = inset;
    setNeedsDisplay();
}

void CBLabelWithInset::drawTextInRect(const CGRect& rect) {
    UILabel::drawTextInRect(UIEdgeInsetsInsetRect(rect, contentInset_));
}

CGSize CBLabelWithInset::sizeThatFits(CGSize size) const {
    const CGFloat horizontal = contentInset_.left + contentInset_.right;
    const CGFloat vertical = contentInset_.top + contentInset_.bottom;
    const CGSize text = UILabel::sizeThatFits({size.width - horizontal, size.height - vertical});
    return {text.width + horizontal, text.height + vertical};
}
