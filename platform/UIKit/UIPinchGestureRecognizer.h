#pragma once

#include "UIKit/UIGestureRecognizer.h"

// Two fingers moving apart or together: scale is the distance between them
// over the distance at the start; it begins once the distance changed by 3
// points and ends when fewer than two fingers remain.
class UIPinchGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;

    CGFloat scale() const { return scale_; }
    void setScale(CGFloat scale);
    // Scale per second.
    CGFloat velocity() const { return velocity_; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    CGFloat distance() const;

    CGFloat scale_ = 1;
    CGFloat velocity_ = 0;
    CGFloat initialDistance_ = 0;
    double lastTime_ = 0;
};
