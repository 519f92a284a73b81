#include "CoreGraphics/CGPath.h"

#include <algorithm>

namespace {

// Curves are flattened into this many line pieces for containment; map
// geometry is made of lines, so curves only matter for drawn shapes.
constexpr int kCurveSteps = 16;

// Kappa for approximating a quarter ellipse with one cubic curve.
constexpr CGFloat kKappa = 0.5522847498307936;

CGPoint quadPoint(CGPoint p0, CGPoint c, CGPoint p1, CGFloat t) {
    const CGFloat u = 1 - t;
    return {u * u * p0.x + 2 * u * t * c.x + t * t * p1.x,
            u * u * p0.y + 2 * u * t * c.y + t * t * p1.y};
}

CGPoint cubicPoint(CGPoint p0, CGPoint c1, CGPoint c2, CGPoint p1, CGFloat t) {
    const CGFloat u = 1 - t;
    const CGFloat a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p0.x + b * c1.x + c * c2.x + d * p1.x, a * p0.y + b * c1.y + c * c2.y + d * p1.y};
}

// Winding contribution of the edge a->b for a ray from p towards +x.
int windingOfEdge(CGPoint a, CGPoint b, CGPoint p) {
    const CGFloat cross = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
    if (a.y <= p.y) {
        return (b.y > p.y && cross > 0) ? 1 : 0;
    }
    return (b.y <= p.y && cross < 0) ? -1 : 0;
}

}  // namespace

void CGPath::moveToPoint(CGPoint p) {
    elements_.push_back({ElementType::MoveToPoint, {p, {}, {}}});
    current_ = subpathStart_ = p;
}

void CGPath::addLineToPoint(CGPoint p) {
    elements_.push_back({ElementType::AddLineToPoint, {p, {}, {}}});
    current_ = p;
}

void CGPath::addQuadCurveToPoint(CGPoint control, CGPoint end) {
    elements_.push_back({ElementType::AddQuadCurveToPoint, {control, end, {}}});
    current_ = end;
}

void CGPath::addCurveToPoint(CGPoint control1, CGPoint control2, CGPoint end) {
    elements_.push_back({ElementType::AddCurveToPoint, {control1, control2, end}});
    current_ = end;
}

void CGPath::closeSubpath() {
    elements_.push_back({ElementType::CloseSubpath, {}});
    current_ = subpathStart_;
}

void CGPath::addRect(const CGRect& rect) {
    const CGRect r = CGRectStandardize(rect);
    moveToPoint({CGRectGetMinX(r), CGRectGetMinY(r)});
    addLineToPoint({CGRectGetMaxX(r), CGRectGetMinY(r)});
    addLineToPoint({CGRectGetMaxX(r), CGRectGetMaxY(r)});
    addLineToPoint({CGRectGetMinX(r), CGRectGetMaxY(r)});
    closeSubpath();
}

void CGPath::addEllipseInRect(const CGRect& rect) {
    const CGRect r = CGRectStandardize(rect);
    const CGFloat cx = CGRectGetMidX(r), cy = CGRectGetMidY(r);
    const CGFloat rx = r.size.width / 2, ry = r.size.height / 2;
    const CGFloat ox = rx * kKappa, oy = ry * kKappa;
    moveToPoint({cx + rx, cy});
    addCurveToPoint({cx + rx, cy + oy}, {cx + ox, cy + ry}, {cx, cy + ry});
    addCurveToPoint({cx - ox, cy + ry}, {cx - rx, cy + oy}, {cx - rx, cy});
    addCurveToPoint({cx - rx, cy - oy}, {cx - ox, cy - ry}, {cx, cy - ry});
    addCurveToPoint({cx + ox, cy - ry}, {cx + rx, cy - oy}, {cx + rx, cy});
    closeSubpath();
}

CGRect CGPath::boundingBox() const {
    if (elements_.empty()) {
        return CGRectNull;
    }
    CGFloat minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const Element& e : elements_) {
        const int used = e.type == ElementType::CloseSubpath          ? 0
                         : e.type == ElementType::AddQuadCurveToPoint ? 2
                         : e.type == ElementType::AddCurveToPoint     ? 3
                                                                      : 1;
        for (int i = 0; i < used; ++i) {
            minX = std::min(minX, e.points[i].x);
            minY = std::min(minY, e.points[i].y);
            maxX = std::max(maxX, e.points[i].x);
            maxY = std::max(maxY, e.points[i].y);
        }
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

bool CGPath::containsPoint(CGPoint point, bool evenOdd) const {
    int winding = 0;
    int crossings = 0;
    CGPoint current{}, start{};
    bool open = false;
    auto edge = [&](CGPoint to) {
        const int w = windingOfEdge(current, to, point);
        winding += w;
        crossings += w != 0 ? 1 : 0;
        current = to;
    };
    auto close = [&] {
        if (open && current != start) {
            edge(start);
        }
        current = start;
    };
    for (const Element& e : elements_) {
        switch (e.type) {
            case ElementType::MoveToPoint:
                close();
                current = start = e.points[0];
                open = true;
                break;
            case ElementType::AddLineToPoint:
                edge(e.points[0]);
                break;
            case ElementType::AddQuadCurveToPoint: {
                const CGPoint from = current;
                for (int i = 1; i <= kCurveSteps; ++i) {
                    edge(quadPoint(from, e.points[0], e.points[1], CGFloat(i) / kCurveSteps));
                }
                break;
            }
            case ElementType::AddCurveToPoint: {
                const CGPoint from = current;
                for (int i = 1; i <= kCurveSteps; ++i) {
                    edge(cubicPoint(from, e.points[0], e.points[1], e.points[2],
                                    CGFloat(i) / kCurveSteps));
                }
                break;
            }
            case ElementType::CloseSubpath:
                close();
                break;
        }
    }
    close();
    return evenOdd ? (crossings % 2) != 0 : winding != 0;
}
