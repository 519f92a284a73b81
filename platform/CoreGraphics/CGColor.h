#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"

class CGPattern;

// A colour as Core Graphics paints it: device RGB components and alpha,
// unclamped here (painting clamps). A pattern colour carries its pattern; an
// uncoloured pattern paints its cell in the RGBA components, a coloured one
// ignores them.
struct CGColor {
    CGFloat red = 0;
    CGFloat green = 0;
    CGFloat blue = 0;
    CGFloat alpha = 1;
    std::shared_ptr<const CGPattern> pattern;

    bool operator==(const CGColor&) const = default;
};

inline CGColor CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    return {red, green, blue, alpha, nullptr};
}
inline CGColor CGColorCreateGenericGray(CGFloat gray, CGFloat alpha) {
    return {gray, gray, gray, alpha, nullptr};
}
inline CGColor CGColorCreateWithPattern(std::shared_ptr<const CGPattern> pattern, CGFloat red,
                                        CGFloat green, CGFloat blue, CGFloat alpha) {
    return {red, green, blue, alpha, std::move(pattern)};
}
inline CGColor CGColorCreateCopyWithAlpha(const CGColor& color, CGFloat alpha) {
    CGColor copy = color;
    copy.alpha = alpha;
    return copy;
}
