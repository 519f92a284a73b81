#pragma once

#include "UIKit/UIGestureRecognizer.h"

// Two fingers turning: rotation in radians since the start (clockwise
// positive on screen); it begins after 0.05 rad and ends when fewer than two
// fingers remain.
class UIRotationGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;

    CGFloat rotation() const { return rotation_; }
    void setRotation(CGFloat rotation);
    CGFloat velocity() const { return velocity_; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    CGFloat angle() const;

    CGFloat rotation_ = 0;
    CGFloat velocity_ = 0;
    CGFloat initialAngle_ = 0;
    double lastTime_ = 0;
};
