#include "mapkit/ZELTwoFingerPanGestureRecognizer.h"

#include "Dispatch/NSTimer.h"

ZELTwoFingerPanGestureRecognizer::~ZELTwoFingerPanGestureRecognizer() {
    stopTimer();
}

void ZELTwoFingerPanGestureRecognizer::stopTimer() {
    if (recognitionTimer_)
        recognitionTimer_->invalidate();
    recognitionTimer_.reset();
}

void ZELTwoFingerPanGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    UIGestureRecognizer::touchesBegan(touches, event);
    size_t count = activeTouches().size();
    if (count >= 3) {
        stopTimer();
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    if (count != 2)
        return;
    stopTimer();
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    recognitionTimer_ =
        NSTimer::scheduledTimerWithTimeInterval(kRecognitionDelay, false, [weak](NSTimer&) {
            if (auto self = std::static_pointer_cast<ZELTwoFingerPanGestureRecognizer>(weak.lock()))
                self->recognitionTimerFired();
        });
}

void ZELTwoFingerPanGestureRecognizer::recognitionTimerFired() {
    recognitionTimer_.reset();
    if (state() == UIGestureRecognizerStatePossible)
        setState(UIGestureRecognizerStateBegan);
}

void ZELTwoFingerPanGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    UIGestureRecognizer::touchesMoved(touches, event);
    if (state() == UIGestureRecognizerStateBegan || state() == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateChanged);
}

void ZELTwoFingerPanGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    UIGestureRecognizer::touchesEnded(touches, event);
    stopTimer();
    if (state() == UIGestureRecognizerStateBegan || state() == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateEnded);
    else if (state() == UIGestureRecognizerStatePossible)
        setState(UIGestureRecognizerStateFailed);
}

void ZELTwoFingerPanGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    stopTimer();
    // A running measurement is cancelled (its action hides the ruler);
    // one still waiting fails.
    UIGestureRecognizer::touchesCancelled(touches, event);
}

void ZELTwoFingerPanGestureRecognizer::reset() {
    stopTimer();
    UIGestureRecognizer::reset();
}
