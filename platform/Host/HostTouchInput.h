#pragma once

#include <memory>
#include <optional>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UITouch.h"

class UIGestureRecognizer;
class UIWindow;

// Turns mouse and wheel input (in window points) into touches for a window:
// the mouse is one finger; with the modifier held at press, a second finger
// mirrors it around the window's centre (pinch, rotate, two-finger tap); with
// the second modifier (Shift) held, three fingers side by side, 30 points
// apart, move together (three-finger taps and swipes). A wheel step acts on
// what HostWheelTargetAtPoint finds under the cursor: a quick two-finger
// pinch around the cursor, handed to that pinch alone wherever its fingers
// land, or a scroll of 48 points. Timestamps come from the frame clock.
class HostTouchInput {
  public:
    explicit HostTouchInput(std::shared_ptr<UIWindow> window) : window_(std::move(window)) {}

    void mouseDown(CGPoint point, bool modifier, bool threeFingers = false);
    void mouseMoved(CGPoint point);
    void mouseUp(CGPoint point);
    // steps > 0 zooms in or shows what is above, < 0 zooms out or shows what
    // is below; each step scales by 1.25 or scrolls 48 points.
    void wheel(CGPoint point, CGFloat steps);
    bool isTouching() const { return !touches_.empty(); }
    // Where the mouse's finger was put or moved last.
    CGPoint lastPoint() const { return lastPoint_; }

  private:
    void wheelPinch(CGPoint point, CGFloat steps,
                    const std::shared_ptr<UIGestureRecognizer>& pinch);
    CGPoint mirror(CGPoint point) const;
    // Where every finger is while the mouse is at point.
    std::vector<CGPoint> fingers(CGPoint point) const;
    // To the window's hit testing, or to only that recogniser.
    void send(UITouchPhase phase, const std::vector<CGPoint>& points,
              const std::shared_ptr<UIGestureRecognizer>& only = nullptr);

    std::shared_ptr<UIWindow> window_;
    UITouchSet touches_;
    double lastTapTime_ = -1;
    CGPoint lastTapPoint_{};
    CGPoint lastPoint_{};
    long tapCount_ = 0;
    bool threeFingers_ = false;
};
