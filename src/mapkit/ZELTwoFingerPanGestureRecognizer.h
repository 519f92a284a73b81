#pragma once

#include <memory>

#include "UIKit/UIGestureRecognizer.h"

class NSTimer;

// Two fingers resting on the map for 0.6 s: begins when the timer fires
// (moving meanwhile does not fail it), changes as they move, ends when one
// lifts. A third finger, or lifting before the timer, fails it.
class ZELTwoFingerPanGestureRecognizer : public UIGestureRecognizer {
  public:
    static constexpr double kRecognitionDelay = 0.6;

    using UIGestureRecognizer::UIGestureRecognizer;
    ~ZELTwoFingerPanGestureRecognizer() override;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;
    // The timer's action.
    void recognitionTimerFired();

  private:
    void stopTimer();
    std::shared_ptr<NSTimer> recognitionTimer_;
};
