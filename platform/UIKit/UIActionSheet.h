#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIPopoverController.h"
#include "UIKit/UIView.h"

class UIActionSheet;
class UIBarButtonItem;

// What an action sheet tells its delegate; every method is optional.
class UIActionSheetDelegate {
  public:
    virtual ~UIActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(UIActionSheet&, long) {}
    virtual void actionSheetCancel(UIActionSheet&) {}
    virtual void willPresentActionSheet(UIActionSheet&) {}
    virtual void didPresentActionSheet(UIActionSheet&) {}
    virtual void actionSheetWillDismissWithButtonIndex(UIActionSheet&, long) {}
    virtual void actionSheetDidDismissWithButtonIndex(UIActionSheet&, long) {}
};

// A choice of actions. The buttons are numbered as added: the destructive
// button first, then the others, then the cancel button. On the phone the
// sheet rises from the bottom of the window over a dimmed screen: the title
// and the buttons in one rounded group (the destructive one in red), the
// cancel button in its own group below; a tap on the dimmed screen does
// nothing. On the pad it shows in a popover pointing at the rect or bar
// item (from a view: at its centre) without the cancel button; a tap outside
// picks the cancel button. A tap on a button tells the delegate and
// dismisses. The sheet keeps itself alive while shown.
class UIActionSheet : public UIView, public UIPopoverControllerDelegate {
  public:
    UIActionSheet(const std::optional<std::string>& title,
                  std::weak_ptr<UIActionSheetDelegate> delegate,
                  const std::optional<std::string>& cancelButtonTitle,
                  const std::optional<std::string>& destructiveButtonTitle,
                  const std::vector<std::string>& otherButtonTitles = {});

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(const std::optional<std::string>& title) { title_ = title; }
    std::shared_ptr<UIActionSheetDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIActionSheetDelegate> d) { delegate_ = std::move(d); }

    long addButtonWithTitle(const std::string& title);
    long numberOfButtons() const { return long(buttonTitles_.size()); }
    // Empty for an index out of range.
    std::string buttonTitleAtIndex(long index) const;
    long cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(long index) { cancelIndex_ = index; }
    long destructiveButtonIndex() const { return destructiveIndex_; }
    void setDestructiveButtonIndex(long index) { destructiveIndex_ = index; }
    // -1 without other buttons.
    long firstOtherButtonIndex() const;
    bool isVisible() const { return visible_; }

    void showInView(const std::shared_ptr<UIView>& view);
    // From a toolbar or tab bar: on the pad pointing at the bar.
    void showFromToolbar(const std::shared_ptr<UIView>& bar);
    void showFromTabBar(const std::shared_ptr<UIView>& bar) { showFromToolbar(bar); }
    void showFromBarButtonItemAnimated(const std::shared_ptr<UIBarButtonItem>& item, bool animated);
    void showFromRectInViewAnimated(const CGRect& rect, const std::shared_ptr<UIView>& view,
                                    bool animated);
    void dismissWithClickedButtonIndexAnimated(long index, bool animated);

    // The button views while shown, by button index; nullptr for a button
    // not shown (the cancel button on the pad).
    const std::vector<std::shared_ptr<UIButton>>& buttons() const { return buttons_; }

    void layoutSubviews() override;
    bool popoverControllerShouldDismissPopover(UIPopoverController&) override;

  private:
    // Makes the views; inPopover leaves the cancel button and the dimming out.
    void build(bool inPopover);
    bool willPresent();
    void didPresent();
    // The height of the group of buttons and title at width.
    CGFloat groupHeight(CGFloat width) const;

    std::optional<std::string> title_;
    std::weak_ptr<UIActionSheetDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    long cancelIndex_ = -1;
    long destructiveIndex_ = -1;
    bool visible_ = false;
    bool inPopover_ = false;
    std::shared_ptr<UIView> group_;
    std::shared_ptr<UIView> cancelGroup_;
    std::shared_ptr<UILabel> titleLabel_;
    std::vector<std::shared_ptr<UIButton>> buttons_;
    std::vector<std::shared_ptr<UIView>> separators_;
    std::shared_ptr<UIPopoverController> popover_;
    std::shared_ptr<UIView> keepAlive_;
};
