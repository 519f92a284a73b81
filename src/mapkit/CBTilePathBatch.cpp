#include "mapkit/CBTilePathBatch.h"

#include <cmath>

#include "CoreGraphics/CGContext.h"

namespace {

// Vertices nearer than this to the last one kept (in device pixels) change
// no pixel that antialiasing would show.
constexpr CGFloat kMinimumStep = 0.3;
// Fills narrower and lower than this (in device pixels) are not drawn.
constexpr CGFloat kSmallestFill = 0.5;
// How far (in device pixels) round joins and caps may stray from circles.
constexpr CGFloat kFlatness = 0.3;

// Which sides of box the point lies beyond (Cohen-Sutherland).
int outcode(CGPoint p, const CGRect& box) {
    int code = 0;
    if (p.x < CGRectGetMinX(box))
        code |= 1;
    else if (p.x > CGRectGetMaxX(box))
        code |= 2;
    if (p.y < CGRectGetMinY(box))
        code |= 4;
    else if (p.y > CGRectGetMaxY(box))
        code |= 8;
    return code;
}

bool onlyLines(const CGPath& path) {
    for (const CGPath::Element& e : path.elements()) {
        if (e.type == CGPath::ElementType::AddQuadCurveToPoint ||
            e.type == CGPath::ElementType::AddCurveToPoint)
            return false;
    }
    return true;
}

}  // namespace

CBTilePathBatch::CBTilePathBatch(CGContext& context)
    : context_(context), toDevice_(context.getCTM()), clip_(context.getClipBoundingBox()) {}

CBTilePathBatch::~CBTilePathBatch() {
    flush();
}

CBTilePathBatch::Paint CBTilePathBatch::currentPaint(bool fill, bool evenOdd) const {
    Paint paint;
    paint.fill = fill;
    paint.evenOdd = evenOdd;
    paint.alpha = context_.alpha();
    if (fill) {
        paint.color = context_.fillColor();
        return paint;
    }
    paint.color = context_.strokeColor();
    paint.width = context_.lineWidth();
    paint.cap = context_.lineCap();
    paint.join = context_.lineJoin();
    paint.dashes = context_.lineDashLengths();
    paint.dashPhase = paint.dashes.empty() ? 0 : context_.lineDashPhase();
    return paint;
}

void CBTilePathBatch::join(const Paint& paint, const CGRect& bounds) {
    // A translucent run keeps to one element: overlapping elements darken
    // each other where they cross, as they did when drawn one by one.
    bool grows = !path_.isEmpty() && paint == paint_ && paint.alpha >= 1;
    // Fills of one path would cancel where they overlap.
    for (size_t i = 0; grows && paint.fill && i < fillBounds_.size(); ++i)
        grows = !CGRectIntersectsRect(fillBounds_[i], bounds);
    if (!grows) {
        flush();
        paint_ = paint;
    }
    if (paint.fill)
        fillBounds_.push_back(bounds);
}

void CBTilePathBatch::stroke(const CGPath& path) {
    Paint paint = currentPaint(false, false);
    if (path.isEmpty() || paint.color.alpha <= 0 || paint.alpha <= 0)
        return;
    // How far the stroke reaches beyond its path, plus a pixel of antialiasing.
    const CGFloat scale =
        std::sqrt(std::abs(toDevice_.a * toDevice_.d - toDevice_.b * toDevice_.c));
    const CGFloat pixel = scale > 0 ? 1 / scale : 0;
    const CGFloat reach = paint.width * (paint.join == kCGLineJoinMiter ? 5 : 1) + pixel;
    const CGRect bounds = path.boundingBox();
    if (!CGRectIntersectsRect(CGRectInset(bounds, -reach, -reach), clip_))
        return;
    join(paint, bounds);
    // A dashed line split where it leaves the tile would start its dashes
    // anew; its vertices stay as they are, so the dashes stay in step.
    if (paint.dashes.empty())
        appendFitted(path, reach, true);
    else
        path_.addPath(path);
}

void CBTilePathBatch::fill(const CGPath& path, bool evenOdd) {
    Paint paint = currentPaint(true, evenOdd);
    if (path.isEmpty() || paint.color.alpha <= 0 || paint.alpha <= 0)
        return;
    const CGRect bounds = path.boundingBox();
    const CGRect device = CGRectApplyAffineTransform(bounds, toDevice_);
    if ((device.size.width < kSmallestFill && device.size.height < kSmallestFill) ||
        !CGRectIntersectsRect(bounds, clip_))
        return;
    join(paint, bounds);
    appendFitted(path, 0, false);
}

void CBTilePathBatch::appendFitted(const CGPath& path, CGFloat reach, bool cull) {
    if (!onlyLines(path)) {
        path_.addPath(path);
        return;
    }
    const CGRect box = CGRectInset(clip_, -reach, -reach);
    const auto& elements = path.elements();
    std::vector<CGPoint> points;
    size_t i = 0;
    while (i < elements.size()) {
        // One subpath: a move, its lines and perhaps a close.
        points.clear();
        points.push_back(elements[i].points[0]);
        CGPoint kept = CGPointApplyAffineTransform(points.back(), toDevice_);
        size_t j = i + 1;
        for (; j < elements.size() && elements[j].type == CGPath::ElementType::AddLineToPoint;
             ++j) {
            const CGPoint p = elements[j].points[0];
            const CGPoint device = CGPointApplyAffineTransform(p, toDevice_);
            const bool last = j + 1 == elements.size() ||
                              elements[j + 1].type != CGPath::ElementType::AddLineToPoint;
            if (!last && std::hypot(device.x - kept.x, device.y - kept.y) < kMinimumStep)
                continue;
            points.push_back(p);
            kept = device;
        }
        const bool closed =
            j < elements.size() && elements[j].type == CGPath::ElementType::CloseSubpath;
        i = closed ? j + 1 : j;

        if (!cull) {
            path_.moveToPoint(points[0]);
            for (size_t k = 1; k < points.size(); ++k)
                path_.addLineToPoint(points[k]);
            if (closed)
                path_.closeSubpath();
            continue;
        }
        if (points.size() == 1)
            continue;  // a lone move strokes nothing
        // Runs of segments that can reach the box; a segment with both ends
        // beyond the same side of it cannot.
        if (closed)
            points.push_back(points.front());
        bool whole = true;
        bool open = false;
        for (size_t k = 1; k < points.size(); ++k) {
            if (outcode(points[k - 1], box) & outcode(points[k], box)) {
                whole = false;
                open = false;
                continue;
            }
            if (!open)
                path_.moveToPoint(points[k - 1]);
            path_.addLineToPoint(points[k]);
            open = true;
        }
        if (closed && whole)
            path_.closeSubpath();
    }
}

void CBTilePathBatch::flush() {
    if (path_.isEmpty()) {
        fillBounds_.clear();
        return;
    }
    context_.saveGState();
    // Map geometry is flat colour with many long edges: coarse antialiasing
    // and looser round joins keep its look at a fraction of the cost.
    context_.setCoarseAntialiasing(true);
    context_.setFlatness(kFlatness);
    context_.setAlpha(paint_.alpha);
    context_.beginPath();
    if (paint_.fill) {
        context_.setFillColorWithColor(paint_.color);
        context_.addPath(path_);
        if (paint_.evenOdd)
            context_.eoFillPath();
        else
            context_.fillPath();
    } else {
        context_.setStrokeColorWithColor(paint_.color);
        context_.setLineWidth(paint_.width);
        context_.setLineCap(paint_.cap);
        context_.setLineJoin(paint_.join);
        context_.setLineDash(paint_.dashPhase, paint_.dashes);
        context_.addPath(path_);
        context_.strokePath();
    }
    context_.restoreGState();
    ++paints_;
    path_ = CGPath();
    fillBounds_.clear();
}
