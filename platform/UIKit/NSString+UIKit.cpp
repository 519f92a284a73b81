#include "UIKit/NSString+UIKit.h"

#include <cmath>

#include "UIKit/UIGraphics.h"
#include "UIKit/UITextLayout.h"

namespace {

NSStringDrawingAttributes fontAttributes(const UIFontRef& font,
                                         NSLineBreakMode mode = NSLineBreakByWordWrapping,
                                         NSTextAlignment alignment = NSTextAlignmentNatural) {
    NSStringDrawingAttributes a;
    a.font = font;
    a.lineBreakMode = mode;
    a.alignment = alignment;
    a.colorFromContext = true;
    return a;
}

CGSize ceilSize(CGSize s) {
    return {std::ceil(s.width), std::ceil(s.height)};
}

CGFloat limit(CGFloat value) {
    return value > 0 && value < 1e7 ? value : UITextLayout::kUnlimited;
}

}  // namespace

CGSize sizeWithFont(const std::string& text, const UIFontRef& font) {
    return ceilSize(UITextLayout(text, fontAttributes(font), UITextLayout::kUnlimited, 1).size());
}

CGSize sizeWithFontForWidthLineBreakMode(const std::string& text, const UIFontRef& font,
                                         CGFloat width, NSLineBreakMode mode) {
    CGSize s = UITextLayout(text, fontAttributes(font, mode), limit(width), 1).size();
    s.width = std::min(s.width, width);
    return ceilSize(s);
}

CGSize sizeWithFontConstrainedToSize(const std::string& text, const UIFontRef& font, CGSize size) {
    return sizeWithFontConstrainedToSizeLineBreakMode(text, font, size, NSLineBreakByWordWrapping);
}

CGSize sizeWithFontConstrainedToSizeLineBreakMode(const std::string& text, const UIFontRef& font,
                                                  CGSize size, NSLineBreakMode mode) {
    return ceilSize(
        UITextLayout(text, fontAttributes(font, mode), limit(size.width), 0, limit(size.height))
            .size());
}

CGSize sizeWithAttributes(const std::string& text, const NSStringDrawingAttributes& attributes) {
    return UITextLayout(text, attributes, UITextLayout::kUnlimited, 1).size();
}

CGRect boundingRectWithSizeOptionsAttributes(const std::string& text, CGSize size, unsigned options,
                                             const NSStringDrawingAttributes& attributes) {
    const bool wraps = options & NSStringDrawingUsesLineFragmentOrigin;
    const CGSize s = UITextLayout(text, attributes, limit(size.width), wraps ? 0 : 1,
                                  wraps ? limit(size.height) : UITextLayout::kUnlimited)
                         .size();
    return {CGPointZero, s};
}

CGSize drawAtPointWithFont(const std::string& text, CGPoint point, const UIFontRef& font) {
    UITextLayout layout(text, fontAttributes(font), UITextLayout::kUnlimited, 1);
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        layout.drawInRect(*context, {point, layout.size()});
    }
    return ceilSize(layout.size());
}

CGSize drawAtPointForWidthWithFontLineBreakMode(const std::string& text, CGPoint point,
                                                CGFloat width, const UIFontRef& font,
                                                NSLineBreakMode mode) {
    UITextLayout layout(text, fontAttributes(font, mode), limit(width), 1);
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        context->saveGState();
        context->clipToRect({point, {width, layout.size().height}});
        layout.drawInRect(*context, {point, {width, layout.size().height}});
        context->restoreGState();
    }
    return ceilSize(layout.size());
}

CGSize drawInRectWithFont(const std::string& text, const CGRect& rect, const UIFontRef& font) {
    return drawInRectWithFontLineBreakModeAlignment(text, rect, font, NSLineBreakByWordWrapping,
                                                    NSTextAlignmentLeft);
}

CGSize drawInRectWithFontLineBreakModeAlignment(const std::string& text, const CGRect& rect,
                                                const UIFontRef& font, NSLineBreakMode mode,
                                                NSTextAlignment alignment) {
    UITextLayout layout(text, fontAttributes(font, mode, alignment), limit(rect.size.width), 0,
                        limit(rect.size.height));
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        layout.drawInRect(*context, rect);
    }
    return ceilSize(layout.size());
}

void drawAtPointWithAttributes(const std::string& text, CGPoint point,
                               const NSStringDrawingAttributes& attributes) {
    UITextLayout layout(text, attributes, UITextLayout::kUnlimited, 1);
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        layout.drawInRect(*context, {point, layout.size()});
    }
}

void drawInRectWithAttributes(const std::string& text, const CGRect& rect,
                              const NSStringDrawingAttributes& attributes) {
    UITextLayout layout(text, attributes, limit(rect.size.width), 0, limit(rect.size.height));
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        layout.drawInRect(*context, rect);
    }
}
