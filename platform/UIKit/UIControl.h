#pragma once

#include <functional>
#include <vector>

#include "UIKit/UIView.h"

enum UIControlEvents : unsigned {
    UIControlEventTouchDown = 1 << 0,
    UIControlEventTouchDownRepeat = 1 << 1,
    UIControlEventTouchDragInside = 1 << 2,
    UIControlEventTouchDragOutside = 1 << 3,
    UIControlEventTouchDragEnter = 1 << 4,
    UIControlEventTouchDragExit = 1 << 5,
    UIControlEventTouchUpInside = 1 << 6,
    UIControlEventTouchUpOutside = 1 << 7,
    UIControlEventTouchCancel = 1 << 8,
    UIControlEventValueChanged = 1 << 12,
    UIControlEventEditingDidBegin = 1 << 16,
    UIControlEventEditingChanged = 1 << 17,
    UIControlEventEditingDidEnd = 1 << 18,
    UIControlEventEditingDidEndOnExit = 1 << 19,
    UIControlEventAllTouchEvents = 0x00000FFF,
    UIControlEventAllEditingEvents = 0x000F0000,
    UIControlEventAllEvents = 0xFFFFFFFF,
};

enum UIControlState : unsigned {
    UIControlStateNormal = 0,
    UIControlStateHighlighted = 1 << 0,
    UIControlStateDisabled = 1 << 1,
    UIControlStateSelected = 1 << 2,
};

enum UIControlContentHorizontalAlignment : long {
    UIControlContentHorizontalAlignmentCenter,
    UIControlContentHorizontalAlignmentLeft,
    UIControlContentHorizontalAlignmentRight,
    UIControlContentHorizontalAlignmentFill,
};

enum UIControlContentVerticalAlignment : long {
    UIControlContentVerticalAlignmentCenter,
    UIControlContentVerticalAlignmentTop,
    UIControlContentVerticalAlignmentBottom,
    UIControlContentVerticalAlignmentFill,
};

// A view that turns touches into control events sent to its actions
// (target/action pairs become blocks taking the control). A touch is inside
// while within 70 points of the bounds, as on the phone.
class UIControl : public UIView {
  public:
    using Action = std::function<void(UIControl& sender)>;

    explicit UIControl(const CGRect& frame = CGRectZero);

    // Returns an id for removeTarget.
    int addTargetForControlEvents(Action action, unsigned events);
    void removeTarget(int id);
    void removeAllTargets();
    void sendActionsForControlEvents(unsigned events);
    // The events some action listens for.
    unsigned allControlEvents() const;

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    unsigned state() const;
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    UIControlContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
    void setContentHorizontalAlignment(UIControlContentHorizontalAlignment a);
    UIControlContentVerticalAlignment contentVerticalAlignment() const { return vAlign_; }
    void setContentVerticalAlignment(UIControlContentVerticalAlignment a);

    // Tracking hooks; false from begin or continue stops tracking.
    virtual bool beginTrackingWithTouchWithEvent(UITouch&, UIEvent*) { return true; }
    virtual bool continueTrackingWithTouchWithEvent(UITouch&, UIEvent*) { return true; }
    virtual void endTrackingWithTouchWithEvent(UITouch*, UIEvent*) {}
    virtual void cancelTrackingWithEvent(UIEvent*) {}

    // A single tap is the control's own when it acts on touch up inside:
    // a tap recogniser of a view around it then does not begin.
    bool gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) override;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  protected:
    // Called when enabled, selected or highlighted change.
    virtual void stateDidChange() { setNeedsDisplay(); }

  private:
    bool isInside(const UITouch& touch) const;

    struct Target {
        int id;
        Action action;
        unsigned events;
    };
    std::vector<Target> targets_;
    int nextId_ = 1;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    UIControlContentHorizontalAlignment hAlign_ = UIControlContentHorizontalAlignmentCenter;
    UIControlContentVerticalAlignment vAlign_ = UIControlContentVerticalAlignmentCenter;
};
