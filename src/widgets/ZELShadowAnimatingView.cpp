#include "widgets/ZELShadowAnimatingView.h"

#include "QuartzCore/CAAnimation.h"

ZELShadowAnimatingView::ZELShadowAnimatingView() : UIView(CGRectZero) {
    shadowAnimationDuration_ = 0.5;
}

std::optional<std::shared_ptr<CAAnimation>> ZELShadowAnimatingView::actionForLayerForKey(
    CALayer& layer, const std::string& key) {
    return shadowActionForKey(UIView::actionForLayerForKey(layer, key), key,
                              shadowAnimationDuration_);
}

std::optional<std::shared_ptr<CAAnimation>> ZELShadowAnimatingView::shadowActionForKey(
    std::optional<std::shared_ptr<CAAnimation>> own, const std::string& key, double duration) {
    if (own && *own)
        return own;
    const bool shadow = key == "shadowOffset" || key == "shadowPath" || key == "shadowOpacity" ||
                        key == "shadowRadius";
    if (!shadow || duration <= 0)
        return own;
    auto animation = CABasicAnimation::animationWithKeyPath(key);
    animation->setDuration(duration);
    return std::shared_ptr<CAAnimation>(animation);
}
