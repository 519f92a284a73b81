#include "UIKit/UILabel.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIGraphics.h"
#include "UIKit/UITextLayout.h"

UILabel::UILabel(const CGRect& frame) : UIView(frame), font_(UIFont::systemFontOfSize(17)) {
    setUserInteractionEnabled(false);
    setContentMode(UIViewContentModeRedraw);
}

void UILabel::setText(const std::string& text) {
    if (text_ != text) {
        text_ = text;
        setNeedsDisplay();
    }
}

void UILabel::setFont(UIFontRef font) {
    font_ = font ? std::move(font) : UIFont::systemFontOfSize(17);
    setNeedsDisplay();
}

void UILabel::setTextColor(const UIColor& color) {
    textColor_ = color;
    setNeedsDisplay();
}

void UILabel::setHighlightedTextColor(const std::optional<UIColor>& color) {
    highlightedTextColor_ = color;
    setNeedsDisplay();
}

void UILabel::setHighlighted(bool flag) {
    highlighted_ = flag;
    setNeedsDisplay();
}

void UILabel::setEnabled(bool flag) {
    enabled_ = flag;
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode) {
    lineBreakMode_ = mode;
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(size_t lines) {
    numberOfLines_ = lines;
    setNeedsDisplay();
}

void UILabel::setAdjustsFontSizeToFitWidth(bool flag) {
    adjustsFontSize_ = flag;
    setNeedsDisplay();
}

void UILabel::setMinimumScaleFactor(CGFloat factor) {
    minimumScaleFactor_ = std::clamp(factor, 0.0, 1.0);
    setNeedsDisplay();
}

void UILabel::setShadowColor(const std::optional<UIColor>& color) {
    shadowColor_ = color;
    setNeedsDisplay();
}

void UILabel::setShadowOffset(CGSize offset) {
    shadowOffset_ = offset;
    setNeedsDisplay();
}

NSStringDrawingAttributes UILabel::attributes(const UIFontRef& font) const {
    NSStringDrawingAttributes a;
    a.font = font;
    UIColor color = highlighted_ && highlightedTextColor_ ? *highlightedTextColor_ : textColor_;
    if (!enabled_) {
        color = color.colorWithAlphaComponent(color.alpha() * 0.5);
    }
    a.foregroundColor = color;
    a.alignment = alignment_;
    a.lineBreakMode = lineBreakMode_;
    return a;
}

UIFontRef UILabel::fontForDrawing() const {
    const CGFloat width = bounds().size.width;
    if (!adjustsFontSize_ || numberOfLines_ != 1 || text_.empty() || width <= 0) {
        return font_;
    }
    NSStringDrawingAttributes a = attributes(font_);
    const CGFloat natural = UITextLayout(text_, a, UITextLayout::kUnlimited, 1).size().width;
    if (natural <= width) {
        return font_;
    }
    // The largest size, in half points, that fits; not below the minimum.
    const CGFloat minimum = font_->pointSize() * std::max(minimumScaleFactor_, 0.01);
    CGFloat size = std::floor(font_->pointSize() * width / natural * 2) / 2;
    UIFontRef font = font_->fontWithSize(std::max(size, minimum));
    while (size > minimum) {
        a.font = font;
        if (UITextLayout(text_, a, UITextLayout::kUnlimited, 1).size().width <= width) {
            break;
        }
        size -= 0.5;
        font = font_->fontWithSize(std::max(size, minimum));
    }
    return font;
}

CGRect UILabel::textRectForBoundsLimitedToNumberOfLines(const CGRect& bounds, size_t lines) const {
    UITextLayout layout(text_, attributes(fontForDrawing()), bounds.size.width, lines,
                        bounds.size.height);
    CGSize s = layout.size();
    s.width = std::min(s.width, bounds.size.width);
    return {bounds.origin, {std::ceil(s.width), std::ceil(s.height)}};
}

CGSize UILabel::sizeThatFits(CGSize size) const {
    CGFloat width = UITextLayout::kUnlimited;
    if (numberOfLines_ != 1) {
        width = preferredMaxLayoutWidth_ > 0 ? preferredMaxLayoutWidth_
                                             : (size.width > 0 ? size.width : bounds().size.width);
        if (width <= 0) {
            width = UITextLayout::kUnlimited;
        }
    }
    const CGSize s = UITextLayout(text_, attributes(font_), width, numberOfLines_).size();
    return {std::ceil(s.width), std::ceil(s.height)};
}

void UILabel::drawRect(const CGRect&) {
    drawTextInRect(bounds());
}

void UILabel::drawTextInRect(const CGRect& rect) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context || text_.empty()) {
        return;
    }
    const UIFontRef font = fontForDrawing();
    NSStringDrawingAttributes a = attributes(font);
    UITextLayout layout(text_, a, rect.size.width, numberOfLines_, rect.size.height);
    // Centred vertically, as labels are.
    const CGFloat y = rect.origin.y + std::floor((rect.size.height - layout.size().height) / 2);
    const CGRect textRect = CGRectMake(rect.origin.x, y, rect.size.width, layout.size().height);
    if (shadowColor_) {
        NSStringDrawingAttributes shadow = a;
        shadow.foregroundColor = shadowColor_;
        UITextLayout(text_, shadow, rect.size.width, numberOfLines_, rect.size.height)
            .drawInRect(*context,
                        CGRectOffset(textRect, shadowOffset_.width, shadowOffset_.height));
    }
    layout.drawInRect(*context, textRect);
}

std::vector<UIVisibleText> UILabel::visibleTexts() const {
    if (text_.empty()) {
        return UIView::visibleTexts();
    }
    return {{text_, textRectForBoundsLimitedToNumberOfLines(bounds(), numberOfLines_)}};
}
