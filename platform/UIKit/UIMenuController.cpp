#include "UIKit/UIMenuController.h"

#include <algorithm>
#include <cmath>

#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr CGFloat kBubbleHeight = 36;
constexpr CGFloat kButtonPadding = 12;
constexpr CGFloat kGap = 6;

struct MenuEntry {
    UIEditAction action;
    const char* title;
};

constexpr MenuEntry kEntries[] = {
    {UIEditActionCut, "Cut"},
    {UIEditActionCopy, "Copy"},
    {UIEditActionPaste, "Paste"},
    {UIEditActionSelect, "Select"},
    {UIEditActionSelectAll, "Select All"},
    {UIEditActionDelete, "Delete"},
};

}  // namespace

std::shared_ptr<UIMenuController> UIMenuController::sharedMenuController() {
    static auto menu = std::make_shared<UIMenuController>();
    return menu;
}

void UIMenuController::setTargetRectInView(const CGRect& rect,
                                           const std::shared_ptr<UIView>& view) {
    targetRect_ = rect;
    targetView_ = view;
}

void UIMenuController::setMenuVisibleAnimated(bool visible, bool) {
    if (visible) {
        show();
    } else {
        hide();
    }
}

void UIMenuController::update() {
    if (isMenuVisible()) {
        show();
    }
}

void UIMenuController::show() {
    auto view = targetView_.lock();
    auto window = view ? view->window() : nullptr;
    auto responder = UIResponder::currentFirstResponder();
    if (!window || !responder) {
        hide();
        return;
    }
    std::vector<std::shared_ptr<UIButton>> buttons;
    CGFloat width = 0;
    for (const MenuEntry& entry : kEntries) {
        if (!responder->canPerformAction(entry.action, nullptr)) {
            continue;
        }
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setTitleForState(entry.title, UIControlStateNormal);
        button->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
        button->setTitleColorForState(UIColor::lightGrayColor(), UIControlStateHighlighted);
        button->titleLabel()->setFont(UIFont::systemFontOfSize(14));
        const UIEditAction action = entry.action;
        button->addTargetForControlEvents([this, action](UIControl&) { perform(action); },
                                          UIControlEventTouchUpInside);
        const CGFloat w = std::ceil(button->sizeThatFits({0, 0}).width) + 2 * kButtonPadding;
        button->setFrame(CGRectMake(width, 0, w, kBubbleHeight));
        width += w;
        buttons.push_back(button);
    }
    hide();
    if (buttons.empty()) {
        return;
    }
    const CGRect target = view->convertRectToView(targetRect_, nullptr);
    const CGRect screen = window->bounds();
    CGFloat y = target.origin.y - kGap - kBubbleHeight;
    if (y < screen.origin.y + 20) {
        y = CGRectGetMaxY(target) + kGap;
    }
    CGFloat x = CGRectGetMidX(target) - width / 2;
    x = std::clamp(x, CGFloat(4), std::max<CGFloat>(4, screen.size.width - width - 4));
    bubble_ = std::make_shared<UIView>(CGRectMake(x, y, width, kBubbleHeight));
    bubble_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.1, 0.92));
    bubble_->layer()->setCornerRadius(8);
    bubble_->setClipsToBounds(true);
    for (const auto& button : buttons) {
        bubble_->addSubview(button);
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UIMenuControllerWillShowMenuNotification, this);
    window->addSubview(bubble_);
}

void UIMenuController::hide() {
    if (!bubble_) {
        return;
    }
    bubble_->removeFromSuperview();
    bubble_.reset();
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UIMenuControllerDidHideMenuNotification, this);
}

void UIMenuController::touchBeganOnView(const std::shared_ptr<UIView>& view) {
    if (bubble_ && !(view && view->isDescendantOfView(bubble_.get()))) {
        hide();
    }
}

void UIMenuController::viewLeftWindow(const UIView& view) {
    if (bubble_ && targetView_.lock().get() == &view) {
        hide();
    }
}

void UIMenuController::perform(UIEditAction action) {
    // The bubble goes first: the button's action runs while it is tracked.
    auto keep = bubble_;
    hide();
    if (auto responder = UIResponder::currentFirstResponder()) {
        if (responder->canPerformAction(action, nullptr)) {
            responder->performEditAction(action, nullptr);
        }
    }
}
