#pragma once

#include <cmath>
#include <limits>

// Geometry values of Core Graphics. CGFloat is double (the 64-bit devices' width).
using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    constexpr bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    constexpr bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    constexpr bool operator==(const CGRect&) const = default;
};

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};
// The null rectangle: the result of intersecting disjoint rectangles.
inline constexpr CGRect CGRectNull{
    {std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity()}, {0, 0}};

constexpr CGPoint CGPointMake(CGFloat x, CGFloat y) {
    return {x, y};
}
constexpr CGSize CGSizeMake(CGFloat w, CGFloat h) {
    return {w, h};
}
constexpr CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    return {{x, y}, {w, h}};
}

bool CGRectIsNull(const CGRect& r);
bool CGRectIsEmpty(const CGRect& r);  // null, or zero width or height
// Same rectangle with non-negative width and height.
CGRect CGRectStandardize(const CGRect& r);
CGFloat CGRectGetMinX(const CGRect& r);
CGFloat CGRectGetMidX(const CGRect& r);
CGFloat CGRectGetMaxX(const CGRect& r);
CGFloat CGRectGetMinY(const CGRect& r);
CGFloat CGRectGetMidY(const CGRect& r);
CGFloat CGRectGetMaxY(const CGRect& r);
CGFloat CGRectGetWidth(const CGRect& r);
CGFloat CGRectGetHeight(const CGRect& r);
// CGRectNull when the rectangles do not overlap; rectangles that only touch
// intersect in a zero-size rectangle.
CGRect CGRectIntersection(const CGRect& a, const CGRect& b);
CGRect CGRectUnion(const CGRect& a, const CGRect& b);
// True when the intersection is not null and not empty.
bool CGRectIntersectsRect(const CGRect& a, const CGRect& b);
bool CGRectContainsRect(const CGRect& outer, const CGRect& inner);
bool CGRectContainsPoint(const CGRect& r, CGPoint p);  // min edges in, max edges out
// Inset by dx on left and right and dy at top and bottom; CGRectNull when
// the result would have a negative size.
CGRect CGRectInset(const CGRect& r, CGFloat dx, CGFloat dy);
CGRect CGRectOffset(const CGRect& r, CGFloat dx, CGFloat dy);
CGRect CGRectIntegral(const CGRect& r);
bool CGRectEqualToRect(const CGRect& a, const CGRect& b);
