#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "UIKit/UIBarStyle.h"
#include "UIKit/UIView.h"

class UITabBar;
class UITabBarItem;

class UITabBarDelegate {
  public:
    virtual ~UITabBarDelegate() = default;
    virtual void tabBarDidSelectItem(UITabBar&, UITabBarItem&) {}
};

// The row of tabs along the bottom of a tab bar controller. It draws its
// items itself: equal slots across the bar (at most 110 points wide, centred
// on wide screens), each an image over a title, the selected one in the
// tint colour, and a red badge with the item's badge value. A tap on an
// enabled item selects it and tells the delegate.
class UITabBar : public UIView {
  public:
    static constexpr CGFloat kHeight = 49;

    explicit UITabBar(const CGRect& frame = CGRectZero);

    const std::vector<std::shared_ptr<UITabBarItem>>& items() const { return items_; }
    // The selection stays when its item remains, else none.
    void setItems(std::vector<std::shared_ptr<UITabBarItem>> items);
    const std::shared_ptr<UITabBarItem>& selectedItem() const { return selected_; }
    // Selecting in code tells the delegate nothing.
    void setSelectedItem(const std::shared_ptr<UITabBarItem>& item);
    void setDelegate(std::weak_ptr<UITabBarDelegate> delegate) { delegate_ = std::move(delegate); }

    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(const std::optional<UIColor>& color);

    // The slot of an item in bounds coordinates; CGRectZero when absent.
    CGRect rectForItem(const UITabBarItem& item) const;

    std::vector<UIVisibleText> visibleTexts() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;
    void tintColorDidChange() override { setNeedsDisplay(); }
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  private:
    CGRect slot(size_t index) const;
    // The item under a point; -1 for none.
    long itemAt(CGPoint point) const;
    CGRect titleRect(size_t index) const;
    CGRect badgeRect(size_t index) const;

    std::vector<std::shared_ptr<UITabBarItem>> items_;
    std::shared_ptr<UITabBarItem> selected_;
    std::weak_ptr<UITabBarDelegate> delegate_;
    UIBarStyle barStyle_ = UIBarStyleDefault;
    std::optional<UIColor> barTintColor_;
    long touchedItem_ = -1;
};
