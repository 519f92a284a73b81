#pragma once

#include <optional>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIColor.h"

enum UIBarStyle : long {
    UIBarStyleDefault = 0,
    UIBarStyleBlack = 1,
};

// The background the bars (navigation bar, toolbar, tab bar) share: the
// style's fill or the bar tint, and a hairline on the edge facing the
// content.
void UIBarDrawBackground(CGContext& context, const CGRect& bounds, UIBarStyle style,
                         const std::optional<UIColor>& barTintColor, bool hairlineAtTop,
                         CGFloat scale);
