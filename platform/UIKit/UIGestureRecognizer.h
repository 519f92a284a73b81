#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIEvent.h"

class UIGestureRecognizer;
class UIView;

enum UIGestureRecognizerState : long {
    UIGestureRecognizerStatePossible,
    UIGestureRecognizerStateBegan,
    UIGestureRecognizerStateChanged,
    UIGestureRecognizerStateEnded,
    UIGestureRecognizerStateCancelled,
    UIGestureRecognizerStateFailed,
    UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

// Optional hooks; the defaults let everything happen.
class UIGestureRecognizerDelegate {
  public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch&) {
        return true;
    }
    virtual bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
        UIGestureRecognizer&, UIGestureRecognizer&) {
        return false;
    }
};

// Turns touches on a view (or its subviews) into a gesture. Subclasses
// override the touch methods and move the state; the base class resolves
// what the state change means for other recognisers:
// - beginning (or recognising a discrete gesture) first asks the delegate
//   and the view; then waits while a recogniser this one requires to fail
//   is still deciding; then fails the recognisers sharing its touches that
//   may not recognise simultaneously, and the ones that require it to fail;
// - recognising cancels the touches in the view when cancelsTouchesInView;
// - actions are sent on began, changed, ended and cancelled;
// - once in a final state with no touches left, reset() makes it possible again.
class UIGestureRecognizer : public std::enable_shared_from_this<UIGestureRecognizer> {
  public:
    using Action = std::function<void(UIGestureRecognizer&)>;

    explicit UIGestureRecognizer(Action action = nullptr);
    virtual ~UIGestureRecognizer();

    // Target/action pairs become blocks; the returned id removes one.
    int addTarget(Action action);
    void removeTarget(int id);

    UIGestureRecognizerState state() const { return state_; }
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    void setView(const std::shared_ptr<UIView>& view) { view_ = view; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool flag) { cancelsTouchesInView_ = flag; }
    bool delaysTouchesBegan() const { return delaysTouchesBegan_; }
    void setDelaysTouchesBegan(bool flag) { delaysTouchesBegan_ = flag; }
    bool delaysTouchesEnded() const { return delaysTouchesEnded_; }
    void setDelaysTouchesEnded(bool flag) { delaysTouchesEnded_ = flag; }
    std::shared_ptr<UIGestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIGestureRecognizerDelegate> d) { delegate_ = std::move(d); }

    // This recogniser only recognises once other has failed.
    void requireGestureRecognizerToFail(const std::shared_ptr<UIGestureRecognizer>& other);

    // The centroid of the touches, in view's coordinates (the window's for nullptr).
    virtual CGPoint locationInView(const std::shared_ptr<UIView>& view) const;
    size_t numberOfTouches() const;
    CGPoint locationOfTouchInView(size_t index, const std::shared_ptr<UIView>& view) const;

    // Whether the two may recognise at once; overridable as on the phone.
    virtual bool canPreventGestureRecognizer(const UIGestureRecognizer&) const { return true; }
    virtual bool canBePreventedByGestureRecognizer(const UIGestureRecognizer&) const {
        return true;
    }

    // Touch input (from the window).
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);
    // Back to Possible, forgetting the gesture.
    virtual void reset();

    // Whether it is still deciding about a gesture under way (blocks those
    // that require it to fail).
    virtual bool isTracking() const;
    // Resets when final and without touches (the window calls it after each event).
    void resetIfFinished();
    // Touches tracked now; the window adds them before touchesBegan and
    // removes them after touchesEnded or touchesCancelled.
    const UITouchSet& activeTouches() const { return touches_; }
    void addTouch(const UITouchRef& touch);
    void removeTouch(const UITouchRef& touch);
    // Whether touches should reach it now (not failed, not waiting).
    bool acceptsTouches() const;

  protected:
    // The state machine; see the class comment.
    void setState(UIGestureRecognizerState state);
    void ignoreTouch(const UITouchRef& touch);

  private:
    void begin(UIGestureRecognizerState state);
    bool mayBegin();
    bool waitsForRequiredFailures() const;
    void preventOthers();
    void cancelTouchesInView();
    void sendActions();
    void didFail();
    void requirementResolved();
    bool sharesTouchesWith(const UIGestureRecognizer& other) const;
    bool recognizesSimultaneouslyWith(UIGestureRecognizer& other);

    UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
    std::optional<UIGestureRecognizerState> pending_;
    std::weak_ptr<UIView> view_;
    std::weak_ptr<UIGestureRecognizerDelegate> delegate_;
    std::vector<std::pair<int, Action>> actions_;
    int nextActionId_ = 1;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    bool delaysTouchesBegan_ = false;
    bool delaysTouchesEnded_ = true;
    UITouchSet touches_;
    std::vector<std::weak_ptr<UIGestureRecognizer>> required_;
    std::vector<std::weak_ptr<UIGestureRecognizer>> dependents_;
};

using UIGestureRecognizerRef = std::shared_ptr<UIGestureRecognizer>;
