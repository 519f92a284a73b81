#pragma once

#include <memory>
#include <vector>

#include "UIKit/UITouch.h"

enum UIEventType : long { UIEventTypeTouches, UIEventTypeMotion, UIEventTypeRemoteControl };

// The touches of one moment.
class UIEvent {
  public:
    UIEventType type() const { return UIEventTypeTouches; }
    double timestamp() const { return timestamp_; }
    const UITouchSet& allTouches() const { return touches_; }
    UITouchSet touchesForView(const std::shared_ptr<UIView>& view) const;

    UIEvent(UITouchSet touches, double timestamp)
        : touches_(std::move(touches)), timestamp_(timestamp) {}

  private:
    UITouchSet touches_;
    double timestamp_;
};
