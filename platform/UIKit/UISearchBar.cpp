#include "UIKit/UISearchBar.h"

#include <cmath>

#include "UIKit/UIButton.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGFloat kBarHeight = 44;
constexpr CGFloat kFieldHeight = 28;
constexpr CGFloat kMargin = 8;

// The magnifier at the left of the search field.
class UISearchBarMagnifier : public UIView {
  public:
    UISearchBarMagnifier() : UIView(CGRectMake(0, 0, 14, 14)) {
        setOpaque(false);
        setUserInteractionEnabled(false);
    }
    void drawRect(const CGRect&) override {
        CGContextRef context = UIGraphicsGetCurrentContext();
        context->setStrokeColorWithColor(UIColor::colorWithWhiteAlpha(0.55, 1).CGColor());
        context->setLineWidth(1.5);
        context->strokeEllipseInRect(CGRectMake(1, 1, 9, 9));
        context->strokeLineSegments({{8.5, 8.5}, {13, 13}});
    }
};

}  // namespace

// Turns the field's questions and news into the search bar's.
class UISearchBar::FieldDelegate : public UITextFieldDelegate {
  public:
    explicit FieldDelegate(UISearchBar& bar) : bar_(bar) {}
    bool textFieldShouldBeginEditing(UITextField&) override {
        return bar_.ask(
            [&](UISearchBarDelegate& d) { return d.searchBarShouldBeginEditing(bar_); });
    }
    void textFieldDidBeginEditing(UITextField&) override {
        bar_.tell([&](UISearchBarDelegate& d) { d.searchBarTextDidBeginEditing(bar_); });
    }
    bool textFieldShouldEndEditing(UITextField&) override {
        return bar_.ask([&](UISearchBarDelegate& d) { return d.searchBarShouldEndEditing(bar_); });
    }
    void textFieldDidEndEditing(UITextField&) override {
        bar_.tell([&](UISearchBarDelegate& d) { d.searchBarTextDidEndEditing(bar_); });
    }
    bool textFieldShouldChangeCharactersInRange(UITextField&, NSRange range,
                                                const std::string& text) override {
        return bar_.ask([&](UISearchBarDelegate& d) {
            return d.searchBarShouldChangeTextInRange(bar_, range, text);
        });
    }
    bool textFieldShouldReturn(UITextField&) override {
        bar_.tell([&](UISearchBarDelegate& d) { d.searchBarSearchButtonClicked(bar_); });
        return true;
    }

  private:
    UISearchBar& bar_;
};

UISearchBar::UISearchBar(const CGRect& frame) : UIView(frame) {
    setContentMode(UIViewContentModeRedraw);
    field_ = std::make_shared<UITextField>();
    field_->setBorderStyle(UITextBorderStyleRoundedRect);
    field_->setFont(UIFont::systemFontOfSize(14));
    field_->setClearButtonMode(UITextFieldViewModeWhileEditing);
    field_->setReturnKeyType(UIReturnKeySearch);
    field_->setAutocapitalizationType(UITextAutocapitalizationTypeNone);
    field_->setLeftView(std::make_shared<UISearchBarMagnifier>());
    fieldDelegate_ = std::make_shared<FieldDelegate>(*this);
    field_->setDelegate(fieldDelegate_);
    field_->addTargetForControlEvents(
        [this](UIControl&) {
            const std::string text = field_->text();
            tell([&](UISearchBarDelegate& d) { d.searchBarTextDidChange(*this, text); });
        },
        UIControlEventEditingChanged);
    cancelButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    cancelButton_->setTitleForState("Cancel", UIControlStateNormal);
    cancelButton_->titleLabel()->setFont(UIFont::systemFontOfSize(16));
    cancelButton_->setHidden(true);
    cancelButton_->addTargetForControlEvents(
        [this](UIControl&) {
            tell([&](UISearchBarDelegate& d) { d.searchBarCancelButtonClicked(*this); });
        },
        UIControlEventTouchUpInside);
    setNeedsLayout();
}

bool UISearchBar::keyPressed(UIKeyboardKey key, unsigned modifiers) {
    if (key == UIKeyboardKeyEscape && modifiers == 0 && showsCancelButton_) {
        auto keep = shared_from_this();
        cancelButton_->sendActionsForControlEvents(UIControlEventTouchUpInside);
        return true;
    }
    return UIView::keyPressed(key, modifiers);
}

void UISearchBar::tell(const std::function<void(UISearchBarDelegate&)>& message) {
    auto keep = shared_from_this();
    if (auto controller = controller_.lock()) {
        message(*controller);
    }
    if (auto delegate = delegate_.lock()) {
        message(*delegate);
    }
}

bool UISearchBar::ask(const std::function<bool(UISearchBarDelegate&)>& question) {
    auto controller = controller_.lock();
    auto delegate = delegate_.lock();
    return (!controller || question(*controller)) && (!delegate || question(*delegate));
}

void UISearchBar::setText(const std::string& text) {
    if (field_->text() == text) {
        return;
    }
    field_->setText(text);
    const std::string now = field_->text();
    tell([&](UISearchBarDelegate& d) { d.searchBarTextDidChange(*this, now); });
    setNeedsLayout();
}

void UISearchBar::setShowsCancelButtonAnimated(bool flag, bool animated) {
    if (showsCancelButton_ == flag) {
        return;
    }
    showsCancelButton_ = flag;
    setNeedsLayout();
    if (animated) {
        UIView::animateWithDurationAnimations(0.25, [this] { layoutIfNeeded(); });
    }
}

void UISearchBar::setBarStyle(UIBarStyle style) {
    barStyle_ = style;
    setNeedsDisplay();
}

void UISearchBar::setSearchBarStyle(UISearchBarStyle style) {
    searchBarStyle_ = style;
    setNeedsDisplay();
}

void UISearchBar::setBarTintColor(const std::optional<UIColor>& color) {
    barTintColor_ = color;
    setNeedsDisplay();
}

void UISearchBar::layoutSubviews() {
    // Subviews join once the bar is owned by a shared_ptr.
    if (field_->superview().get() != this) {
        addSubview(field_);
        addSubview(cancelButton_);
    }
    const CGRect b = bounds();
    CGFloat right = CGRectGetMaxX(b) - kMargin;
    cancelButton_->setHidden(!showsCancelButton_);
    if (showsCancelButton_) {
        const CGFloat w = std::ceil(cancelButton_->sizeThatFits({0, 0}).width);
        cancelButton_->setFrame(CGRectMake(right - w, 0, w, b.size.height));
        right -= w + kMargin;
    }
    const CGFloat y = std::round((b.size.height - kFieldHeight) / 2);
    field_->setFrame(CGRectMake(kMargin, y, std::max<CGFloat>(0, right - kMargin), kFieldHeight));
}

void UISearchBar::drawRect(const CGRect&) {
    if (searchBarStyle_ == UISearchBarStyleMinimal) {
        return;
    }
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGRect b = bounds();
    UIColor fill = barStyle_ == UIBarStyleBlack ? UIColor::colorWithWhiteAlpha(0.15, 1)
                                                : UIColor::colorWithWhiteAlpha(0.79, 1);
    if (barTintColor_) {
        fill = *barTintColor_;
    }
    context->setFillColorWithColor(fill.CGColor());
    context->fillRect(b);
    const CGFloat hairline = 1 / contentScaleFactor();
    context->setFillColorWithColor(UIColor::colorWithWhiteAlpha(0, 0.25).CGColor());
    context->fillRect({{0, b.size.height - hairline}, {b.size.width, hairline}});
}

CGSize UISearchBar::sizeThatFits(CGSize size) const {
    return {size.width > 0 ? size.width : bounds().size.width, kBarHeight};
}
