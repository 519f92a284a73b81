#pragma once

#include <memory>
#include <string>

#include "Foundation/NSRange.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UITextField.h"

class UIButton;
class UISearchBar;

enum UISearchBarStyle : long {
    UISearchBarStyleDefault,
    UISearchBarStyleProminent,
    UISearchBarStyleMinimal,
};

// What a search bar asks and tells; every method is optional.
class UISearchBarDelegate {
  public:
    virtual ~UISearchBarDelegate() = default;
    virtual bool searchBarShouldBeginEditing(UISearchBar&) { return true; }
    virtual void searchBarTextDidBeginEditing(UISearchBar&) {}
    virtual bool searchBarShouldEndEditing(UISearchBar&) { return true; }
    virtual void searchBarTextDidEndEditing(UISearchBar&) {}
    virtual void searchBarTextDidChange(UISearchBar&, const std::string&) {}
    virtual bool searchBarShouldChangeTextInRange(UISearchBar&, NSRange, const std::string&) {
        return true;
    }
    virtual void searchBarSearchButtonClicked(UISearchBar&) {}
    virtual void searchBarCancelButtonClicked(UISearchBar&) {}
};

// A search field on a bar (44 points high): a rounded field with a
// magnifier, a placeholder and a clear button, and a Cancel button at the
// right when asked for. Return is the search button. A search display
// controller listens beside the delegate.
class UISearchBar : public UIView {
  public:
    explicit UISearchBar(const CGRect& frame = CGRectMake(0, 0, 320, 44));

    std::string text() const { return field_->text(); }
    // Sets the text without asking the delegate; tells it of the change.
    void setText(const std::string& text);
    const std::string& placeholder() const { return field_->placeholder(); }
    void setPlaceholder(const std::string& placeholder) { field_->setPlaceholder(placeholder); }
    bool showsCancelButton() const { return showsCancelButton_; }
    void setShowsCancelButton(bool flag) { setShowsCancelButtonAnimated(flag, false); }
    void setShowsCancelButtonAnimated(bool flag, bool animated);
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    UISearchBarStyle searchBarStyle() const { return searchBarStyle_; }
    void setSearchBarStyle(UISearchBarStyle style);
    const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(const std::optional<UIColor>& color);

    std::shared_ptr<UISearchBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UISearchBarDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    // The search display controller's ear: told everything the delegate is,
    // before it.
    void setController(std::weak_ptr<UISearchBarDelegate> controller) {
        controller_ = std::move(controller);
    }

    const std::shared_ptr<UITextField>& searchField() const { return field_; }
    const std::shared_ptr<UIButton>& cancelButton() const { return cancelButton_; }
    bool isFirstResponder() const { return field_->isFirstResponder(); }
    bool becomeFirstResponder() override { return field_->becomeFirstResponder(); }
    bool resignFirstResponder() override { return field_->resignFirstResponder(); }
    // Escape does what the Cancel button does while the button shows.
    bool keyPressed(UIKeyboardKey key, unsigned modifiers) override;

    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;
    CGSize sizeThatFits(CGSize size) const override;

  private:
    class FieldDelegate;
    void tell(const std::function<void(UISearchBarDelegate&)>& message);
    bool ask(const std::function<bool(UISearchBarDelegate&)>& question);

    std::shared_ptr<UITextField> field_;
    std::shared_ptr<UIButton> cancelButton_;
    std::shared_ptr<FieldDelegate> fieldDelegate_;
    std::weak_ptr<UISearchBarDelegate> delegate_;
    std::weak_ptr<UISearchBarDelegate> controller_;
    std::optional<UIColor> barTintColor_;
    UIBarStyle barStyle_ = UIBarStyleDefault;
    UISearchBarStyle searchBarStyle_ = UISearchBarStyleDefault;
    bool showsCancelButton_ = false;
};
