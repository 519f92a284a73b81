#include "CoreGraphics/CGPath+Cairo.h"

void CGPathAppendToCairo(const CGPath& path, cairo_t* cr) {
    for (const CGPath::Element& e : path.elements()) {
        switch (e.type) {
            case CGPath::ElementType::MoveToPoint:
                cairo_move_to(cr, e.points[0].x, e.points[0].y);
                break;
            case CGPath::ElementType::AddLineToPoint:
                cairo_line_to(cr, e.points[0].x, e.points[0].y);
                break;
            case CGPath::ElementType::AddQuadCurveToPoint: {
                double x0 = e.points[0].x, y0 = e.points[0].y;
                if (cairo_has_current_point(cr)) {
                    cairo_get_current_point(cr, &x0, &y0);
                }
                const CGPoint c = e.points[0], p = e.points[1];
                cairo_curve_to(cr, x0 + 2.0 / 3.0 * (c.x - x0), y0 + 2.0 / 3.0 * (c.y - y0),
                               p.x + 2.0 / 3.0 * (c.x - p.x), p.y + 2.0 / 3.0 * (c.y - p.y), p.x,
                               p.y);
                break;
            }
            case CGPath::ElementType::AddCurveToPoint:
                cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y,
                               e.points[2].x, e.points[2].y);
                break;
            case CGPath::ElementType::CloseSubpath:
                cairo_close_path(cr);
                break;
        }
    }
}
