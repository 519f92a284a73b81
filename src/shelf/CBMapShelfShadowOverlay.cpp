#include "shelf/CBMapShelfShadowOverlay.h"

#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIColor.h"

namespace {
std::shared_ptr<CAGradientLayer> makeShadow(CGPoint start, CGPoint end, CGFloat middle) {
    auto layer = CAGradientLayer::layer();
    layer->setColors({UIColor::colorWithWhiteAlpha(0, 0.6).CGColor(),
                      UIColor::colorWithWhiteAlpha(0, 0.2).CGColor(),
                      UIColor::colorWithWhiteAlpha(0, 0.0).CGColor()});
    layer->setLocations({0, middle, 1.0});
    layer->setStartPoint(start);
    layer->setEndPoint(end);
    return layer;
}
}  // namespace

CBMapShelfShadowOverlay::CBMapShelfShadowOverlay(const CGRect& frame) : UIView(frame) {
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
    setUserInteractionEnabled(false);
    top_ = makeShadow({0, 0}, {0, 1}, 0.33);
    left_ = makeShadow({0, 0}, {1, 0}, 0.2);
    right_ = makeShadow({1, 0}, {0, 0}, 0.2);
    layer()->addSublayer(left_);
    layer()->addSublayer(top_);
    layer()->addSublayer(right_);
}

void CBMapShelfShadowOverlay::showSideShadows(bool show) {
    left_->setHidden(!show);
    right_->setHidden(!show);
}

void CBMapShelfShadowOverlay::layoutSubviews() {
    UIView::layoutSubviews();
    const CGSize size = bounds().size;
    top_->setFrame(CGRectMake(0, 0, size.width, kDepth));
    left_->setFrame(CGRectMake(0, 0, kDepth, size.height));
    right_->setFrame(CGRectMake(size.width - kDepth, 0, kDepth, size.height));
}
