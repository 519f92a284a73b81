#pragma once

#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"

// Stripes of rowHeight points over the background colour, every second one
// filled with the alternate colour, separated by lines in the separator colour.
class ZELPatternedCollectionViewBackground : public UIView {
  public:
    explicit ZELPatternedCollectionViewBackground(const CGRect& frame = CGRectZero);

    CGFloat rowHeight() const { return rowHeight_; }
    void setRowHeight(CGFloat height);
    const UIColor& alternateColor() const { return alternateColor_; }
    void setAlternateColor(const UIColor& color);
    const UIColor& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const UIColor& color);

    void drawRect(const CGRect& rect) override;

  private:
    CGFloat rowHeight_ = 44;
    UIColor alternateColor_ = UIColor::colorWithWhiteAlpha(0.96, 1);
    UIColor separatorColor_ = UIColor::colorWithWhiteAlpha(0.85, 1);
};
