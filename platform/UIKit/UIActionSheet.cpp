#include "UIKit/UIActionSheet.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr CGFloat kButtonHeight = 50;
constexpr CGFloat kMargin = 8;
constexpr CGFloat kTitleMargin = 14;
constexpr CGFloat kPopoverWidth = 272;
constexpr double kSlideDuration = 0.3;

UIColor destructiveColor() {
    return UIColor::colorWithRedGreenBlueAlpha(1, 0.23, 0.19, 1);
}

template <class View>
std::shared_ptr<View> roundedGroup() {
    auto group = std::make_shared<View>();
    group->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.97, 1));
    group->layer()->setCornerRadius(13);
    group->setClipsToBounds(true);
    return group;
}

}  // namespace

UIActionSheet::UIActionSheet(const std::optional<std::string>& title,
                             std::weak_ptr<UIActionSheetDelegate> delegate,
                             const std::optional<std::string>& cancelButtonTitle,
                             const std::optional<std::string>& destructiveButtonTitle,
                             const std::vector<std::string>& otherButtonTitles)
    : title_(title), delegate_(std::move(delegate)) {
    if (destructiveButtonTitle) {
        destructiveIndex_ = addButtonWithTitle(*destructiveButtonTitle);
    }
    for (const std::string& other : otherButtonTitles) {
        addButtonWithTitle(other);
    }
    if (cancelButtonTitle) {
        cancelIndex_ = addButtonWithTitle(*cancelButtonTitle);
    }
}

long UIActionSheet::addButtonWithTitle(const std::string& title) {
    buttonTitles_.push_back(title);
    return long(buttonTitles_.size()) - 1;
}

std::string UIActionSheet::buttonTitleAtIndex(long index) const {
    return index >= 0 && index < numberOfButtons() ? buttonTitles_[size_t(index)] : std::string();
}

long UIActionSheet::firstOtherButtonIndex() const {
    for (long i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelIndex_ && i != destructiveIndex_) {
            return i;
        }
    }
    return -1;
}

void UIActionSheet::build(bool inPopover) {
    for (const auto& view : std::vector<std::shared_ptr<UIView>>(subviews())) {
        view->removeFromSuperview();
    }
    buttons_.assign(buttonTitles_.size(), nullptr);
    separators_.clear();
    inPopover_ = inPopover;
    setBackgroundColor(inPopover ? UIColor::clearColor() : UIColor::colorWithWhiteAlpha(0, 0.4));
    // The buttons' group scrolls where it is taller than the screen (a phone
    // on its side), so that every button can be reached.
    group_ = inPopover ? std::make_shared<UIView>() : roundedGroup<UIScrollView>();
    addSubview(group_);
    cancelGroup_.reset();
    titleLabel_.reset();
    if (title_ && !title_->empty()) {
        titleLabel_ = std::make_shared<UILabel>();
        titleLabel_->setFont(UIFont::systemFontOfSize(13));
        titleLabel_->setTextColor(UIColor::colorWithWhiteAlpha(0.45, 1));
        titleLabel_->setTextAlignment(NSTextAlignmentCenter);
        titleLabel_->setNumberOfLines(0);
        titleLabel_->setText(*title_);
        group_->addSubview(titleLabel_);
    }
    std::weak_ptr<UIView> weak = std::static_pointer_cast<UIView>(shared_from_this());
    for (long i = 0; i < numberOfButtons(); ++i) {
        const bool cancel = i == cancelIndex_;
        if (cancel && inPopover) {
            continue;
        }
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setTitleForState(buttonTitles_[size_t(i)], UIControlStateNormal);
        button->titleLabel()->setFont(cancel ? UIFont::boldSystemFontOfSize(20)
                                             : UIFont::systemFontOfSize(20));
        if (i == destructiveIndex_) {
            button->setTitleColorForState(destructiveColor(), UIControlStateNormal);
        }
        button->setTag(i);
        button->addTargetForControlEvents(
            [weak, i](UIControl&) {
                if (auto self = std::static_pointer_cast<UIActionSheet>(weak.lock())) {
                    self->dismissWithClickedButtonIndexAnimated(i, true);
                }
            },
            UIControlEventTouchUpInside);
        if (cancel) {
            cancelGroup_ = roundedGroup<UIView>();
            cancelGroup_->addSubview(button);
            addSubview(cancelGroup_);
        } else {
            group_->addSubview(button);
        }
        buttons_[size_t(i)] = button;
    }
    setNeedsLayout();
}

CGFloat UIActionSheet::groupHeight(CGFloat width) const {
    CGFloat height = 0;
    if (titleLabel_) {
        height +=
            titleLabel_->sizeThatFits({width - 2 * kTitleMargin, 0}).height + 2 * kTitleMargin;
    }
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i] && long(i) != cancelIndex_) {
            height += kButtonHeight;
        }
    }
    return height;
}

void UIActionSheet::layoutSubviews() {
    if (!group_) {
        return;
    }
    const CGRect b = bounds();
    const CGFloat width =
        inPopover_ ? b.size.width : std::min<CGFloat>(b.size.width, 414) - 2 * kMargin;
    const CGFloat x = std::round((b.size.width - width) / 2);
    const CGFloat height = groupHeight(width);
    CGFloat y = 0;
    for (const auto& separator : separators_) {
        separator->removeFromSuperview();
    }
    separators_.clear();
    const CGFloat hairline = 1 / std::max<CGFloat>(1, contentScaleFactor());
    auto separatorAt = [&](CGFloat top) {
        auto line = std::make_shared<UIView>(CGRectMake(0, top, width, hairline));
        line->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.2));
        group_->addSubview(line);
        separators_.push_back(line);
    };
    if (titleLabel_) {
        const CGFloat h = titleLabel_->sizeThatFits({width - 2 * kTitleMargin, 0}).height;
        titleLabel_->setFrame(CGRectMake(kTitleMargin, kTitleMargin, width - 2 * kTitleMargin, h));
        y = h + 2 * kTitleMargin;
    }
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (!buttons_[i] || long(i) == cancelIndex_) {
            continue;
        }
        if (y > 0) {
            separatorAt(y);
        }
        buttons_[i]->setFrame(CGRectMake(0, y, width, kButtonHeight));
        y += kButtonHeight;
    }
    if (inPopover_) {
        group_->setFrame(b);
        return;
    }
    CGFloat bottom = b.size.height - kMargin;
    if (cancelGroup_) {
        cancelGroup_->setFrame(CGRectMake(x, bottom - kButtonHeight, width, kButtonHeight));
        buttons_[size_t(cancelIndex_)]->setFrame(CGRectMake(0, 0, width, kButtonHeight));
        bottom -= kButtonHeight + kMargin;
    }
    const CGFloat shown = std::min(height, bottom - kMargin);
    group_->setFrame(CGRectMake(x, bottom - shown, width, shown));
    if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(group_)) {
        scroll->setContentSize({width, height});
    }
}

bool UIActionSheet::willPresent() {
    if (visible_) {
        return false;
    }
    if (auto d = delegate()) {
        d->willPresentActionSheet(*this);
    }
    keepAlive_ = std::static_pointer_cast<UIView>(shared_from_this());
    visible_ = true;
    return true;
}

void UIActionSheet::didPresent() {
    if (auto d = delegate()) {
        d->didPresentActionSheet(*this);
    }
}

void UIActionSheet::showInView(const std::shared_ptr<UIView>& view) {
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad && view) {
        const CGRect b = view->bounds();
        showFromRectInViewAnimated({{CGRectGetMidX(b), CGRectGetMidY(b)}, {0, 0}}, view, true);
        return;
    }
    std::shared_ptr<UIWindow> window = view ? view->window() : nullptr;
    if (!window) {
        window = UIApplication::sharedApplication()->keyWindow();
    }
    if (!window || !willPresent()) {
        return;
    }
    build(false);
    setFrame(window->bounds());
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    window->addSubview(std::static_pointer_cast<UIView>(shared_from_this()));
    layoutIfNeeded();
    // The groups rise from below the window while the shade fades in.
    const CGFloat rise = window->bounds().size.height - group_->frame().origin.y;
    std::vector<std::shared_ptr<UIView>> groups{group_};
    if (cancelGroup_) {
        groups.push_back(cancelGroup_);
    }
    for (const auto& group : groups) {
        group->setCenter({group->center().x, group->center().y + rise});
    }
    const UIColor shade = *backgroundColor();
    setBackgroundColor(UIColor::clearColor());
    auto self = std::static_pointer_cast<UIActionSheet>(shared_from_this());
    UIView::animateWithDurationAnimationsCompletion(
        kSlideDuration,
        [self, groups, rise, shade] {
            self->setBackgroundColor(shade);
            for (const auto& group : groups) {
                group->setCenter({group->center().x, group->center().y - rise});
            }
        },
        [self](bool) { self->didPresent(); });
}

void UIActionSheet::showFromToolbar(const std::shared_ptr<UIView>& bar) {
    if (bar) {
        showFromRectInViewAnimated(bar->bounds(), bar, true);
    } else {
        showInView(nullptr);
    }
}

void UIActionSheet::showFromBarButtonItemAnimated(const std::shared_ptr<UIBarButtonItem>& item,
                                                  bool animated) {
    std::shared_ptr<UIView> view = item ? item->view() : nullptr;
    if (UI_USER_INTERFACE_IDIOM() != UIUserInterfaceIdiomPad) {
        showInView(view);
        return;
    }
    if (view) {
        showFromRectInViewAnimated(view->bounds(), view, animated);
    } else {
        showInView(nullptr);
    }
}

void UIActionSheet::showFromRectInViewAnimated(const CGRect& rect,
                                               const std::shared_ptr<UIView>& view, bool animated) {
    if (UI_USER_INTERFACE_IDIOM() != UIUserInterfaceIdiomPad) {
        showInView(view);
        return;
    }
    if (!willPresent()) {
        return;
    }
    build(true);
    auto content = std::make_shared<UIViewController>();
    content->setView(std::static_pointer_cast<UIView>(shared_from_this()));
    setFrame(CGRectMake(0, 0, kPopoverWidth, groupHeight(kPopoverWidth)));
    content->setPreferredContentSize(frame().size);
    popover_ = std::make_shared<UIPopoverController>(content);
    popover_->setDelegate(std::static_pointer_cast<UIActionSheet>(shared_from_this()));
    popover_->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
        rect, view, UIPopoverArrowDirectionAny, animated);
    didPresent();
}

bool UIActionSheet::popoverControllerShouldDismissPopover(UIPopoverController&) {
    // A tap outside is the cancel button's tap.
    dismissWithClickedButtonIndexAnimated(cancelIndex_, true);
    return false;
}

void UIActionSheet::dismissWithClickedButtonIndexAnimated(long index, bool animated) {
    std::shared_ptr<UIView> keep = std::static_pointer_cast<UIView>(shared_from_this());
    auto d = delegate();
    if (d && index >= 0 && index < numberOfButtons()) {
        d->actionSheetClickedButtonAtIndex(*this, index);
    }
    if (!visible_) {
        return;
    }
    visible_ = false;
    if (d) {
        d->actionSheetWillDismissWithButtonIndex(*this, index);
    }
    auto self = std::static_pointer_cast<UIActionSheet>(shared_from_this());
    auto finish = [self, index](bool) {
        if (self->popover_) {
            self->popover_->dismissPopoverAnimated(false);
            self->popover_->contentViewController()->setView(nullptr);
            self->popover_.reset();
        }
        self->removeFromSuperview();
        self->keepAlive_.reset();
        if (auto d = self->delegate()) {
            d->actionSheetDidDismissWithButtonIndex(*self, index);
        }
    };
    if (!animated || popover_ || !group_) {
        finish(true);
        return;
    }
    const CGFloat drop = bounds().size.height - group_->frame().origin.y;
    std::vector<std::shared_ptr<UIView>> groups{group_};
    if (cancelGroup_) {
        groups.push_back(cancelGroup_);
    }
    UIView::animateWithDurationAnimationsCompletion(
        kSlideDuration,
        [self, groups, drop] {
            self->setBackgroundColor(UIColor::clearColor());
            for (const auto& group : groups) {
                group->setCenter({group->center().x, group->center().y + drop});
            }
        },
        finish);
}
