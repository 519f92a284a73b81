#include "mapkit/CBCalloutClearance.h"

#include <algorithm>

UIEdgeInsets CBCalloutClearance::coveredSides(const CGRect& callout, const CGRect& pin,
                                              const CGRect& visible,
                                              const std::vector<CGRect>& obstacles) {
    UIEdgeInsets covered;
    const CGFloat middle = CGRectGetMidX(visible);
    for (const CGRect& obstacle : obstacles) {
        if (CGRectIsEmpty(obstacle))
            continue;
        const bool level = CGRectGetMaxY(obstacle) + kGap > CGRectGetMinY(callout) &&
                           CGRectGetMinY(obstacle) - kGap < CGRectGetMaxY(callout);
        if (!level && !CGRectIntersectsRect(CGRectInset(obstacle, -kGap, -kGap), pin))
            continue;
        if (CGRectGetMidX(obstacle) >= middle)
            covered.right =
                std::max(covered.right, CGRectGetMaxX(visible) - CGRectGetMinX(obstacle));
        else
            covered.left = std::max(covered.left, CGRectGetMaxX(obstacle) - CGRectGetMinX(visible));
    }
    return covered;
}
