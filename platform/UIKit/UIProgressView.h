#pragma once

#include <optional>

#include "UIKit/UIView.h"

enum UIProgressViewStyle : long { UIProgressViewStyleDefault, UIProgressViewStyleBar };

// A bar filled to progress (0...1) in the progress tint over the track tint.
class UIProgressView : public UIView {
  public:
    explicit UIProgressView(UIProgressViewStyle style = UIProgressViewStyleDefault);
    explicit UIProgressView(const CGRect& frame);

    float progress() const { return progress_; }
    void setProgress(float progress);
    void setProgressAnimated(float progress, bool animated);
    UIProgressViewStyle progressViewStyle() const { return style_; }
    void setProgressViewStyle(UIProgressViewStyle style);
    std::optional<UIColor> progressTintColor() const { return progressTint_; }
    void setProgressTintColor(const std::optional<UIColor>& color);
    std::optional<UIColor> trackTintColor() const { return trackTint_; }
    void setTrackTintColor(const std::optional<UIColor>& color);

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void tintColorDidChange() override;

  private:
    void build();

    UIProgressViewStyle style_ = UIProgressViewStyleDefault;
    float progress_ = 0;
    std::optional<UIColor> progressTint_;
    std::optional<UIColor> trackTint_;
    std::shared_ptr<UIView> fill_;
};
