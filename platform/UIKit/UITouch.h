#pragma once

#include <memory>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class UIView;
class UIWindow;
class UIGestureRecognizer;

enum UITouchPhase : long {
    UITouchPhaseBegan,
    UITouchPhaseMoved,
    UITouchPhaseStationary,
    UITouchPhaseEnded,
    UITouchPhaseCancelled,
};

// One finger on the screen, from touch-down to lift-off. Positions are kept
// in window coordinates.
class UITouch {
  public:
    UITouchPhase phase() const { return phase_; }
    long tapCount() const { return tapCount_; }
    double timestamp() const { return timestamp_; }
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    std::shared_ptr<UIWindow> window() const { return window_.lock(); }
    // In view's coordinates; in the window's for nullptr.
    CGPoint locationInView(const std::shared_ptr<UIView>& view) const;
    CGPoint previousLocationInView(const std::shared_ptr<UIView>& view) const;
    // The recognisers that receive this touch.
    std::vector<std::shared_ptr<UIGestureRecognizer>> gestureRecognizers() const;

    // Set by the window that delivers the touch.
    void setPhase(UITouchPhase phase) { phase_ = phase; }
    void setTapCount(long count) { tapCount_ = count; }
    void setTimestamp(double t) { timestamp_ = t; }
    void setView(const std::shared_ptr<UIView>& view) { view_ = view; }
    void setWindow(const std::shared_ptr<UIWindow>& window) { window_ = window; }
    void setWindowLocation(CGPoint point);
    CGPoint windowLocation() const { return location_; }
    void setGestureRecognizers(std::vector<std::weak_ptr<UIGestureRecognizer>> recognizers) {
        recognizers_ = std::move(recognizers);
    }
    // Recognisers removed from this touch (they failed or gave it up).
    void removeGestureRecognizer(const UIGestureRecognizer* recognizer);
    // Whether the view still receives the touch (no recogniser cancelled it).
    bool deliversToView() const { return deliversToView_; }
    void setDeliversToView(bool flag) { deliversToView_ = flag; }
    bool viewTouchBegan() const { return viewTouchBegan_; }
    void setViewTouchBegan(bool flag) { viewTouchBegan_ = flag; }

  private:
    UITouchPhase phase_ = UITouchPhaseBegan;
    long tapCount_ = 1;
    double timestamp_ = 0;
    std::weak_ptr<UIView> view_;
    std::weak_ptr<UIWindow> window_;
    CGPoint location_{};
    CGPoint previous_{};
    std::vector<std::weak_ptr<UIGestureRecognizer>> recognizers_;
    bool deliversToView_ = true;
    bool viewTouchBegan_ = false;
};

using UITouchRef = std::shared_ptr<UITouch>;
using UITouchSet = std::vector<UITouchRef>;
