#pragma once

#include "UIKit/UIButton.h"
#include "UIKit/UIColor.h"

// A rounded button with a vertical gradient background in one of six
// styles: 1 light grey, 2 blue (the normal action), 3 red (a destructive
// action), and 101 to 103 the same hues for dark backgrounds. An unknown
// style draws as style 1. Disabled, the gradient fades and the title dims,
// so a button that does nothing never looks like one that acts.
class ZELRoundedGradientButton : public UIButton {
  public:
    ZELRoundedGradientButton(const CGRect& frame, long style);

    long gradientButtonStyle() const { return style_; }
    // Recomputes the gradient and the text colours.
    void setGradientButtonStyle(long style);
    const UIColor& topColor() const { return top_; }
    const UIColor& bottomColor() const { return bottom_; }

    void drawRect(const CGRect& rect) override;

  protected:
    void stateDidChange() override;

  private:
    long style_ = 1;
    UIColor top_, bottom_, border_;
};
