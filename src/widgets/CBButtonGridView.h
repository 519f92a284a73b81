#pragma once

#include <memory>
#include <vector>

#include "UIKit/UIView.h"

class UIButton;

// Buttons in rows that fill the width with 10-point margins, as many per
// row as fit at the minimum width (200 points), each keeping its height.
class CBButtonGridView : public UIView {
  public:
    static constexpr CGFloat kMinimumButtonWidth = 200;
    static constexpr CGFloat kMargin = 10;

    explicit CBButtonGridView(const CGRect& frame = CGRectZero);
    void addButton(const std::shared_ptr<UIButton>& button);
    // The height the rows need at the view's width.
    CGFloat requiredHeight() const;
    void layoutSubviews() override;

  private:
    long buttonsPerRow() const;
    std::vector<std::shared_ptr<UIButton>> buttons_;
};
