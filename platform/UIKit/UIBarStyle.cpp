#include "UIKit/UIBarStyle.h"

void UIBarDrawBackground(CGContext& context, const CGRect& bounds, UIBarStyle style,
                         const std::optional<UIColor>& barTintColor, bool hairlineAtTop,
                         CGFloat scale) {
    UIColor fill = style == UIBarStyleBlack ? UIColor::colorWithWhiteAlpha(0.1, 1)
                                            : UIColor::colorWithWhiteAlpha(0.97, 1);
    if (barTintColor) {
        fill = *barTintColor;
    }
    context.setFillColorWithColor(fill.CGColor());
    context.fillRect(bounds);
    const CGFloat hairline = 1 / (scale > 0 ? scale : 1);
    context.setFillColorWithColor(UIColor::colorWithWhiteAlpha(0, 0.3).CGColor());
    const CGFloat y = hairlineAtTop ? bounds.origin.y : CGRectGetMaxY(bounds) - hairline;
    context.fillRect({{bounds.origin.x, y}, {bounds.size.width, hairline}});
}
