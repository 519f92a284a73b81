#pragma once

#include <memory>
#include <utility>

#include "UIKit/UIButton.h"

class UIActivityIndicatorView;

// An attachment button that spins while its file is still downloading.
class BITActivityIndicatorButton : public UIButton {
  public:
    using UIButton::UIButton;

    void setShowsActivityIndicator(bool show);
    bool indicatorVisible() const { return indicatorVisible_; }
    void setIndicatorVisible(bool visible) { indicatorVisible_ = visible; }
    const std::shared_ptr<UIActivityIndicatorView>& indicator() const { return indicator_; }
    void setIndicator(std::shared_ptr<UIActivityIndicatorView> indicator) {
        indicator_ = std::move(indicator);
    }
    void layoutSubviews() override;

  private:
    bool indicatorVisible_ = false;
    std::shared_ptr<UIActivityIndicatorView> indicator_;
};
