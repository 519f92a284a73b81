#pragma once

#include <optional>

#include "UIKit/UIView.h"

enum UIActivityIndicatorViewStyle : long {
    UIActivityIndicatorViewStyleWhiteLarge,
    UIActivityIndicatorViewStyleWhite,
    UIActivityIndicatorViewStyleGray,
};

// A spinning wheel of twelve spokes (20 points, 37 for the large style);
// turning while animating, hidden when stopped if hidesWhenStopped.
class UIActivityIndicatorView : public UIView {
  public:
    explicit UIActivityIndicatorView(
        UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyleWhite);

    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    UIColor color() const;
    void setColor(const std::optional<UIColor>& color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool flag);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;
    // While it turns it reads "In progress", as screen readers say it,
    // unless it was given a label of its own.
    std::vector<UIVisibleText> visibleTexts() const override;

  private:
    UIActivityIndicatorViewStyle style_;
    std::optional<UIColor> color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};
