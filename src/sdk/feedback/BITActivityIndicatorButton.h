#pragma once

#include <memory>

#include "UIKit/UIButton.h"

class UIActivityIndicatorView;

// An attachment button that spins while its file is still downloading.
class BITActivityIndicatorButton : public UIButton {
  public:
    using UIButton::UIButton;

    void setShowsActivityIndicator(bool show);
    bool indicatorVisible() const { return indicatorVisible_; }
    const std::shared_ptr<UIActivityIndicatorView>& indicator() const { return indicator_; }
    void layoutSubviews() override;

  private:
    bool indicatorVisible_ = false;
    std::shared_ptr<UIActivityIndicatorView> indicator_;
};
