#include "UIKit/UITabBar.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kMaxSlotWidth = 110;
constexpr CGFloat kImageSize = 28;
constexpr CGFloat kImageTop = 3;
constexpr CGFloat kTitleHeight = 12;
constexpr CGFloat kBadgeHeight = 18;

UIFontRef titleFont() {
    return UIFont::systemFontOfSize(10);
}

UIFontRef badgeFont() {
    return UIFont::systemFontOfSize(13);
}

}  // namespace

UITabBar::UITabBar(const CGRect& frame) : UIView(frame) {
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
    setContentMode(UIViewContentModeRedraw);
}

void UITabBar::setItems(std::vector<std::shared_ptr<UITabBarItem>> items) {
    for (const auto& item : items_) {
        item->setTabBar(nullptr);
    }
    std::erase(items, nullptr);
    items_ = std::move(items);
    auto self = std::static_pointer_cast<UITabBar>(shared_from_this());
    for (const auto& item : items_) {
        item->setTabBar(self);
    }
    if (std::find(items_.begin(), items_.end(), selected_) == items_.end()) {
        selected_.reset();
    }
    touchedItem_ = -1;
    setNeedsDisplay();
}

void UITabBar::setSelectedItem(const std::shared_ptr<UITabBarItem>& item) {
    if (item && std::find(items_.begin(), items_.end(), item) == items_.end()) {
        return;
    }
    selected_ = item;
    setNeedsDisplay();
}

void UITabBar::setBarStyle(UIBarStyle style) {
    barStyle_ = style;
    setNeedsDisplay();
}

void UITabBar::setBarTintColor(const std::optional<UIColor>& color) {
    barTintColor_ = color;
    setNeedsDisplay();
}

CGRect UITabBar::slot(size_t index) const {
    const CGRect b = bounds();
    if (items_.empty()) {
        return CGRectZero;
    }
    const CGFloat width = std::min(kMaxSlotWidth, b.size.width / items_.size());
    const CGFloat left = (b.size.width - width * items_.size()) / 2;
    return {{std::round(left + width * index), 0}, {std::round(width), b.size.height}};
}

CGRect UITabBar::rectForItem(const UITabBarItem& item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == &item) {
            return slot(i);
        }
    }
    return CGRectZero;
}

long UITabBar::itemAt(CGPoint point) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (CGRectContainsPoint(slot(i), point)) {
            return long(i);
        }
    }
    return -1;
}

CGRect UITabBar::titleRect(size_t index) const {
    const CGRect s = slot(index);
    const CGFloat h = std::max(kTitleHeight, sizeWithFont("Ag", titleFont()).height);
    return {{s.origin.x + 2, s.size.height - h - 1}, {s.size.width - 4, h}};
}

CGRect UITabBar::badgeRect(size_t index) const {
    const auto& badge = items_[index]->badgeValue();
    if (!badge) {
        return CGRectZero;
    }
    const CGFloat textWidth = sizeWithFont(*badge, badgeFont()).width;
    const CGFloat width = std::max(kBadgeHeight, textWidth + 10);
    const CGRect s = slot(index);
    const CGFloat x = std::min(CGRectGetMidX(s) + kImageSize / 2 - 8, CGRectGetMaxX(s) - width);
    return {{std::round(x), 1}, {width, kBadgeHeight}};
}

std::vector<UIVisibleText> UITabBar::visibleTexts() const {
    std::vector<UIVisibleText> texts;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->title() && !items_[i]->title()->empty()) {
            // The whole slot is the place to tap for the tab.
            texts.push_back({*items_[i]->title(), slot(i)});
        }
        if (items_[i]->badgeValue()) {
            texts.push_back({*items_[i]->badgeValue(), badgeRect(i)});
        }
    }
    return texts;
}

CGSize UITabBar::sizeThatFits(CGSize size) const {
    return {size.width, kHeight};
}

void UITabBar::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    UIBarDrawBackground(*context, bounds(), barStyle_, barTintColor_, true, contentScaleFactor());
    const UIColor unselected = UIColor::colorWithWhiteAlpha(0.57, 1);
    for (size_t i = 0; i < items_.size(); ++i) {
        const UITabBarItem& item = *items_[i];
        const bool chosen = items_[i] == selected_;
        UIColor color = chosen ? tintColor() : unselected;
        if (!item.isEnabled()) {
            color = UIColor::colorWithWhiteAlpha(0.57, 0.4);
        }
        const CGRect s = slot(i);
        const CGRect imageRect{{CGRectGetMidX(s) - kImageSize / 2, kImageTop},
                               {kImageSize, kImageSize}};
        if (const UIImageRef& image = chosen ? item.selectedImage() : item.image()) {
            // Images fit the image square, centred, never scaled up.
            CGSize size = image->size();
            const CGFloat f =
                std::min<CGFloat>(1, std::min(kImageSize / std::max<CGFloat>(1, size.width),
                                              kImageSize / std::max<CGFloat>(1, size.height)));
            size = {size.width * f, size.height * f};
            const CGRect r{{CGRectGetMidX(imageRect) - size.width / 2,
                            CGRectGetMidY(imageRect) - size.height / 2},
                           size};
            if (image->renderingMode() == UIImageRenderingMode::AlwaysOriginal) {
                image->drawInRect(r);
            } else {
                image->imageTintedWithColor(color)->drawInRect(r);
            }
        } else if (item.systemItem()) {
            UITabBarItem::drawSystemGlyph(*context, *item.systemItem(),
                                          CGRectInset(imageRect, 3, 3), color);
        }
        if (item.title()) {
            drawInRectWithAttributes(
                *item.title(), titleRect(i),
                {titleFont(), color, NSTextAlignmentCenter, NSLineBreakByTruncatingTail, false});
        }
        if (item.badgeValue()) {
            const CGRect badge = badgeRect(i);
            context->setFillColorWithColor(
                UIColor::colorWithRedGreenBlueAlpha(1, 0.23, 0.19, 1).CGColor());
            context->beginPath();
            const CGFloat radius = kBadgeHeight / 2;
            context->addArc(badge.origin.x + radius, CGRectGetMidY(badge), radius,
                            std::numbers::pi / 2, 3 * std::numbers::pi / 2, false);
            context->addArc(CGRectGetMaxX(badge) - radius, CGRectGetMidY(badge), radius,
                            3 * std::numbers::pi / 2, std::numbers::pi / 2, false);
            context->closePath();
            context->fillPath();
            const CGFloat textHeight = sizeWithFont(*item.badgeValue(), badgeFont()).height;
            drawInRectWithAttributes(*item.badgeValue(),
                                     {{badge.origin.x, CGRectGetMidY(badge) - textHeight / 2},
                                      {badge.size.width, textHeight}},
                                     {badgeFont(), UIColor::whiteColor(), NSTextAlignmentCenter,
                                      NSLineBreakByClipping, false});
        }
    }
}

void UITabBar::touchesBegan(const UITouchSet& touches, UIEvent*) {
    touchedItem_ = touches.empty() ? -1
                                   : itemAt(touches.front()->locationInView(
                                         std::static_pointer_cast<UIView>(shared_from_this())));
}

void UITabBar::touchesEnded(const UITouchSet& touches, UIEvent*) {
    const long touched = touchedItem_;
    touchedItem_ = -1;
    if (touches.empty() || touched < 0 || size_t(touched) >= items_.size()) {
        return;
    }
    auto self = std::static_pointer_cast<UITabBar>(shared_from_this());
    if (itemAt(touches.front()->locationInView(self)) != touched) {
        return;
    }
    std::shared_ptr<UITabBarItem> item = items_[size_t(touched)];
    if (!item->isEnabled()) {
        return;
    }
    setSelectedItem(item);
    if (auto delegate = delegate_.lock()) {
        delegate->tabBarDidSelectItem(*this, *item);
    }
}

void UITabBar::touchesCancelled(const UITouchSet&, UIEvent*) {
    touchedItem_ = -1;
}
