#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIView.h"

class UIAlertView;

// What an alert tells its delegate; every method is optional.
class UIAlertViewDelegate {
  public:
    virtual ~UIAlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(UIAlertView&, long) {}
    virtual void alertViewCancel(UIAlertView&) {}
    virtual void willPresentAlertView(UIAlertView&) {}
    virtual void didPresentAlertView(UIAlertView&) {}
    virtual void alertViewWillDismissWithButtonIndex(UIAlertView&, long) {}
    virtual void alertViewDidDismissWithButtonIndex(UIAlertView&, long) {}
};

// A modal message with buttons. show() covers the key window with a dimmed
// layer and a centred box holding the title, the message and the buttons
// (two side by side, otherwise stacked, the cancel button last); a tap on a
// button tells the delegate and dismisses. The window keeps the alert while
// it is shown.
class UIAlertView : public UIView {
  public:
    UIAlertView(const std::string& title, const std::string& message,
                std::weak_ptr<UIAlertViewDelegate> delegate,
                const std::optional<std::string>& cancelButtonTitle,
                const std::vector<std::string>& otherButtonTitles = {});

    const std::string& title() const { return title_; }
    // An alert on show takes a new title or message at once.
    void setTitle(const std::string& title);
    const std::string& message() const { return message_; }
    void setMessage(const std::string& message);
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIAlertViewDelegate> d) { delegate_ = std::move(d); }

    long addButtonWithTitle(const std::string& title);
    long numberOfButtons() const { return long(buttonTitles_.size()); }
    std::string buttonTitleAtIndex(long index) const;
    long cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(long index) { cancelIndex_ = index; }
    // The button of an action that destroys something, titled in red; -1
    // (the default) for none.
    long destructiveButtonIndex() const { return destructiveIndex_; }
    void setDestructiveButtonIndex(long index) { destructiveIndex_ = index; }
    // -1 without other buttons.
    long firstOtherButtonIndex() const;
    bool isVisible() const { return visible_; }

    void show();
    void dismissWithClickedButtonIndexAnimated(long index, bool animated);

    // The box the alert draws while shown; callers add their own content to
    // it (an activity indicator below a title and blank message lines).
    const std::shared_ptr<UIView>& contentView() const { return box_; }
    // The button views while shown (for tests and key handling).
    const std::vector<std::shared_ptr<UIButton>>& buttons() const { return buttons_; }

    void layoutSubviews() override;

  private:
    void build();

    std::string title_;
    std::string message_;
    std::weak_ptr<UIAlertViewDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    long cancelIndex_ = -1;
    long destructiveIndex_ = -1;
    bool visible_ = false;
    std::shared_ptr<UIView> box_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> messageLabel_;
    std::vector<std::shared_ptr<UIButton>> buttons_;
};
