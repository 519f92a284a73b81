#pragma once

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIGestureRecognizer.h"

class NSTimer;

// A discrete gesture: numberOfTapsRequired taps of numberOfTouchesRequired
// fingers, each tap lifting without moving more than 10 points, the next
// starting within 0.35 s near the first.
class UITapGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;
    ~UITapGestureRecognizer() override;

    size_t numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(size_t n) { tapsRequired_ = n > 0 ? n : 1; }
    size_t numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(size_t n) { touchesRequired_ = n > 0 ? n : 1; }

    // Where the gesture happened (the first tap's position once lifted).
    CGPoint locationInView(const std::shared_ptr<UIView>& view) const override;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;
    bool isTracking() const override;

    static constexpr double kTapInterval = 0.35;
    static constexpr CGFloat kMovement = 10;

  private:
    void cancelTimer();
    void fail();

    size_t tapsRequired_ = 1;
    size_t touchesRequired_ = 1;
    size_t taps_ = 0;
    size_t touchesThisTap_ = 0;
    size_t lifted_ = 0;
    CGPoint start_{};
    CGPoint location_{};
    std::shared_ptr<NSTimer> timer_;
};
