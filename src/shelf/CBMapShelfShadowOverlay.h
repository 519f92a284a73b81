#pragma once

#include <memory>

#include "UIKit/UIView.h"

class CAGradientLayer;

// A transparent view with inner shadows 15 points deep along its top, left
// and right edges; it takes no touches. The root container lays it over the
// shelf while a map shrinks back into its cover.
class CBMapShelfShadowOverlay : public UIView {
  public:
    static constexpr CGFloat kDepth = 15;

    explicit CBMapShelfShadowOverlay(const CGRect& frame = CGRectZero);

    const std::shared_ptr<CAGradientLayer>& left() const { return left_; }
    const std::shared_ptr<CAGradientLayer>& top() const { return top_; }
    const std::shared_ptr<CAGradientLayer>& right() const { return right_; }
    // The top shadow always shows.
    void showSideShadows(bool show);

    void layoutSubviews() override;

  private:
    std::shared_ptr<CAGradientLayer> left_;
    std::shared_ptr<CAGradientLayer> top_;
    std::shared_ptr<CAGradientLayer> right_;
};
