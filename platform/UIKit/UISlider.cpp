#include "UIKit/UISlider.h"

#include <algorithm>

#include "UIKit/UIGraphics.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kThumb = 28;
constexpr CGFloat kTrack = 2;

}  // namespace

UISlider::UISlider(const CGRect& frame) : UIControl(frame) {
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

void UISlider::setValueAnimated(float value, bool) {
    value = std::clamp(value, minimum_, maximum_);
    if (value != value_) {
        value_ = value;
        setNeedsDisplay();
    }
}

void UISlider::setMinimumValue(float value) {
    minimum_ = value;
    maximum_ = std::max(maximum_, value);
    setValue(value_);
    setNeedsDisplay();
}

void UISlider::setMaximumValue(float value) {
    maximum_ = value;
    minimum_ = std::min(minimum_, value);
    setValue(value_);
    setNeedsDisplay();
}

void UISlider::setMinimumTrackTintColor(const std::optional<UIColor>& color) {
    minimumTint_ = color;
    setNeedsDisplay();
}

void UISlider::setMaximumTrackTintColor(const std::optional<UIColor>& color) {
    maximumTint_ = color;
    setNeedsDisplay();
}

CGRect UISlider::thumbRect() const {
    const CGRect b = bounds();
    const float span = maximum_ - minimum_;
    const CGFloat f = span > 0 ? (value_ - minimum_) / span : 0;
    const CGFloat travel = std::max<CGFloat>(0, b.size.width - kThumb);
    return {{travel * f, (b.size.height - kThumb) / 2}, {kThumb, kThumb}};
}

CGSize UISlider::sizeThatFits(CGSize size) const {
    return {std::max<CGFloat>(size.width, kThumb), kHeight};
}

void UISlider::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c) {
        return;
    }
    const CGRect b = bounds();
    const CGRect thumb = thumbRect();
    const CGFloat y = (b.size.height - kTrack) / 2;
    const CGFloat split = CGRectGetMidX(thumb);
    c->setFillColorWithColor(minimumTint_.value_or(tintColor()).CGColor());
    c->fillRect({{kThumb / 2, y}, {std::max<CGFloat>(0, split - kThumb / 2), kTrack}});
    c->setFillColorWithColor(
        maximumTint_.value_or(UIColor::colorWithWhiteAlpha(0.72, 1)).CGColor());
    c->fillRect({{split, y}, {std::max<CGFloat>(0, b.size.width - kThumb / 2 - split), kTrack}});
    c->saveGState();
    c->setShadowWithColor({0, 2}, 4, UIColor::colorWithWhiteAlpha(0, 0.3).CGColor());
    c->setFillColorWithColor(UIColor::whiteColor().CGColor());
    c->fillEllipseInRect(CGRectInset(thumb, 1, 1));
    c->restoreGState();
    c->setStrokeColorWithColor(UIColor::colorWithWhiteAlpha(0, 0.1).CGColor());
    c->setLineWidth(0.5);
    c->strokeEllipseInRect(CGRectInset(thumb, 1, 1));
}

void UISlider::follow(UITouch& touch, bool send) {
    const CGPoint p = touch.locationInView(std::static_pointer_cast<UIView>(shared_from_this()));
    const CGFloat travel = std::max<CGFloat>(1, bounds().size.width - kThumb);
    const CGFloat f = std::clamp<CGFloat>((p.x - kThumb / 2) / travel, 0, 1);
    const float old = value_;
    setValue(minimum_ + float(f) * (maximum_ - minimum_));
    if (value_ != old) {
        changedWhileTracking_ = true;
        if (send) {
            sendActionsForControlEvents(UIControlEventValueChanged);
        }
    }
}

bool UISlider::beginTrackingWithTouchWithEvent(UITouch& touch, UIEvent*) {
    changedWhileTracking_ = false;
    follow(touch, continuous_);
    return true;
}

bool UISlider::continueTrackingWithTouchWithEvent(UITouch& touch, UIEvent*) {
    follow(touch, continuous_);
    return true;
}

void UISlider::endTrackingWithTouchWithEvent(UITouch* touch, UIEvent*) {
    if (touch) {
        follow(*touch, continuous_);
    }
    if (!continuous_ && changedWhileTracking_) {
        sendActionsForControlEvents(UIControlEventValueChanged);
    }
    changedWhileTracking_ = false;
}
