#include "uiadditions/UIColor+ZELMixing.h"

UIColor mixedByWithColor(const UIColor& color, CGFloat factor, const UIColor& other) {
    CGFloat r1 = 0, g1 = 0, b1 = 0, a1 = 0;
    CGFloat r2 = 0, g2 = 0, b2 = 0, a2 = 0;
    color.getRedGreenBlueAlpha(&r1, &g1, &b1, &a1);
    other.getRedGreenBlueAlpha(&r2, &g2, &b2, &a2);
    const CGFloat keep = 1 - factor;
    return UIColor::colorWithRedGreenBlueAlpha(keep * r1 + factor * r2, keep * g1 + factor * g2,
                                               keep * b1 + factor * b2, keep * a1 + factor * a2);
}
