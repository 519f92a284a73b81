#include "widgets/ZELShadowAnimatingView.h"

#include "QuartzCore/CAAnimation.h"

ZELShadowAnimatingView::ZELShadowAnimatingView() : UIView(CGRectZero) {
    shadowAnimationDuration_ = 0.5;
}

std::optional<std::shared_ptr<CAAnimation>> ZELShadowAnimatingView::actionForLayerForKey(
    CALayer& layer, const std::string& key) {
    auto own = UIView::actionForLayerForKey(layer, key);
    if (own && *own)
        return own;
    const bool shadow = key == "shadowOffset" || key == "shadowPath" || key == "shadowOpacity" ||
                        key == "shadowRadius";
    if (!shadow || shadowAnimationDuration_ <= 0)
        return own;
    auto animation = CABasicAnimation::animationWithKeyPath(key);
    animation->setDuration(shadowAnimationDuration_);
    return std::shared_ptr<CAAnimation>(animation);
}
