#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "UIKit/UIBarStyle.h"
#include "UIKit/UIView.h"

class UIBarButtonItem;

// A bar of buttons along the bottom of a screen. Items stand left to right
// from the margin with a gap between neighbouring buttons; a fixed space
// takes its width, and flexible spaces share what is left of the bar's width
// equally (none left: they shrink to nothing). Buttons are the items' views
// (UIBarButtonItem::makeView), so they take the bar's tint colour.
class UIToolbar : public UIView {
  public:
    static constexpr CGFloat kHeight = 44;

    explicit UIToolbar(const CGRect& frame = CGRectZero);

    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(const std::optional<UIColor>& color);
    // A translucent bar (the default) shows what lies behind it blurred.
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool flag);

    const std::vector<std::shared_ptr<UIBarButtonItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UIBarButtonItem>> items) {
        setItemsAnimated(std::move(items), false);
    }
    // Animated, the new buttons fade in.
    void setItemsAnimated(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated);

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;

  private:
    UIBarStyle barStyle_ = UIBarStyleDefault;
    std::optional<UIColor> barTintColor_;
    bool translucent_ = true;
    std::vector<std::shared_ptr<UIBarButtonItem>> items_;
    // One per item; nullptr for spaces.
    std::vector<std::shared_ptr<UIView>> views_;
};
