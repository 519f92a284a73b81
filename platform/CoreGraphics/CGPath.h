#pragma once

#include <vector>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGGeometry.h"

// Line ends and corners of strokes, with Core Graphics' numbering.
enum CGLineCap { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };
enum CGLineJoin { kCGLineJoinMiter = 0, kCGLineJoinRound = 1, kCGLineJoinBevel = 2 };

// A path of subpaths made of lines and curves. A value: copy it to keep it.
class CGPath {
  public:
    enum class ElementType {
        MoveToPoint,
        AddLineToPoint,
        AddQuadCurveToPoint,
        AddCurveToPoint,
        CloseSubpath
    };
    struct Element {
        ElementType type;
        CGPoint points[3];  // as many as the type uses
    };

    void moveToPoint(CGPoint p);
    void addLineToPoint(CGPoint p);
    void addQuadCurveToPoint(CGPoint control, CGPoint end);
    void addCurveToPoint(CGPoint control1, CGPoint control2, CGPoint end);
    void addRect(const CGRect& rect);
    void addEllipseInRect(const CGRect& rect);
    void closeSubpath();
    // A polyline: a move to the first point, lines to the others.
    void addLines(const std::vector<CGPoint>& points);
    // A rectangle with elliptical corners of the given radii, clamped to half
    // the rectangle's sides; a plain rectangle when either radius is 0.
    void addRoundedRect(const CGRect& rect, CGFloat cornerWidth, CGFloat cornerHeight);

    // Arcs measure angles in radians from the x axis towards the y axis.
    // clockwise means decreasing angles (clockwise when y points up). A line
    // joins the current point to the arc's start; without a subpath the arc
    // starts one.
    void addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                bool clockwise);
    // An arc of delta radians (positive: increasing angles) from startAngle.
    void addRelativeArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat delta);
    // The arc of the given radius tangent to the lines from the current point
    // to p1 and from p1 to p2, preceded by a line to its first tangent point;
    // a line to p1 when the points are collinear or the radius is 0.
    void addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius);
    // Appends every element of other, transformed by t.
    void addPath(const CGPath& other, const CGAffineTransform& t = CGAffineTransformIdentity);
    CGPath copyByTransformingPath(const CGAffineTransform& t) const;

    bool isEmpty() const { return elements_.empty(); }
    const std::vector<Element>& elements() const { return elements_; }
    CGPoint currentPoint() const { return current_; }
    // The smallest rectangle holding all points, control points included;
    // CGRectNull for an empty path.
    CGRect boundingBox() const;

    // Fill containment: every subpath is treated as closed. evenOdd picks the
    // even-odd rule, otherwise the non-zero winding rule. Curves are flattened.
    bool containsPoint(CGPoint point, bool evenOdd) const;
    // Whether the point lies in the outline of the path stroked with these
    // settings (exact: curves, caps and joins as a stroke would draw them).
    bool strokeContainsPoint(CGPoint point, CGFloat lineWidth, CGLineCap cap = kCGLineCapButt,
                             CGLineJoin join = kCGLineJoinMiter, CGFloat miterLimit = 10) const;

  private:
    // Cubic pieces of at most a quarter turn, without the leading line.
    void appendArcCurves(CGPoint center, CGFloat radius, CGFloat from, CGFloat to);

    std::vector<Element> elements_;
    CGPoint current_{};
    CGPoint subpathStart_{};
};
