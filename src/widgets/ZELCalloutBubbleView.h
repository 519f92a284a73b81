#pragma once

#include <memory>

#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"

class UILabel;

// A callout bubble: a title over a subtitle in a rounded body (corner
// radius 4) with an arrow towards the layer's anchor point when that lies
// outside the body.
class ZELCalloutBubbleView : public UIView {
  public:
    explicit ZELCalloutBubbleView(const CGRect& frame = CGRectZero);

    // Made on first use.
    const std::shared_ptr<UILabel>& labelTitle();
    const std::shared_ptr<UILabel>& labelSubtitle();

    // The body's fill, white unless set (a dark body for light text).
    const UIColor& bodyColor() const { return bodyColor_; }
    void setBodyColor(const UIColor& color) {
        bodyColor_ = color;
        setNeedsDisplay();
    }

    // The width min(given width, wider label + 20), the height both labels + 10.
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;

  private:
    static constexpr CGFloat kArrowHeight = 8;
    std::shared_ptr<UILabel> title_;
    std::shared_ptr<UILabel> subtitle_;
    UIColor bodyColor_ = UIColor::whiteColor();
};
