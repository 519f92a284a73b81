#include "UIKit/UIToolbar.h"

#include <algorithm>
#include <cmath>

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIGraphics.h"

namespace {

constexpr CGFloat kMargin = 8;
constexpr CGFloat kGap = 10;
// A translucent bar: how far what lies behind it is blurred (points), and
// how much of the bar's colour covers it.
constexpr CGFloat kTranslucentBlur = 8;
constexpr CGFloat kTranslucentAlpha = 0.55;

}  // namespace

UIToolbar::UIToolbar(const CGRect& frame) : UIView(frame) {
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
    layer()->setBackdropBlurRadius(kTranslucentBlur);
}

void UIToolbar::setTranslucent(bool flag) {
    translucent_ = flag;
    layer()->setBackdropBlurRadius(flag ? kTranslucentBlur : 0);
    setNeedsDisplay();
}

void UIToolbar::setBarStyle(UIBarStyle style) {
    barStyle_ = style;
    setNeedsDisplay();
}

void UIToolbar::setBarTintColor(const std::optional<UIColor>& color) {
    barTintColor_ = color;
    setNeedsDisplay();
}

void UIToolbar::setItemsAnimated(std::vector<std::shared_ptr<UIBarButtonItem>> items,
                                 bool animated) {
    for (const auto& view : views_) {
        if (view) {
            view->removeFromSuperview();
        }
    }
    views_.clear();
    std::erase(items, nullptr);
    items_ = std::move(items);
    for (const auto& item : items_) {
        std::shared_ptr<UIView> view = item->makeView();
        views_.push_back(view);
        if (!view) {
            continue;
        }
        addSubview(view);
        if (animated) {
            view->setAlpha(0);
            UIView::animateWithDurationAnimations(0.25, [view] { view->setAlpha(1); });
        }
    }
    setNeedsLayout();
}

CGSize UIToolbar::sizeThatFits(CGSize size) const {
    return {size.width, kHeight};
}

void UIToolbar::layoutSubviews() {
    const CGRect b = bounds();
    // What the buttons, gaps and fixed spaces take; the rest goes to the
    // flexible spaces.
    CGFloat used = 2 * kMargin;
    long flexible = 0;
    bool previousButton = false;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->isFlexibleSpace()) {
            ++flexible;
            previousButton = false;
        } else if (items_[i]->isSpace()) {
            used += items_[i]->width();
            previousButton = false;
        } else {
            used += views_[i]->frame().size.width + (previousButton ? kGap : 0);
            previousButton = true;
        }
    }
    const CGFloat share = flexible > 0 ? std::max<CGFloat>(0, b.size.width - used) / flexible : 0;
    CGFloat x = kMargin;
    previousButton = false;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->isFlexibleSpace()) {
            x += share;
            previousButton = false;
            continue;
        }
        if (items_[i]->isSpace()) {
            x += items_[i]->width();
            previousButton = false;
            continue;
        }
        if (previousButton) {
            x += kGap;
        }
        const CGSize size = views_[i]->frame().size;
        views_[i]->setFrame({{std::round(x), std::round((b.size.height - size.height) / 2)},
                             {size.width, std::min(size.height, b.size.height)}});
        x += size.width;
        previousButton = true;
    }
}

void UIToolbar::drawRect(const CGRect&) {
    if (CGContextRef context = UIGraphicsGetCurrentContext()) {
        std::optional<UIColor> tint = barTintColor_;
        if (translucent_) {
            const UIColor bar =
                tint ? *tint
                     : (barStyle_ == UIBarStyleBlack ? UIColor::colorWithWhiteAlpha(0.1, 1)
                                                     : UIColor::colorWithWhiteAlpha(0.97, 1));
            tint = bar.colorWithAlphaComponent(bar.alpha() * kTranslucentAlpha);
        }
        UIBarDrawBackground(*context, bounds(), barStyle_, tint, true, contentScaleFactor());
    }
}
