#include "UIKit/UIControl.h"

#include <algorithm>

#include "UIKit/UITapGestureRecognizer.h"

namespace {

constexpr CGFloat kTouchMargin = 70;

}  // namespace

UIControl::UIControl(const CGRect& frame) : UIView(frame) {}

int UIControl::addTargetForControlEvents(Action action, unsigned events) {
    const int id = nextId_++;
    targets_.push_back({id, std::move(action), events});
    return id;
}

void UIControl::removeTarget(int id) {
    std::erase_if(targets_, [id](const Target& t) { return t.id == id; });
}

void UIControl::removeAllTargets() {
    targets_.clear();
}

void UIControl::sendActionsForControlEvents(unsigned events) {
    std::shared_ptr<UIResponder> keep = shared_from_this();
    const auto targets = targets_;
    for (const Target& target : targets) {
        if ((target.events & events) && target.action) {
            target.action(*this);
        }
    }
}

unsigned UIControl::allControlEvents() const {
    unsigned events = 0;
    for (const Target& target : targets_) {
        events |= target.events;
    }
    return events;
}

void UIControl::setEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        if (!enabled) {
            highlighted_ = false;
        }
        stateDidChange();
    }
}

void UIControl::setSelected(bool selected) {
    if (selected_ != selected) {
        selected_ = selected;
        stateDidChange();
    }
}

void UIControl::setHighlighted(bool highlighted) {
    if (highlighted_ != highlighted) {
        highlighted_ = highlighted;
        stateDidChange();
    }
}

unsigned UIControl::state() const {
    unsigned s = UIControlStateNormal;
    if (highlighted_) {
        s |= UIControlStateHighlighted;
    }
    if (!enabled_) {
        s |= UIControlStateDisabled;
    }
    if (selected_) {
        s |= UIControlStateSelected;
    }
    return s;
}

void UIControl::setContentHorizontalAlignment(UIControlContentHorizontalAlignment a) {
    hAlign_ = a;
    setNeedsLayout();
}

void UIControl::setContentVerticalAlignment(UIControlContentVerticalAlignment a) {
    vAlign_ = a;
    setNeedsLayout();
}

bool UIControl::isInside(const UITouch& touch) const {
    const CGPoint p = convertPointFromView(touch.windowLocation(), nullptr);
    return CGRectContainsPoint(CGRectInset(bounds(), -kTouchMargin, -kTouchMargin), p);
}

void UIControl::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (!enabled_ || touches.empty()) {
        return;
    }
    UITouch& touch = *touches.front();
    touchInside_ = true;
    tracking_ = beginTrackingWithTouchWithEvent(touch, event);
    setHighlighted(true);
    unsigned events = UIControlEventTouchDown;
    if (touch.tapCount() > 1) {
        events |= UIControlEventTouchDownRepeat;
    }
    sendActionsForControlEvents(events);
}

void UIControl::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (!enabled_ || touches.empty()) {
        return;
    }
    UITouch& touch = *touches.front();
    const bool inside = isInside(touch);
    const bool wasInside = touchInside_;
    touchInside_ = inside;
    setHighlighted(inside);
    if (tracking_) {
        tracking_ = continueTrackingWithTouchWithEvent(touch, event);
    }
    unsigned events = inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    if (inside != wasInside) {
        events |= inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    }
    sendActionsForControlEvents(events);
}

void UIControl::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (!enabled_ || touches.empty()) {
        return;
    }
    UITouch& touch = *touches.front();
    const bool inside = isInside(touch);
    touchInside_ = inside;
    if (tracking_) {
        endTrackingWithTouchWithEvent(&touch, event);
    }
    tracking_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(inside ? UIControlEventTouchUpInside
                                       : UIControlEventTouchUpOutside);
}

void UIControl::touchesCancelled(const UITouchSet&, UIEvent* event) {
    if (tracking_) {
        cancelTrackingWithEvent(event);
    }
    tracking_ = false;
    touchInside_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(UIControlEventTouchCancel);
}

bool UIControl::gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) {
    const auto* tap = dynamic_cast<const UITapGestureRecognizer*>(&recognizer);
    if (tap && recognizer.view().get() != this && tap->numberOfTapsRequired() == 1 &&
        tap->numberOfTouchesRequired() == 1 && isEnabled() &&
        (allControlEvents() & UIControlEventTouchUpInside))
        return false;
    return UIView::gestureRecognizerShouldBegin(recognizer);
}
