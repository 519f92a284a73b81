#pragma once

#include "UIKit/UIView.h"

// A view whose layer animates changes of its shadow (offset, path, opacity,
// radius) over shadowAnimationDuration seconds when UIKit has no animation
// of its own for them. Made with no frame the duration is 0.5 s; with a
// frame it is 0 (no animation) until set.
class ZELShadowAnimatingView : public UIView {
  public:
    ZELShadowAnimatingView();
    explicit ZELShadowAnimatingView(const CGRect& frame) : UIView(frame) {}

    double shadowAnimationDuration() const { return shadowAnimationDuration_; }
    void setShadowAnimationDuration(double seconds) { shadowAnimationDuration_ = seconds; }

    std::optional<std::shared_ptr<CAAnimation>> actionForLayerForKey(
        CALayer& layer, const std::string& key) override;
    // The answer of such a view, for any view to give: UIKit's own action
    // when there is one, else for a shadow key a basic animation of that key
    // over `duration` seconds (none for 0).
    static std::optional<std::shared_ptr<CAAnimation>> shadowActionForKey(
        std::optional<std::shared_ptr<CAAnimation>> own, const std::string& key, double duration);

  private:
    double shadowAnimationDuration_ = 0;
};
