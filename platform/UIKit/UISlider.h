#pragma once

#include <optional>

#include "UIKit/UIControl.h"

// A value between a minimum and a maximum chosen by dragging a thumb along
// a track (a touch anywhere on the track moves the thumb there). The track
// left of the thumb takes the minimum track tint (the tint colour when
// unset). Continuous sliders send value changed while the finger moves,
// others once when it lifts; setting the value in code sends nothing.
class UISlider : public UIControl {
  public:
    static constexpr CGFloat kHeight = 31;

    explicit UISlider(const CGRect& frame = CGRectZero);

    float value() const { return value_; }
    // Clamped to the range.
    void setValue(float value) { setValueAnimated(value, false); }
    void setValueAnimated(float value, bool animated);
    float minimumValue() const { return minimum_; }
    // The other end and the value move along when they would cross.
    void setMinimumValue(float value);
    float maximumValue() const { return maximum_; }
    void setMaximumValue(float value);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool flag) { continuous_ = flag; }
    const std::optional<UIColor>& minimumTrackTintColor() const { return minimumTint_; }
    void setMinimumTrackTintColor(const std::optional<UIColor>& color);
    const std::optional<UIColor>& maximumTrackTintColor() const { return maximumTint_; }
    void setMaximumTrackTintColor(const std::optional<UIColor>& color);

    // The thumb's rect in bounds coordinates.
    CGRect thumbRect() const;

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;
    void tintColorDidChange() override { setNeedsDisplay(); }
    bool beginTrackingWithTouchWithEvent(UITouch& touch, UIEvent* event) override;
    bool continueTrackingWithTouchWithEvent(UITouch& touch, UIEvent* event) override;
    void endTrackingWithTouchWithEvent(UITouch* touch, UIEvent* event) override;

  private:
    void follow(UITouch& touch, bool send);

    float value_ = 0;
    float minimum_ = 0;
    float maximum_ = 1;
    bool continuous_ = true;
    bool changedWhileTracking_ = false;
    std::optional<UIColor> minimumTint_;
    std::optional<UIColor> maximumTint_;
};
