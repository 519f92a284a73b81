#pragma once

#include "UIKit/UIGestureRecognizer.h"

class NSTimer;

// A continuous gesture: fingers held still (within allowableMovement) for
// minimumPressDuration begin it; moving changes it; lifting ends it.
class UILongPressGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;
    ~UILongPressGestureRecognizer() override;

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
    CGFloat allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(CGFloat points) { allowableMovement_ = points; }
    size_t numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(size_t n) { touchesRequired_ = n > 0 ? n : 1; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    void cancelTimer();

    double minimumPressDuration_ = 0.5;
    CGFloat allowableMovement_ = 10;
    size_t touchesRequired_ = 1;
    CGPoint start_{};
    std::shared_ptr<NSTimer> timer_;
};
