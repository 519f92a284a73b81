#pragma once

#include "UIKit/UIGeometry.h"
#include "UIKit/UILabel.h"

// A label that draws its text inside an inset of its bounds.
class CBLabelWithInset : public UILabel {
  public:
    explicit CBLabelWithInset(const CGRect& frame = CGRectZero) : UILabel(frame) {}
    const UIEdgeInsets& contentInset() const { return contentInset_; }
    void setContentInset(const UIEdgeInsets& inset);
    void drawTextInRect(const CGRect& rect) override;
    CGSize sizeThatFits(CGSize size) const override;

  private:
    UIEdgeInsets contentInset_{0, 0, 0, 0};
};
