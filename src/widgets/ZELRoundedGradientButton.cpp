#include "widgets/ZELRoundedGradientButton.h"

#include "CoreGraphics/CGGradient.h"
#include "CoreGraphics/CGPath.h"
#include "UIKit/UIGraphics.h"

namespace {
constexpr CGFloat kCornerRadius = 6;
// How much of a disabled button's gradient and border shows.
constexpr CGFloat kDisabledFill = 0.35;
constexpr CGFloat kDisabledBorder = 0.5;

// `disabledText` reads on the faded gradient over the background the style
// is made for.
struct Look {
    UIColor top, bottom, border, text, disabledText;
};

Look lookForStyle(long style) {
    auto rgb = [](double r, double g, double b) {
        return UIColor::colorWithRedGreenBlueAlpha(r, g, b, 1);
    };
    switch (style) {
        case 2:
            return {rgb(0.33, 0.62, 1.0), rgb(0.05, 0.40, 0.90), rgb(0.03, 0.30, 0.70),
                    UIColor::whiteColor(), rgb(0.30, 0.45, 0.68)};
        case 3:
            return {rgb(1.0, 0.42, 0.40), rgb(0.85, 0.13, 0.12), rgb(0.65, 0.08, 0.07),
                    UIColor::whiteColor(), rgb(0.66, 0.30, 0.29)};
        case 101:
            return {rgb(0.42, 0.42, 0.44), rgb(0.22, 0.22, 0.24), rgb(0.10, 0.10, 0.12),
                    UIColor::whiteColor(), UIColor::colorWithWhiteAlpha(1, 0.4)};
        case 102:
            return {rgb(0.18, 0.40, 0.72), rgb(0.06, 0.22, 0.48), rgb(0.02, 0.12, 0.30),
                    UIColor::whiteColor(), UIColor::colorWithWhiteAlpha(1, 0.4)};
        case 103:
            return {rgb(0.70, 0.20, 0.18), rgb(0.45, 0.06, 0.05), rgb(0.28, 0.03, 0.02),
                    UIColor::whiteColor(), UIColor::colorWithWhiteAlpha(1, 0.4)};
        default:
            return {rgb(0.98, 0.98, 0.98), rgb(0.86, 0.86, 0.88), rgb(0.70, 0.70, 0.72),
                    rgb(0.15, 0.15, 0.18), rgb(0.55, 0.55, 0.58)};
    }
}
}  // namespace

ZELRoundedGradientButton::ZELRoundedGradientButton(const CGRect& frame, long style)
    : UIButton(frame) {
    setBackgroundColor(UIColor::clearColor());
    setGradientButtonStyle(style);
}

void ZELRoundedGradientButton::setGradientButtonStyle(long style) {
    style_ = style;
    const Look look = lookForStyle(style);
    top_ = look.top;
    bottom_ = look.bottom;
    border_ = look.border;
    setTitleColorForState(look.text, UIControlStateNormal);
    setTitleColorForState(look.text.colorWithAlphaComponent(0.7), UIControlStateHighlighted);
    setTitleColorForState(look.disabledText, UIControlStateDisabled);
    setNeedsDisplay();
}

void ZELRoundedGradientButton::stateDidChange() {
    UIButton::stateDidChange();
    setNeedsDisplay();
}

void ZELRoundedGradientButton::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGRect body = CGRectInset(bounds(), 0.5, 0.5);
    CGPath outline;
    outline.addRoundedRect(body, kCornerRadius, kCornerRadius);
    context->saveGState();
    context->addPath(outline);
    context->clip();
    // Pressed, the gradient turns over; disabled, it fades into what lies
    // behind the button.
    const bool pressed = isHighlighted();
    const CGFloat fill = isEnabled() ? 1 : kDisabledFill;
    const UIColor top = (pressed ? bottom_ : top_).colorWithAlphaComponent(fill);
    const UIColor bottom = (pressed ? top_ : bottom_).colorWithAlphaComponent(fill);
    auto gradient = CGGradient::createWithColors({top.CGColor(), bottom.CGColor()});
    if (gradient)
        context->drawLinearGradient(*gradient, {0, body.origin.y}, {0, CGRectGetMaxY(body)}, 0);
    context->restoreGState();
    context->addPath(outline);
    context->setStrokeColorWithColor(
        border_.colorWithAlphaComponent(isEnabled() ? 1 : kDisabledBorder).CGColor());
    context->setLineWidth(1);
    context->strokePath();
}
