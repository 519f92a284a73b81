#pragma once

#include <vector>

#include "CoreGraphics/CGGeometry.h"

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

    bool isEmpty() const { return elements_.empty(); }
    const std::vector<Element>& elements() const { return elements_; }
    CGPoint currentPoint() const { return current_; }
    // The smallest rectangle holding all points, control points included;
    // CGRectNull for an empty path.
    CGRect boundingBox() const;

    // Fill containment: every subpath is treated as closed. evenOdd picks the
    // even-odd rule, otherwise the non-zero winding rule. Curves are flattened.
    bool containsPoint(CGPoint point, bool evenOdd) const;

  private:
    std::vector<Element> elements_;
    CGPoint current_{};
    CGPoint subpathStart_{};
};
