#pragma once

#include <memory>
#include <optional>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UITouch.h"

class UIWindow;

// Turns mouse and wheel input (in window points) into touches for a window:
// the mouse is one finger; with the modifier held at press, a second finger
// mirrors it around the window's centre (pinch, rotate, two-finger tap); with
// the second modifier (Shift) held, three fingers side by side, 30 points
// apart, move together (three-finger taps and swipes); a wheel step is a
// quick pinch around the cursor, its two fingers both on the window and on
// the view that the cursor's pinch belongs to (side by side, one above the
// other or slanted, closer together near an edge). Timestamps come from the
// frame clock.
class HostTouchInput {
  public:
    explicit HostTouchInput(std::shared_ptr<UIWindow> window) : window_(std::move(window)) {}

    void mouseDown(CGPoint point, bool modifier, bool threeFingers = false);
    void mouseMoved(CGPoint point);
    void mouseUp(CGPoint point);
    // steps > 0 zooms in, < 0 out; each step scales by 1.25.
    void wheel(CGPoint point, CGFloat steps);
    bool isTouching() const { return !touches_.empty(); }
    // Where the mouse's finger was put or moved last.
    CGPoint lastPoint() const { return lastPoint_; }

  private:
    // Where a wheel step's fingers go down: `radius` on either side of
    // `centre` along `direction`.
    struct WheelFingers {
        CGPoint centre;
        CGPoint direction;
        CGFloat radius;
    };
    WheelFingers wheelFingers(CGPoint point) const;
    CGPoint mirror(CGPoint point) const;
    // Where every finger is while the mouse is at point.
    std::vector<CGPoint> fingers(CGPoint point) const;
    void send(UITouchPhase phase, const std::vector<CGPoint>& points);

    std::shared_ptr<UIWindow> window_;
    UITouchSet touches_;
    double lastTapTime_ = -1;
    CGPoint lastTapPoint_{};
    CGPoint lastPoint_{};
    long tapCount_ = 0;
    bool threeFingers_ = false;
};
