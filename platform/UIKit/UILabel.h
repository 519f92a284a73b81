#pragma once

#include <optional>
#include <string>

#include "UIKit/NSStringDrawing.h"
#include "UIKit/UIView.h"

// Read-only text: one or more lines, aligned, truncated by the line break
// mode, optionally shrunk (down to minimumScaleFactor) to fit one line's
// width. The text is centred vertically in the bounds.
class UILabel : public UIView {
  public:
    explicit UILabel(const CGRect& frame = CGRectZero);

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    const UIFontRef& font() const { return font_; }
    void setFont(UIFontRef font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    const std::optional<UIColor>& highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(const std::optional<UIColor>& color);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool flag);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool flag);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode mode);
    // 0: as many as needed.
    size_t numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(size_t lines);
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool flag);
    CGFloat minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(CGFloat factor);
    const std::optional<UIColor>& shadowColor() const { return shadowColor_; }
    void setShadowColor(const std::optional<UIColor>& color);
    CGSize shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(CGSize offset);
    // Width at which multi-line labels wrap in sizeToFit (0: the bounds').
    CGFloat preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
    void setPreferredMaxLayoutWidth(CGFloat width) { preferredMaxLayoutWidth_ = width; }

    // The font used for drawing at the current width (shrunk when allowed).
    UIFontRef fontForDrawing() const;

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;
    std::vector<UIVisibleText> visibleTexts() const override;
    // The rectangle the text occupies within bounds for the given line limit.
    virtual CGRect textRectForBoundsLimitedToNumberOfLines(const CGRect& bounds,
                                                           size_t lines) const;
    virtual void drawTextInRect(const CGRect& rect);

  private:
    NSStringDrawingAttributes attributes(const UIFontRef& font) const;

    std::string text_;
    UIFontRef font_;
    UIColor textColor_ = UIColor::blackColor();
    std::optional<UIColor> highlightedTextColor_;
    std::optional<UIColor> shadowColor_;
    CGSize shadowOffset_{0, -1};
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    NSLineBreakMode lineBreakMode_ = NSLineBreakByTruncatingTail;
    size_t numberOfLines_ = 1;
    bool adjustsFontSize_ = false;
    CGFloat minimumScaleFactor_ = 0;
    CGFloat preferredMaxLayoutWidth_ = 0;
    bool highlighted_ = false;
    bool enabled_ = true;
};
