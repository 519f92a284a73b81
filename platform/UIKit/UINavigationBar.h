#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UIBarStyle.h"
#include "UIKit/UIView.h"

class UIBarButtonItem;
class UIButton;
class UILabel;
class UINavigationBar;
class UINavigationItem;

// Asked before the back button pops the top item; a navigation controller
// answers by popping its top controller itself.
class UINavigationBarDelegate {
  public:
    virtual ~UINavigationBarDelegate() = default;
    virtual bool navigationBarShouldPopItem(UINavigationBar&, UINavigationItem&) { return true; }
};

// The bar over a navigation stack: shows the top item's title (or title
// view) between its left and right buttons; without a left button, a back
// button titled after the item below pops the top item. Buttons take the
// bar's tint colour, the background its bar tint colour or style. Each part
// keeps its own width while the bar has room. When it has not, long titles
// shorten by one rule: the back button first says "Back" instead of the
// title below, then shows its chevron alone; then the title gives up its
// end (down to a third of the bar), then the buttons. Words are never cut
// in the back button, so it never shows a few letters of a title. A button
// narrower than a finger (the back button's chevron alone) still takes a
// touch within kMinimumTapWidth of its outer edge, where nothing else of the
// bar takes it.
class UINavigationBar : public UIView {
  public:
    static constexpr CGFloat kHeight = 44;
    static constexpr CGFloat kMinimumTapWidth = 44;

    explicit UINavigationBar(const CGRect& frame = CGRectZero);

    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(const std::optional<UIColor>& color);
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool flag);

    void setDelegate(std::weak_ptr<UINavigationBarDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    const std::vector<std::shared_ptr<UINavigationItem>>& items() const { return items_; }
    void setItemsAnimated(std::vector<std::shared_ptr<UINavigationItem>> items, bool animated);
    void pushNavigationItemAnimated(const std::shared_ptr<UINavigationItem>& item, bool animated);
    std::shared_ptr<UINavigationItem> popNavigationItemAnimated(bool animated);
    std::shared_ptr<UINavigationItem> topItem() const;
    std::shared_ptr<UINavigationItem> backItem() const;

    // Called by items when what they show changes.
    void itemsDidChange();
    // The back button's tap: pops unless the delegate says no.
    void tapBackButton();

    // The button standing for a bar item (left, right or back); nullptr when
    // none is shown. For tests and for callers that anchor popovers.
    std::shared_ptr<UIView> leftView() const { return leftView_; }
    std::shared_ptr<UIView> rightView() const { return rightView_; }
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }

    CGSize sizeThatFits(CGSize size) const override;
    std::shared_ptr<UIView> hitTest(CGPoint point, UIEvent* event) override;
    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;

  private:
    // A part of the bar with the width it asks for: what it had when it was
    // put in the bar, or what its owner gave it since.
    struct Part {
        std::shared_ptr<UIView> view;
        CGFloat natural = 0;
        CGFloat assigned = -1;
        void take(const std::shared_ptr<UIView>& newView, const Part& old);
        CGFloat width();
    };

    void rebuild();
    std::shared_ptr<UIView> backButton();
    void showBackForm(UIButton& button, size_t form);
    UIColor titleColor() const;

    UIBarStyle barStyle_ = UIBarStyleDefault;
    std::optional<UIColor> barTintColor_;
    bool translucent_ = true;
    std::weak_ptr<UINavigationBarDelegate> delegate_;
    std::vector<std::shared_ptr<UINavigationItem>> items_;
    std::shared_ptr<UIView> leftView_;
    std::shared_ptr<UIView> rightView_;
    std::shared_ptr<UIView> titleView_;
    std::shared_ptr<UILabel> titleLabel_;
    bool leftIsBackButton_ = false;
    // The back button's forms from the longest, with their widths; the
    // one shown is chosen at each layout.
    struct BackForm {
        std::string title;
        std::string label;
        CGFloat width;
    };
    std::vector<BackForm> backForms_;
    size_t backForm_ = 0;
    Part left_;
    Part right_;
    Part title_;
};
