#include "CoreGraphics/CGPath.h"

#include <algorithm>
#include <array>
#include <numbers>

#include <cairo.h>

#include "CoreGraphics/CGPath+Cairo.h"

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
    if (a.y <= p.y) {
        if (b.y > p.y) {
            const CGFloat cross = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
            if (cross > 0) {
                return 1;
            }
        }
    } else if (b.y <= p.y) {
        const CGFloat cross = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
        if (cross < 0) {
            return -1;
        }
    }
    return 0;
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

void CGPath::addLines(const std::vector<CGPoint>& points) {
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == 0) {
            moveToPoint(points[i]);
        } else {
            addLineToPoint(points[i]);
        }
    }
}

void CGPath::addRoundedRect(const CGRect& rect, CGFloat cornerWidth, CGFloat cornerHeight) {
    const CGRect r = CGRectStandardize(rect);
    const CGFloat rx = std::min(std::max(cornerWidth, CGFloat(0)), r.size.width / 2);
    const CGFloat ry = std::min(std::max(cornerHeight, CGFloat(0)), r.size.height / 2);
    if (rx == 0 || ry == 0) {
        addRect(r);
        return;
    }
    const CGFloat minX = CGRectGetMinX(r), maxX = CGRectGetMaxX(r);
    const CGFloat minY = CGRectGetMinY(r), maxY = CGRectGetMaxY(r);
    const CGFloat ox = rx * kKappa, oy = ry * kKappa;
    moveToPoint({minX + rx, minY});
    addLineToPoint({maxX - rx, minY});
    addCurveToPoint({maxX - rx + ox, minY}, {maxX, minY + ry - oy}, {maxX, minY + ry});
    addLineToPoint({maxX, maxY - ry});
    addCurveToPoint({maxX, maxY - ry + oy}, {maxX - rx + ox, maxY}, {maxX - rx, maxY});
    addLineToPoint({minX + rx, maxY});
    addCurveToPoint({minX + rx - ox, maxY}, {minX, maxY - ry + oy}, {minX, maxY - ry});
    addLineToPoint({minX, minY + ry});
    addCurveToPoint({minX, minY + ry - oy}, {minX + rx - ox, minY}, {minX + rx, minY});
    closeSubpath();
}

void CGPath::appendArcCurves(CGPoint center, CGFloat radius, CGFloat from, CGFloat to) {
    const CGFloat sweep = to - from;
    const int pieces = std::max(1, int(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9)));
    const CGFloat step = sweep / pieces;
    const CGFloat h = 4.0 / 3.0 * std::tan(step / 4) * radius;
    for (int i = 0; i < pieces; ++i) {
        const CGFloat a0 = from + step * i, a1 = a0 + step;
        const CGPoint p0{center.x + radius * std::cos(a0), center.y + radius * std::sin(a0)};
        const CGPoint p3{center.x + radius * std::cos(a1), center.y + radius * std::sin(a1)};
        addCurveToPoint({p0.x - h * std::sin(a0), p0.y + h * std::cos(a0)},
                        {p3.x + h * std::sin(a1), p3.y - h * std::cos(a1)}, p3);
    }
}

void CGPath::addRelativeArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat delta) {
    const CGPoint start{center.x + radius * std::cos(startAngle),
                        center.y + radius * std::sin(startAngle)};
    if (elements_.empty()) {
        moveToPoint(start);
    } else {
        addLineToPoint(start);
    }
    if (delta != 0 && radius != 0) {
        appendArcCurves(center, radius, startAngle, startAngle + delta);
    }
}

void CGPath::addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                    bool clockwise) {
    constexpr CGFloat twoPi = 2 * std::numbers::pi;
    CGFloat delta = endAngle - startAngle;
    // A sweep of a full turn or more draws the whole circle once.
    if (std::abs(delta) >= twoPi) {
        delta = clockwise ? -twoPi : twoPi;
    } else if (!clockwise && delta < 0) {
        delta += twoPi;
    } else if (clockwise && delta > 0) {
        delta -= twoPi;
    }
    addRelativeArc(center, radius, startAngle, delta);
}

void CGPath::addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius) {
    if (elements_.empty()) {
        moveToPoint(p1);
        return;
    }
    const CGPoint p0 = current_;
    CGFloat ux = p0.x - p1.x, uy = p0.y - p1.y, vx = p2.x - p1.x, vy = p2.y - p1.y;
    const CGFloat lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    const CGFloat cross = (p1.x - p0.x) * (p2.y - p1.y) - (p1.y - p0.y) * (p2.x - p1.x);
    if (radius <= 0 || lu == 0 || lv == 0 || std::abs(cross) < 1e-12 * lu * lv) {
        addLineToPoint(p1);
        return;
    }
    ux /= lu;
    uy /= lu;
    vx /= lv;
    vy /= lv;
    const CGFloat angle = std::acos(std::clamp(ux * vx + uy * vy, CGFloat(-1), CGFloat(1)));
    const CGFloat tangent = radius / std::tan(angle / 2);
    const CGPoint t1{p1.x + ux * tangent, p1.y + uy * tangent};
    const CGPoint t2{p1.x + vx * tangent, p1.y + vy * tangent};
    CGFloat bx = ux + vx, by = uy + vy;
    const CGFloat lb = std::hypot(bx, by);
    bx /= lb;
    by /= lb;
    const CGFloat centerDistance = radius / std::sin(angle / 2);
    const CGPoint center{p1.x + bx * centerDistance, p1.y + by * centerDistance};
    const CGFloat a0 = std::atan2(t1.y - center.y, t1.x - center.x);
    const CGFloat a1 = std::atan2(t2.y - center.y, t2.x - center.x);
    addLineToPoint(t1);
    // The arc between the tangent points is the short one.
    CGFloat sweep = a1 - a0;
    if (sweep > std::numbers::pi) {
        sweep -= 2 * std::numbers::pi;
    } else if (sweep < -std::numbers::pi) {
        sweep += 2 * std::numbers::pi;
    }
    appendArcCurves(center, radius, a0, a0 + sweep);
}

void CGPath::addPath(const CGPath& other, const CGAffineTransform& t) {
    for (const Element& e : other.elements_) {
        const CGPoint p0 = CGPointApplyAffineTransform(e.points[0], t);
        const CGPoint p1 = CGPointApplyAffineTransform(e.points[1], t);
        const CGPoint p2 = CGPointApplyAffineTransform(e.points[2], t);
        switch (e.type) {
            case ElementType::MoveToPoint:
                moveToPoint(p0);
                break;
            case ElementType::AddLineToPoint:
                addLineToPoint(p0);
                break;
            case ElementType::AddQuadCurveToPoint:
                addQuadCurveToPoint(p0, p1);
                break;
            case ElementType::AddCurveToPoint:
                addCurveToPoint(p0, p1, p2);
                break;
            case ElementType::CloseSubpath:
                closeSubpath();
                break;
        }
    }
}

CGPath CGPath::copyByTransformingPath(const CGAffineTransform& t) const {
    CGPath copy;
    copy.addPath(*this, t);
    return copy;
}

bool CGPath::strokeContainsPoint(CGPoint point, CGFloat lineWidth, CGLineCap cap, CGLineJoin join,
                                 CGFloat miterLimit) const {
    if (elements_.empty() || lineWidth <= 0) {
        return false;
    }
    // A one-pixel surface is enough: cairo answers stroke containment
    // geometrically, without rasterising.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    CGPathAppendToCairo(*this, cr);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_cap(cr, cap == kCGLineCapRound    ? CAIRO_LINE_CAP_ROUND
                           : cap == kCGLineCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                     : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, join == kCGLineJoinRound   ? CAIRO_LINE_JOIN_ROUND
                            : join == kCGLineJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                       : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, miterLimit);
    const bool inside = cairo_in_stroke(cr, point.x, point.y);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return inside;
}

CGRect CGPath::boundingBox() const {
    if (elements_.empty()) {
        return CGRectNull;
    }
    CGFloat minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    auto add = [&](CGPoint p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    };
    for (const Element& e : elements_) {
        switch (e.type) {
            case ElementType::MoveToPoint:
            case ElementType::AddLineToPoint:
                add(e.points[0]);
                break;
            case ElementType::AddQuadCurveToPoint:
                add(e.points[0]);
                add(e.points[1]);
                break;
            case ElementType::AddCurveToPoint:
                add(e.points[0]);
                add(e.points[1]);
                add(e.points[2]);
                break;
            case ElementType::CloseSubpath:
                break;
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
