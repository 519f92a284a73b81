#include "UIKit/UIActivityIndicatorView.h"

#include <cmath>

#include "QuartzCore/CAAnimation.h"
#include "UIKit/UIGraphics.h"

namespace {

CGFloat sideOf(UIActivityIndicatorViewStyle style) {
    return style == UIActivityIndicatorViewStyleWhiteLarge ? 37 : 20;
}

}  // namespace

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : UIView(CGRectMake(0, 0, sideOf(style), sideOf(style))), style_(style) {
    setHidden(true);
    setUserInteractionEnabled(false);
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) {
    style_ = style;
    setNeedsDisplay();
}

UIColor UIActivityIndicatorView::color() const {
    if (color_) {
        return *color_;
    }
    return style_ == UIActivityIndicatorViewStyleGray ? UIColor::grayColor()
                                                      : UIColor::whiteColor();
}

void UIActivityIndicatorView::setColor(const std::optional<UIColor>& color) {
    color_ = color;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool flag) {
    hidesWhenStopped_ = flag;
    setHidden(flag && !animating_);
}

void UIActivityIndicatorView::startAnimating() {
    if (animating_) {
        return;
    }
    animating_ = true;
    setHidden(false);
    // Twelve steps a second, one spoke at a time.
    auto spin = CAKeyframeAnimation::animationWithKeyPath("transform.rotation.z");
    std::vector<CAValue> values;
    for (int i = 0; i <= 12; ++i) {
        values.push_back(CGFloat(i * M_PI / 6));
    }
    spin->setValues(values);
    spin->setCalculationMode(CACalculationMode::Discrete);
    spin->setDuration(1);
    spin->setRepeatCount(HUGE_VAL);
    layer()->addAnimation(spin, "spin");
}

void UIActivityIndicatorView::stopAnimating() {
    if (!animating_) {
        return;
    }
    animating_ = false;
    layer()->removeAnimationForKey("spin");
    if (hidesWhenStopped_) {
        setHidden(true);
    }
}

CGSize UIActivityIndicatorView::sizeThatFits(CGSize) const {
    return {sideOf(style_), sideOf(style_)};
}

void UIActivityIndicatorView::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    const CGRect b = bounds();
    const CGFloat r = std::min(b.size.width, b.size.height) / 2;
    const CGPoint c{CGRectGetMidX(b), CGRectGetMidY(b)};
    const ::CGColor base = color().CGColor();
    context->setLineWidth(r * 0.18);
    context->setLineCap(kCGLineCapRound);
    for (int i = 0; i < 12; ++i) {
        const CGFloat angle = i * M_PI / 6 - M_PI / 2;
        context->setStrokeColorWithColor(CGColorCreateCopyWithAlpha(base, 0.25 + 0.75 * i / 11));
        context->moveToPoint(c.x + std::cos(angle) * r * 0.5, c.y + std::sin(angle) * r * 0.5);
        context->addLineToPoint(c.x + std::cos(angle) * r * 0.9, c.y + std::sin(angle) * r * 0.9);
        context->strokePath();
    }
}

std::vector<UIVisibleText> UIActivityIndicatorView::visibleTexts() const {
    if (!animating_ || (accessibilityLabel() && !accessibilityLabel()->empty())) {
        return UIView::visibleTexts();
    }
    return {{"In progress", bounds()}};
}
