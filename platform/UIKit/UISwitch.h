#pragma once

#include <optional>

#include "UIKit/UIControl.h"

// An on/off switch of a fixed size: a rounded track, filled with the on
// tint colour while on, and a white knob. A tap flips it and sends value
// changed; setting it in code sends nothing.
class UISwitch : public UIControl {
  public:
    static constexpr CGSize kSize{51, 31};

    explicit UISwitch(const CGRect& frame = CGRectZero);

    bool isOn() const { return on_; }
    void setOn(bool on) { setOnAnimated(on, false); }
    void setOnAnimated(bool on, bool animated);
    // Green unless set.
    UIColor onTintColor() const;
    void setOnTintColor(const std::optional<UIColor>& color);

    void setFrame(const CGRect& frame) override;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;
    void endTrackingWithTouchWithEvent(UITouch* touch, UIEvent* event) override;

  private:
    bool on_ = false;
    std::optional<UIColor> onTintColor_;
};
