#pragma once

#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"

// Progress as a ring between an inner and an outer radius around the view's
// centre, filled clockwise from the top in the foreground colour over a
// faint full ring.
class ZELCircularProgressView : public UIView {
  public:
    explicit ZELCircularProgressView(const CGRect& frame = CGRectZero);

    float progress() const { return progress_; }
    // Clamped to 0...1.
    void setProgress(float progress);
    const UIColor& foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(const UIColor& color);
    CGFloat radiusInner() const { return radiusInner_; }
    void setRadiusInner(CGFloat radius);
    CGFloat radiusOuter() const { return radiusOuter_; }
    void setRadiusOuter(CGFloat radius);

    void drawRect(const CGRect& rect) override;

  private:
    float progress_ = 0;
    UIColor foregroundColor_ = UIColor::colorWithRedGreenBlueAlpha(0, 0.48, 1, 1);
    CGFloat radiusInner_ = 8;
    CGFloat radiusOuter_ = 12;
};
