#include "UIKit/UISwitch.h"

#include <numbers>

#include "UIKit/UIGraphics.h"
#include "UIKit/UITouch.h"

UISwitch::UISwitch(const CGRect& frame) : UIControl({frame.origin, kSize}) {
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

void UISwitch::setFrame(const CGRect& frame) {
    // The switch keeps its size wherever it is put.
    UIControl::setFrame({frame.origin, kSize});
}

CGSize UISwitch::sizeThatFits(CGSize) const {
    return kSize;
}

void UISwitch::setOnAnimated(bool on, bool) {
    if (on_ != on) {
        on_ = on;
        setNeedsDisplay();
    }
}

UIColor UISwitch::onTintColor() const {
    return onTintColor_.value_or(UIColor::colorWithRedGreenBlueAlpha(0.3, 0.85, 0.39, 1));
}

void UISwitch::setOnTintColor(const std::optional<UIColor>& color) {
    onTintColor_ = color;
    setNeedsDisplay();
}

void UISwitch::drawRect(const CGRect&) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c) {
        return;
    }
    const CGRect b = bounds();
    const CGFloat r = b.size.height / 2;
    c->beginPath();
    c->addArc(r, r, r, std::numbers::pi / 2, 3 * std::numbers::pi / 2, false);
    c->addArc(b.size.width - r, r, r, 3 * std::numbers::pi / 2, std::numbers::pi / 2, false);
    c->closePath();
    c->setFillColorWithColor(
        (on_ ? onTintColor() : UIColor::colorWithWhiteAlpha(0.9, 1)).CGColor());
    c->fillPath();
    const CGFloat knob = b.size.height - 4;
    const CGFloat x = on_ ? b.size.width - 2 - knob : 2;
    c->saveGState();
    c->setShadowWithColor({0, 1}, 3, UIColor::colorWithWhiteAlpha(0, 0.3).CGColor());
    c->setFillColorWithColor(UIColor::whiteColor().CGColor());
    c->fillEllipseInRect({{x, 2}, {knob, knob}});
    c->restoreGState();
    if (!isEnabled()) {
        c->setFillColorWithColor(UIColor::colorWithWhiteAlpha(1, 0.5).CGColor());
        c->fillRect(b);
    }
}

void UISwitch::endTrackingWithTouchWithEvent(UITouch* touch, UIEvent*) {
    if (!touch) {
        return;
    }
    const CGPoint p = touch->locationInView(std::static_pointer_cast<UIView>(shared_from_this()));
    if (CGRectContainsPoint(CGRectInset(bounds(), -10, -10), p)) {
        setOnAnimated(!on_, true);
        sendActionsForControlEvents(UIControlEventValueChanged);
    }
}
