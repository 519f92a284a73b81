#include "CoreGraphics/CGGeometry.h"

#include <algorithm>

bool CGRectIsNull(const CGRect& r) {
    return std::isinf(r.origin.x) || std::isinf(r.origin.y);
}

bool CGRectIsEmpty(const CGRect& r) {
    return CGRectIsNull(r) || r.size.width == 0 || r.size.height == 0;
}

CGRect CGRectStandardize(const CGRect& r) {
    if (CGRectIsNull(r)) {
        return CGRectNull;
    }
    CGRect s = r;
    if (s.size.width < 0) {
        s.origin.x += s.size.width;
        s.size.width = -s.size.width;
    }
    if (s.size.height < 0) {
        s.origin.y += s.size.height;
        s.size.height = -s.size.height;
    }
    return s;
}

CGFloat CGRectGetMinX(const CGRect& r) {
    return CGRectStandardize(r).origin.x;
}
CGFloat CGRectGetMinY(const CGRect& r) {
    return CGRectStandardize(r).origin.y;
}
CGFloat CGRectGetWidth(const CGRect& r) {
    return std::fabs(r.size.width);
}
CGFloat CGRectGetHeight(const CGRect& r) {
    return std::fabs(r.size.height);
}
CGFloat CGRectGetMaxX(const CGRect& r) {
    return CGRectGetMinX(r) + CGRectGetWidth(r);
}
CGFloat CGRectGetMaxY(const CGRect& r) {
    return CGRectGetMinY(r) + CGRectGetHeight(r);
}
CGFloat CGRectGetMidX(const CGRect& r) {
    return CGRectGetMinX(r) + CGRectGetWidth(r) / 2;
}
CGFloat CGRectGetMidY(const CGRect& r) {
    return CGRectGetMinY(r) + CGRectGetHeight(r) / 2;
}

CGRect CGRectIntersection(const CGRect& a, const CGRect& b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) {
        return CGRectNull;
    }
    const CGFloat minX = std::max(CGRectGetMinX(a), CGRectGetMinX(b));
    const CGFloat minY = std::max(CGRectGetMinY(a), CGRectGetMinY(b));
    const CGFloat maxX = std::min(CGRectGetMaxX(a), CGRectGetMaxX(b));
    const CGFloat maxY = std::min(CGRectGetMaxY(a), CGRectGetMaxY(b));
    if (maxX < minX || maxY < minY) {
        return CGRectNull;
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

CGRect CGRectUnion(const CGRect& a, const CGRect& b) {
    if (CGRectIsNull(a)) {
        return CGRectStandardize(b);
    }
    if (CGRectIsNull(b)) {
        return CGRectStandardize(a);
    }
    const CGFloat minX = std::min(CGRectGetMinX(a), CGRectGetMinX(b));
    const CGFloat minY = std::min(CGRectGetMinY(a), CGRectGetMinY(b));
    const CGFloat maxX = std::max(CGRectGetMaxX(a), CGRectGetMaxX(b));
    const CGFloat maxY = std::max(CGRectGetMaxY(a), CGRectGetMaxY(b));
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

bool CGRectIntersectsRect(const CGRect& a, const CGRect& b) {
    return !CGRectIsEmpty(CGRectIntersection(a, b));
}

bool CGRectContainsRect(const CGRect& outer, const CGRect& inner) {
    if (CGRectIsNull(outer) || CGRectIsNull(inner)) {
        return false;
    }
    return CGRectGetMinX(inner) >= CGRectGetMinX(outer) &&
           CGRectGetMinY(inner) >= CGRectGetMinY(outer) &&
           CGRectGetMaxX(inner) <= CGRectGetMaxX(outer) &&
           CGRectGetMaxY(inner) <= CGRectGetMaxY(outer);
}

bool CGRectContainsPoint(const CGRect& r, CGPoint p) {
    if (CGRectIsNull(r)) {
        return false;
    }
    return p.x >= CGRectGetMinX(r) && p.x < CGRectGetMaxX(r) && p.y >= CGRectGetMinY(r) &&
           p.y < CGRectGetMaxY(r);
}

CGRect CGRectInset(const CGRect& r, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(r)) {
        return CGRectNull;
    }
    const CGRect s = CGRectStandardize(r);
    const CGFloat width = s.size.width - 2 * dx;
    const CGFloat height = s.size.height - 2 * dy;
    if (width < 0 || height < 0) {
        return CGRectNull;
    }
    return CGRectMake(s.origin.x + dx, s.origin.y + dy, width, height);
}

CGRect CGRectOffset(const CGRect& r, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(r)) {
        return CGRectNull;
    }
    CGRect s = CGRectStandardize(r);
    s.origin.x += dx;
    s.origin.y += dy;
    return s;
}

CGRect CGRectIntegral(const CGRect& r) {
    if (CGRectIsNull(r)) {
        return CGRectNull;
    }
    const CGFloat minX = std::floor(CGRectGetMinX(r));
    const CGFloat minY = std::floor(CGRectGetMinY(r));
    const CGFloat maxX = std::ceil(CGRectGetMaxX(r));
    const CGFloat maxY = std::ceil(CGRectGetMaxY(r));
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

bool CGRectEqualToRect(const CGRect& a, const CGRect& b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) {
        return CGRectIsNull(a) && CGRectIsNull(b);
    }
    return CGRectStandardize(a) == CGRectStandardize(b);
}
