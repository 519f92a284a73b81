#include "UIKit/UISegmentedControl.h"

#include <algorithm>
#include <cmath>

#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kPadding = 12;
constexpr CGFloat kCornerRadius = 4;

UIFontRef segmentFont() {
    return UIFont::systemFontOfSize(13);
}

}  // namespace

UISegmentedControl::UISegmentedControl(const std::vector<std::string>& titles) {
    for (const std::string& title : titles) {
        segments_.push_back({title, nullptr});
    }
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    sizeToFit();
}

UISegmentedControl::UISegmentedControl(const std::vector<UIImageRef>& images) {
    for (const UIImageRef& image : images) {
        segments_.push_back({std::nullopt, image});
    }
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    sizeToFit();
}

void UISegmentedControl::insert(Segment segment, long index) {
    index = std::clamp<long>(index, 0, numberOfSegments());
    segments_.insert(segments_.begin() + index, std::move(segment));
    if (selected_ >= index) {
        ++selected_;
    }
    setNeedsDisplay();
}

void UISegmentedControl::insertSegmentWithTitleAtIndexAnimated(const std::string& title, long index,
                                                               bool) {
    insert({title, nullptr}, index);
}

void UISegmentedControl::insertSegmentWithImageAtIndexAnimated(const UIImageRef& image, long index,
                                                               bool) {
    insert({std::nullopt, image}, index);
}

void UISegmentedControl::removeSegmentAtIndexAnimated(long index, bool) {
    if (!valid(index)) {
        return;
    }
    segments_.erase(segments_.begin() + index);
    if (selected_ == index) {
        selected_ = UISegmentedControlNoSegment;
    } else if (selected_ > index) {
        --selected_;
    }
    setNeedsDisplay();
}

void UISegmentedControl::removeAllSegments() {
    segments_.clear();
    selected_ = UISegmentedControlNoSegment;
    setNeedsDisplay();
}

std::optional<std::string> UISegmentedControl::titleForSegmentAtIndex(long index) const {
    return valid(index) ? segments_[size_t(index)].title : std::nullopt;
}

void UISegmentedControl::setTitleForSegmentAtIndex(const std::string& title, long index) {
    if (valid(index)) {
        segments_[size_t(index)].title = title;
        segments_[size_t(index)].image.reset();
        setNeedsDisplay();
    }
}

UIImageRef UISegmentedControl::imageForSegmentAtIndex(long index) const {
    return valid(index) ? segments_[size_t(index)].image : nullptr;
}

void UISegmentedControl::setImageForSegmentAtIndex(const UIImageRef& image, long index) {
    if (valid(index)) {
        segments_[size_t(index)].image = image;
        segments_[size_t(index)].title.reset();
        setNeedsDisplay();
    }
}

CGFloat UISegmentedControl::widthForSegmentAtIndex(long index) const {
    return valid(index) ? segments_[size_t(index)].width : 0;
}

void UISegmentedControl::setWidthForSegmentAtIndex(CGFloat width, long index) {
    if (valid(index)) {
        segments_[size_t(index)].width = std::max<CGFloat>(0, width);
        setNeedsDisplay();
    }
}

bool UISegmentedControl::isEnabledForSegmentAtIndex(long index) const {
    return valid(index) && segments_[size_t(index)].enabled;
}

void UISegmentedControl::setEnabledForSegmentAtIndex(bool enabled, long index) {
    if (valid(index)) {
        segments_[size_t(index)].enabled = enabled;
        setNeedsDisplay();
    }
}

void UISegmentedControl::setSelectedSegmentIndex(long index) {
    selected_ = valid(index) ? index : UISegmentedControlNoSegment;
    setNeedsDisplay();
}

CGRect UISegmentedControl::rectForSegmentAtIndex(long index) const {
    if (!valid(index)) {
        return CGRectZero;
    }
    const CGRect b = bounds();
    CGFloat fixed = 0;
    long shared = 0;
    for (const Segment& s : segments_) {
        fixed += s.width;
        shared += s.width > 0 ? 0 : 1;
    }
    const CGFloat share = shared > 0 ? std::max<CGFloat>(0, b.size.width - fixed) / shared : 0;
    CGFloat x = 0;
    for (long i = 0; i < index; ++i) {
        x += segments_[size_t(i)].width > 0 ? segments_[size_t(i)].width : share;
    }
    const CGFloat w = segments_[size_t(index)].width > 0 ? segments_[size_t(index)].width : share;
    return {{x, 0}, {w, b.size.height}};
}

long UISegmentedControl::segmentAt(CGPoint point) const {
    for (long i = 0; i < numberOfSegments(); ++i) {
        const CGRect r = rectForSegmentAtIndex(i);
        if (point.x >= r.origin.x && point.x < CGRectGetMaxX(r)) {
            return i;
        }
    }
    return UISegmentedControlNoSegment;
}

std::vector<UIVisibleText> UISegmentedControl::visibleTexts() const {
    std::vector<UIVisibleText> texts;
    for (long i = 0; i < numberOfSegments(); ++i) {
        if (const auto& title = segments_[size_t(i)].title) {
            texts.push_back({*title, rectForSegmentAtIndex(i)});
        }
    }
    return texts;
}

CGSize UISegmentedControl::sizeThatFits(CGSize) const {
    CGFloat widest = 0;
    CGFloat fixed = 0;
    long shared = 0;
    for (const Segment& s : segments_) {
        if (s.width > 0) {
            fixed += s.width;
            continue;
        }
        ++shared;
        const CGFloat content = s.title ? sizeWithFont(*s.title, segmentFont()).width
                                        : (s.image ? s.image->size().width : 0);
        widest = std::max(widest, content + 2 * kPadding);
    }
    return {std::ceil(fixed + widest * shared), kHeight};
}

void UISegmentedControl::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c) {
        return;
    }
    const UIColor tint = tintColor();
    const CGFloat line = 1;
    const CGRect outline = CGRectInset(bounds(), line / 2, line / 2);
    auto roundedPath = [&](const CGRect& r) {
        c->beginPath();
        c->moveToPoint(r.origin.x + kCornerRadius, r.origin.y);
        c->addArcToPoint(CGRectGetMaxX(r), r.origin.y, CGRectGetMaxX(r), CGRectGetMaxY(r),
                         kCornerRadius);
        c->addArcToPoint(CGRectGetMaxX(r), CGRectGetMaxY(r), r.origin.x, CGRectGetMaxY(r),
                         kCornerRadius);
        c->addArcToPoint(r.origin.x, CGRectGetMaxY(r), r.origin.x, r.origin.y, kCornerRadius);
        c->addArcToPoint(r.origin.x, r.origin.y, CGRectGetMaxX(r), r.origin.y, kCornerRadius);
        c->closePath();
    };
    c->saveGState();
    roundedPath(outline);
    c->clip();
    for (long i = 0; i < numberOfSegments(); ++i) {
        const Segment& s = segments_[size_t(i)];
        const CGRect r = rectForSegmentAtIndex(i);
        const bool pressed = i == touched_ && isHighlighted();
        // A momentary control fills the pressed segment; others tint it lightly.
        const bool chosen = momentary_ ? pressed : i == selected_;
        if (chosen) {
            c->setFillColorWithColor(tint.CGColor());
            c->fillRect(r);
        } else if (pressed) {
            c->setFillColorWithColor(tint.colorWithAlphaComponent(0.15).CGColor());
            c->fillRect(r);
        }
        UIColor ink = chosen ? UIColor::whiteColor() : tint;
        if (!s.enabled || !isEnabled()) {
            ink = ink.colorWithAlphaComponent(0.35);
        }
        if (s.title) {
            const CGFloat h = sizeWithFont(*s.title, segmentFont()).height;
            drawInRectWithAttributes(
                *s.title,
                {{r.origin.x + 4, CGRectGetMidY(r) - h / 2},
                 {std::max<CGFloat>(0, r.size.width - 8), h}},
                {segmentFont(), ink, NSTextAlignmentCenter, NSLineBreakByTruncatingTail, false});
        } else if (s.image) {
            const CGSize size = s.image->size();
            const CGRect place{{std::round(CGRectGetMidX(r) - size.width / 2),
                                std::round(CGRectGetMidY(r) - size.height / 2)},
                               size};
            if (s.image->renderingMode() == UIImageRenderingMode::AlwaysOriginal) {
                s.image->drawInRect(place);
            } else {
                s.image->imageTintedWithColor(ink)->drawInRect(place);
            }
        }
        if (i > 0) {
            c->setFillColorWithColor(tint.CGColor());
            c->fillRect({{r.origin.x - line / 2, 0}, {line, r.size.height}});
        }
    }
    c->restoreGState();
    roundedPath(outline);
    c->setStrokeColorWithColor(tint.CGColor());
    c->setLineWidth(line);
    c->strokePath();
}

bool UISegmentedControl::beginTrackingWithTouchWithEvent(UITouch& touch, UIEvent*) {
    touched_ =
        segmentAt(touch.locationInView(std::static_pointer_cast<UIView>(shared_from_this())));
    if (!isEnabledForSegmentAtIndex(touched_)) {
        touched_ = UISegmentedControlNoSegment;
        return false;
    }
    setNeedsDisplay();
    return true;
}

bool UISegmentedControl::continueTrackingWithTouchWithEvent(UITouch&, UIEvent*) {
    setNeedsDisplay();
    return true;
}

void UISegmentedControl::endTrackingWithTouchWithEvent(UITouch* touch, UIEvent*) {
    const long touched = touched_;
    touched_ = UISegmentedControlNoSegment;
    setNeedsDisplay();
    if (!touch || touched == UISegmentedControlNoSegment) {
        return;
    }
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    const CGPoint p = touch->locationInView(self);
    if (!CGRectContainsPoint(bounds(), p) || segmentAt(p) != touched) {
        return;
    }
    if (touched == selected_ && !momentary_) {
        return;
    }
    selected_ = touched;
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UISegmentedControl::cancelTrackingWithEvent(UIEvent*) {
    touched_ = UISegmentedControlNoSegment;
    setNeedsDisplay();
}
