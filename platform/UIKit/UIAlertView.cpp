#include "UIKit/UIAlertView.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIApplication.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr CGFloat kBoxWidth = 270;
constexpr CGFloat kButtonHeight = 44;
constexpr CGFloat kMargin = 16;
// The least room beside a title in a row of two buttons.
constexpr CGFloat kButtonPadding = 8;

}  // namespace

UIAlertView::UIAlertView(const std::string& title, const std::string& message,
                         std::weak_ptr<UIAlertViewDelegate> delegate,
                         const std::optional<std::string>& cancelButtonTitle,
                         const std::vector<std::string>& otherButtonTitles)
    : title_(title), message_(message), delegate_(std::move(delegate)) {
    if (cancelButtonTitle) {
        cancelIndex_ = addButtonWithTitle(*cancelButtonTitle);
    }
    for (const std::string& other : otherButtonTitles) {
        addButtonWithTitle(other);
    }
}

long UIAlertView::addButtonWithTitle(const std::string& title) {
    buttonTitles_.push_back(title);
    return long(buttonTitles_.size()) - 1;
}

std::string UIAlertView::buttonTitleAtIndex(long index) const {
    return index >= 0 && index < numberOfButtons() ? buttonTitles_[size_t(index)] : std::string();
}

long UIAlertView::firstOtherButtonIndex() const {
    for (long i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelIndex_) {
            return i;
        }
    }
    return -1;
}

void UIAlertView::build() {
    for (const auto& view : std::vector<std::shared_ptr<UIView>>(subviews())) {
        view->removeFromSuperview();
    }
    buttons_.clear();
    setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.4));
    box_ = std::make_shared<UIView>();
    box_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.97, 1));
    box_->layer()->setCornerRadius(12);
    box_->setClipsToBounds(true);
    addSubview(box_);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    titleLabel_->setNumberOfLines(0);
    titleLabel_->setText(title_);
    box_->addSubview(titleLabel_);
    messageLabel_ = std::make_shared<UILabel>();
    messageLabel_->setFont(UIFont::systemFontOfSize(13));
    messageLabel_->setTextAlignment(NSTextAlignmentCenter);
    messageLabel_->setNumberOfLines(0);
    messageLabel_->setText(message_);
    box_->addSubview(messageLabel_);
    std::weak_ptr<UIView> weak = std::static_pointer_cast<UIView>(shared_from_this());
    for (long i = 0; i < numberOfButtons(); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setTitleForState(buttonTitles_[size_t(i)], UIControlStateNormal);
        button->titleLabel()->setFont(i == cancelIndex_ ? UIFont::boldSystemFontOfSize(17)
                                                        : UIFont::systemFontOfSize(17));
        if (i == destructiveIndex_) {
            button->setTitleColorForState(UIColor::redColor(), UIControlStateNormal);
        }
        button->setTag(i);
        button->addTargetForControlEvents(
            [weak, i](UIControl&) {
                if (auto self = std::static_pointer_cast<UIAlertView>(weak.lock())) {
                    self->dismissWithClickedButtonIndexAnimated(i, true);
                }
            },
            UIControlEventTouchUpInside);
        box_->addSubview(button);
        buttons_.push_back(button);
    }
}

void UIAlertView::layoutSubviews() {
    if (!box_) {
        return;
    }
    const CGRect b = bounds();
    const CGFloat inner = kBoxWidth - 2 * kMargin;
    titleLabel_->setPreferredMaxLayoutWidth(inner);
    messageLabel_->setPreferredMaxLayoutWidth(inner);
    // Two buttons share a row when both titles fit in half the box; others
    // are stacked with the cancel button last.
    std::vector<size_t> order;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (long(i) != cancelIndex_) {
            order.push_back(i);
        }
    }
    const bool row =
        buttons_.size() == 2 &&
        std::all_of(buttons_.begin(), buttons_.end(), [](const auto& button) {
            return button->sizeThatFits(CGSizeZero).width <= kBoxWidth / 2 - 2 * kButtonPadding;
        });
    const CGFloat buttonsHeight = row ? kButtonHeight : CGFloat(buttons_.size()) * kButtonHeight;
    const CGSize t = titleLabel_->sizeThatFits({inner, 0});
    // The box stays on the screen: a message too long for it shows its start.
    const CGFloat room =
        b.size.height - 2 * kMargin - (kMargin + 4) - t.height - 4 - kMargin - buttonsHeight;
    const CGSize m =
        messageLabel_
            ->textRectForBoundsLimitedToNumberOfLines(
                CGRectMake(0, 0, inner, std::max(room, messageLabel_->font()->lineHeight())), 0)
            .size;
    CGFloat y = kMargin + 4;
    titleLabel_->setFrame(CGRectMake(kMargin, y, inner, t.height));
    y += t.height + (message_.empty() ? 0 : 4);
    messageLabel_->setFrame(CGRectMake(kMargin, y, inner, m.height));
    y += m.height + kMargin;
    if (cancelIndex_ >= 0) {
        if (row) {
            order.insert(order.begin(), size_t(cancelIndex_));
        } else {
            order.push_back(size_t(cancelIndex_));
        }
    }
    for (size_t k = 0; k < order.size(); ++k) {
        const auto& button = buttons_[order[k]];
        if (row) {
            button->setFrame(CGRectMake(k * kBoxWidth / 2, y, kBoxWidth / 2, kButtonHeight));
        } else {
            button->setFrame(CGRectMake(0, y, kBoxWidth, kButtonHeight));
            y += kButtonHeight;
        }
    }
    if (row) {
        y += kButtonHeight;
    }
    box_->setFrame(CGRectMake(std::round((b.size.width - kBoxWidth) / 2),
                              std::round((b.size.height - y) / 2), kBoxWidth, y));
}

void UIAlertView::setTitle(const std::string& title) {
    title_ = title;
    if (titleLabel_) {
        titleLabel_->setText(title_);
        setNeedsLayout();
    }
}

void UIAlertView::setMessage(const std::string& message) {
    message_ = message;
    if (messageLabel_) {
        messageLabel_->setText(message_);
        setNeedsLayout();
    }
}

void UIAlertView::show() {
    std::shared_ptr<UIWindow> window = UIApplication::sharedApplication()->keyWindow();
    if (!window || visible_) {
        return;
    }
    auto d = delegate();
    if (d) {
        d->willPresentAlertView(*this);
    }
    build();
    setFrame(window->bounds());
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    window->addSubview(std::static_pointer_cast<UIView>(shared_from_this()));
    visible_ = true;
    if (d) {
        d->didPresentAlertView(*this);
    }
}

void UIAlertView::dismissWithClickedButtonIndexAnimated(long index, bool) {
    std::shared_ptr<UIView> keep = std::static_pointer_cast<UIView>(shared_from_this());
    auto d = delegate();
    if (d && index >= 0 && index < numberOfButtons()) {
        d->alertViewClickedButtonAtIndex(*this, index);
    }
    if (!visible_) {
        return;
    }
    if (d) {
        d->alertViewWillDismissWithButtonIndex(*this, index);
    }
    removeFromSuperview();
    visible_ = false;
    if (d) {
        d->alertViewDidDismissWithButtonIndex(*this, index);
    }
}
