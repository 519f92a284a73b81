#include "UIKit/UINavigationBar.h"

#include <algorithm>

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"

namespace {

constexpr CGFloat kMargin = 8;
constexpr CGFloat kGap = 6;

}  // namespace

UINavigationBar::UINavigationBar(const CGRect& frame) : UIView(frame) {
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    titleLabel_->setBackgroundColor(UIColor::clearColor());
}

void UINavigationBar::setBarStyle(UIBarStyle style) {
    barStyle_ = style;
    titleLabel_->setTextColor(titleColor());
    setNeedsDisplay();
}

void UINavigationBar::setBarTintColor(const std::optional<UIColor>& color) {
    barTintColor_ = color;
    setNeedsDisplay();
}

void UINavigationBar::setTranslucent(bool flag) {
    translucent_ = flag;
    setNeedsDisplay();
}

void UINavigationBar::setItemsAnimated(std::vector<std::shared_ptr<UINavigationItem>> items, bool) {
    for (const auto& item : items_) {
        item->setNavigationBar(nullptr);
    }
    items_ = std::move(items);
    auto self = std::static_pointer_cast<UINavigationBar>(shared_from_this());
    for (const auto& item : items_) {
        item->setNavigationBar(self);
    }
    itemsDidChange();
}

void UINavigationBar::pushNavigationItemAnimated(const std::shared_ptr<UINavigationItem>& item,
                                                 bool) {
    if (!item || std::find(items_.begin(), items_.end(), item) != items_.end()) {
        return;
    }
    item->setNavigationBar(std::static_pointer_cast<UINavigationBar>(shared_from_this()));
    items_.push_back(item);
    itemsDidChange();
}

std::shared_ptr<UINavigationItem> UINavigationBar::popNavigationItemAnimated(bool) {
    if (items_.empty()) {
        return nullptr;
    }
    std::shared_ptr<UINavigationItem> item = items_.back();
    items_.pop_back();
    item->setNavigationBar(nullptr);
    itemsDidChange();
    return item;
}

std::shared_ptr<UINavigationItem> UINavigationBar::topItem() const {
    return items_.empty() ? nullptr : items_.back();
}

std::shared_ptr<UINavigationItem> UINavigationBar::backItem() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

void UINavigationBar::itemsDidChange() {
    rebuild();
    setNeedsLayout();
}

void UINavigationBar::tapBackButton() {
    std::shared_ptr<UINavigationItem> top = topItem();
    if (!top || !backItem()) {
        return;
    }
    auto keep = shared_from_this();
    auto delegate = delegate_.lock();
    if (!delegate || delegate->navigationBarShouldPopItem(*this, *top)) {
        popNavigationItemAnimated(true);
    }
}

void UINavigationBar::rebuild() {
    // A view that stays (a search bar as the title while the buttons change)
    // is not taken out of the bar: leaving the window would end its editing.
    const std::shared_ptr<UIView> old[] = {leftView_, rightView_, titleView_};
    leftView_.reset();
    rightView_.reset();
    titleView_.reset();
    leftIsBackButton_ = false;
    if (std::shared_ptr<UINavigationItem> top = topItem()) {
        if (top->leftBarButtonItem()) {
            leftView_ = top->leftBarButtonItem()->makeView();
        } else if (backItem() && !top->hidesBackButton()) {
            leftView_ = backButton();
            leftIsBackButton_ = true;
        }
        if (top->rightBarButtonItem()) {
            rightView_ = top->rightBarButtonItem()->makeView();
        }
        if (top->titleView()) {
            titleView_ = top->titleView();
        } else {
            titleLabel_->setText(top->title().value_or(""));
            titleLabel_->setTextColor(titleColor());
            titleView_ = titleLabel_;
        }
    }
    left_.take(leftView_, left_);
    right_.take(rightView_, right_);
    title_.take(titleView_, title_);
    const std::shared_ptr<UIView> current[] = {leftView_, rightView_, titleView_};
    for (const auto& view : old) {
        if (view && std::find(std::begin(current), std::end(current), view) == std::end(current)) {
            view->removeFromSuperview();
        }
    }
    for (const auto& view : current) {
        if (view && view->superview().get() != this) {
            addSubview(view);
        }
    }
}

std::shared_ptr<UIView> UINavigationBar::backButton() {
    std::shared_ptr<UINavigationItem> back = backItem();
    std::string title = "Back";
    if (back->backBarButtonItem() && back->backBarButtonItem()->title()) {
        title = *back->backBarButtonItem()->title();
    } else if (back->title() && !back->title()->empty()) {
        title = *back->title();
    }
    std::weak_ptr<UINavigationBar> weakSelf =
        std::static_pointer_cast<UINavigationBar>(shared_from_this());
    auto button = UIBarButtonItem::makeButton(std::nullopt, false, [weakSelf] {
        if (auto self = weakSelf.lock()) {
            self->tapBackButton();
        }
    });
    backForms_.clear();
    for (const std::string& words : {title, std::string("Back"), std::string()}) {
        const std::string shown = words.empty() ? "\u2039" : "\u2039 " + words;
        button->setTitleForState(shown, UIControlStateNormal);
        button->sizeToFit();
        // Read (and found by scenarios) as its words, without the chevron.
        backForms_.push_back({shown, words.empty() ? "Back" : words, button->frame().size.width});
    }
    showBackForm(*button, 0);
    button->sizeToFit();
    return button;
}

void UINavigationBar::showBackForm(UIButton& button, size_t form) {
    backForm_ = form;
    const BackForm& shown = backForms_[form];
    if (button.titleForState(UIControlStateNormal) != std::optional<std::string>(shown.title)) {
        button.setTitleForState(shown.title, UIControlStateNormal);
        button.setAccessibilityLabel(shown.label);
    }
}

UIColor UINavigationBar::titleColor() const {
    return barStyle_ == UIBarStyleBlack ? UIColor::whiteColor() : UIColor::blackColor();
}

CGSize UINavigationBar::sizeThatFits(CGSize size) const {
    return {size.width, kHeight};
}

std::shared_ptr<UIView> UINavigationBar::hitTest(CGPoint point, UIEvent* event) {
    std::shared_ptr<UIView> hit = UIView::hitTest(point, event);
    if (hit.get() != this) {
        return hit;
    }
    // The left button reaches right from the bar's margin, the right one left.
    auto reaches = [&](const std::shared_ptr<UIView>& button, bool fromLeft) {
        if (!button || button->isHidden() || !button->isUserInteractionEnabled()) {
            return false;
        }
        const CGRect f = button->frame();
        const CGFloat width = std::max(f.size.width, kMinimumTapWidth);
        const CGFloat x = fromLeft ? CGRectGetMinX(f) : CGRectGetMaxX(f) - width;
        return point.x >= x && point.x < x + width;
    };
    if (reaches(leftView_, true)) {
        return leftView_;
    }
    if (reaches(rightView_, false)) {
        return rightView_;
    }
    return hit;
}

void UINavigationBar::Part::take(const std::shared_ptr<UIView>& newView, const Part& old) {
    if (newView && newView == old.view) {
        return;
    }
    *this = Part{newView};
}

CGFloat UINavigationBar::Part::width() {
    const CGFloat current = view->frame().size.width;
    // A width the bar did not give is the owner's new wish.
    if (current != assigned) {
        natural = current;
    }
    return natural;
}

void UINavigationBar::layoutSubviews() {
    const CGRect b = bounds();
    CGFloat left = leftView_ ? left_.width() : 0;
    CGFloat right = rightView_ ? right_.width() : 0;
    CGFloat title = 0;
    if (titleView_ == titleLabel_) {
        title = titleLabel_->sizeThatFits(CGSizeZero).width;
    } else if (titleView_) {
        title = title_.width();
    }
    const int gaps =
        titleView_ ? int(bool(leftView_)) + int(bool(rightView_)) : int(leftView_ && rightView_);
    CGFloat over = left + right + title + gaps * kGap - (b.size.width - 2 * kMargin);
    // The back button repeats the title of the screen below: it gives way
    // first, in whole words.
    if (leftIsBackButton_ && !backForms_.empty()) {
        over += backForms_[0].width - left;
        left = backForms_[0].width;
        size_t form = 0;
        while (form + 1 < backForms_.size() && over - (left - backForms_[form].width) > 0) {
            ++form;
        }
        over -= left - backForms_[form].width;
        left = backForms_[form].width;
        showBackForm(static_cast<UIButton&>(*leftView_), form);
    }
    // Then the parts give some up, each down to a floor: the title matters
    // more, the buttons are what the user acts on.
    auto shorten = [&over](CGFloat& width, CGFloat floor) {
        const CGFloat by = std::clamp<CGFloat>(over, 0, std::max<CGFloat>(0, width - floor));
        width -= by;
        over -= by;
    };
    shorten(title, b.size.width / 3);
    shorten(left, b.size.width / 4);
    shorten(right, b.size.width / 4);
    shorten(title, 0);
    shorten(left, 0);
    shorten(right, 0);

    CGFloat leftEdge = kMargin;
    CGFloat rightEdge = b.size.width - kMargin;
    if (leftView_) {
        const CGFloat height = leftView_->frame().size.height;
        leftView_->setFrame(CGRectMake(kMargin, (b.size.height - height) / 2, left, height));
        left_.assigned = left;
        leftEdge += left + kGap;
    }
    if (rightView_) {
        const CGFloat height = rightView_->frame().size.height;
        rightView_->setFrame(CGRectMake(b.size.width - kMargin - right,
                                        (b.size.height - height) / 2, right, height));
        right_.assigned = right;
        rightEdge -= right + kGap;
    }
    if (!titleView_) {
        return;
    }
    CGFloat height = titleView_ == titleLabel_ ? titleLabel_->sizeThatFits(CGSizeZero).height
                                               : titleView_->frame().size.height;
    height = std::min(height, b.size.height);
    // Centred on the bar when it fits between the buttons, else moved over.
    CGFloat x = (b.size.width - title) / 2;
    x = std::clamp(x, leftEdge, std::max(leftEdge, rightEdge - title));
    titleView_->setFrame(CGRectMake(x, (b.size.height - height) / 2, title, height));
    title_.assigned = title;
}

void UINavigationBar::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    UIBarDrawBackground(*context, bounds(), barStyle_, barTintColor_, false, contentScaleFactor());
}
