#include "CoreGraphics/CGContext.h"

#include <algorithm>
#include <cstring>

#include "CoreGraphics/CGBoxBlur.h"
#include "CoreGraphics/CGPath+Cairo.h"
#include "Foundation/NSLog.h"

namespace {

cairo_matrix_t toCairo(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

CGAffineTransform fromCairo(const cairo_matrix_t& m) {
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

cairo_operator_t cairoOperator(CGBlendMode mode) {
    switch (mode) {
        case kCGBlendModeNormal:
            return CAIRO_OPERATOR_OVER;
        case kCGBlendModeMultiply:
            return CAIRO_OPERATOR_MULTIPLY;
        case kCGBlendModeScreen:
            return CAIRO_OPERATOR_SCREEN;
        case kCGBlendModeOverlay:
            return CAIRO_OPERATOR_OVERLAY;
        case kCGBlendModeDarken:
            return CAIRO_OPERATOR_DARKEN;
        case kCGBlendModeLighten:
            return CAIRO_OPERATOR_LIGHTEN;
        case kCGBlendModeColorDodge:
            return CAIRO_OPERATOR_COLOR_DODGE;
        case kCGBlendModeColorBurn:
            return CAIRO_OPERATOR_COLOR_BURN;
        case kCGBlendModeSoftLight:
            return CAIRO_OPERATOR_SOFT_LIGHT;
        case kCGBlendModeHardLight:
            return CAIRO_OPERATOR_HARD_LIGHT;
        case kCGBlendModeDifference:
            return CAIRO_OPERATOR_DIFFERENCE;
        case kCGBlendModeExclusion:
            return CAIRO_OPERATOR_EXCLUSION;
        case kCGBlendModeHue:
            return CAIRO_OPERATOR_HSL_HUE;
        case kCGBlendModeSaturation:
            return CAIRO_OPERATOR_HSL_SATURATION;
        case kCGBlendModeColor:
            return CAIRO_OPERATOR_HSL_COLOR;
        case kCGBlendModeLuminosity:
            return CAIRO_OPERATOR_HSL_LUMINOSITY;
        case kCGBlendModeClear:
            return CAIRO_OPERATOR_CLEAR;
        case kCGBlendModeCopy:
            return CAIRO_OPERATOR_SOURCE;
        case kCGBlendModeSourceIn:
            return CAIRO_OPERATOR_IN;
        case kCGBlendModeSourceOut:
            return CAIRO_OPERATOR_OUT;
        case kCGBlendModeSourceAtop:
            return CAIRO_OPERATOR_ATOP;
        case kCGBlendModeDestinationOver:
            return CAIRO_OPERATOR_DEST_OVER;
        case kCGBlendModeDestinationIn:
            return CAIRO_OPERATOR_DEST_IN;
        case kCGBlendModeDestinationOut:
            return CAIRO_OPERATOR_DEST_OUT;
        case kCGBlendModeDestinationAtop:
            return CAIRO_OPERATOR_DEST_ATOP;
        case kCGBlendModeXOR:
            return CAIRO_OPERATOR_XOR;
        // cairo has no "plus darker"; multiply darkens alike.
        case kCGBlendModePlusDarker:
            return CAIRO_OPERATOR_MULTIPLY;
        case kCGBlendModePlusLighter:
            return CAIRO_OPERATOR_ADD;
    }
    return CAIRO_OPERATOR_OVER;
}

cairo_filter_t cairoFilter(CGInterpolationQuality quality) {
    switch (quality) {
        case kCGInterpolationNone:
            return CAIRO_FILTER_NEAREST;
        case kCGInterpolationLow:
            return CAIRO_FILTER_BILINEAR;
        case kCGInterpolationHigh:
            return CAIRO_FILTER_BEST;
        case kCGInterpolationMedium:
        case kCGInterpolationDefault:
            return CAIRO_FILTER_GOOD;
    }
    return CAIRO_FILTER_GOOD;
}

CGFloat clamp01(CGFloat v) {
    return std::clamp(v, CGFloat(0), CGFloat(1));
}

void setSourceColor(cairo_t* cr, const CGColor& c) {
    cairo_set_source_rgba(cr, clamp01(c.red), clamp01(c.green), clamp01(c.blue), clamp01(c.alpha));
}

// Uniform scale of a transform's linear part.
CGFloat scaleOf(const CGAffineTransform& t) {
    return std::sqrt(std::abs(t.a * t.d - t.b * t.c));
}

// Shadows are drawn through temporary surfaces over the painted area; beyond
// this size the shape is painted without its shadow.
constexpr long kMaxShadowSide = 16384;
constexpr long kMaxShadowPixels = long(1) << 25;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};

}  // namespace

// A clip by mask: an A8 plane over the surface's pixels.
struct CGContext::Mask {
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
};

struct CGContext::GState {
    CGColor fill;
    CGColor stroke;
    CGFloat lineWidth = 1;
    CGLineCap cap = kCGLineCapButt;
    CGLineJoin join = kCGLineJoinMiter;
    CGFloat miterLimit = 10;
    CGFloat dashPhase = 0;
    std::vector<CGFloat> dashes;
    CGFloat alpha = 1;
    CGBlendMode blend = kCGBlendModeNormal;
    std::optional<CGColor> shadowColor;
    CGSize shadowOffset{};
    CGFloat shadowBlur = 0;
    CGInterpolationQuality interpolation = kCGInterpolationDefault;
    std::shared_ptr<const Mask> mask;
    CGTextDrawingMode textMode = kCGTextFill;
};

CGContext::CGContext(cairo_surface_t* surface, const CGAffineTransform& base)
    : surface_(cairo_surface_reference(surface)), cr_(cairo_create(surface)), base_(base) {
    const cairo_matrix_t m = toCairo(base);
    cairo_set_matrix(cr_, &m);
    states_.emplace_back();
}

CGContext::~CGContext() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

std::shared_ptr<CGContext> CGContext::createBitmapContext(size_t width, size_t height,
                                                          CGImageAlphaInfo alphaInfo) {
    const uint32_t alpha = alphaInfo & kCGBitmapAlphaInfoMask;
    const bool opaque = alpha == kCGImageAlphaNoneSkipFirst || alpha == kCGImageAlphaNone;
    if (!opaque && alpha != kCGImageAlphaPremultipliedFirst) {
        NSLogWithLevel(NSLogLevel::Error, "CGBitmapContextCreate: unsupported alpha info %u",
                       alpha);
        return nullptr;
    }
    if (width == 0 || height == 0 || width > CGImage::kMaxSide || height > CGImage::kMaxSide ||
        width * height > CGImage::kMaxPixels) {
        NSLogWithLevel(NSLogLevel::Error, "CGBitmapContextCreate: invalid size %zu x %zu", width,
                       height);
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(
        opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, int(width), int(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        NSLogWithLevel(NSLogLevel::Error, "CGBitmapContextCreate: %s",
                       cairo_status_to_string(cairo_surface_status(surface)));
        cairo_surface_destroy(surface);
        return nullptr;
    }
    // Core Graphics' bitmap space: origin bottom-left, y up.
    std::shared_ptr<CGContext> context(
        new CGContext(surface, CGAffineTransformMake(1, 0, 0, -1, 0, CGFloat(height))));
    cairo_surface_destroy(surface);
    return context;
}

std::shared_ptr<CGContext> CGContext::createWithCairoSurface(cairo_surface_t* surface,
                                                             const CGAffineTransform& base) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return std::shared_ptr<CGContext>(new CGContext(surface, base));
}

// Bitmap access.

size_t CGContext::width() const {
    return cairo_surface_get_type(surface_) == CAIRO_SURFACE_TYPE_IMAGE
               ? size_t(cairo_image_surface_get_width(surface_))
               : 0;
}

size_t CGContext::height() const {
    return cairo_surface_get_type(surface_) == CAIRO_SURFACE_TYPE_IMAGE
               ? size_t(cairo_image_surface_get_height(surface_))
               : 0;
}

size_t CGContext::bytesPerRow() const {
    return cairo_surface_get_type(surface_) == CAIRO_SURFACE_TYPE_IMAGE
               ? size_t(cairo_image_surface_get_stride(surface_))
               : 0;
}

CGImageAlphaInfo CGContext::alphaInfo() const {
    return cairo_surface_get_type(surface_) == CAIRO_SURFACE_TYPE_IMAGE &&
                   cairo_image_surface_get_format(surface_) == CAIRO_FORMAT_RGB24
               ? kCGImageAlphaNoneSkipFirst
               : kCGImageAlphaPremultipliedFirst;
}

uint8_t* CGContext::data() {
    if (cairo_surface_get_type(surface_) != CAIRO_SURFACE_TYPE_IMAGE) {
        return nullptr;
    }
    cairo_surface_flush(surface_);
    return cairo_image_surface_get_data(surface_);
}

void CGContext::markDirty() {
    cairo_surface_mark_dirty(surface_);
}

CGImageRef CGContext::createImage() {
    const uint8_t* pixels = data();
    if (pixels == nullptr) {
        return nullptr;
    }
    return CGImage::createWithARGB32(width(), height(), bytesPerRow(), pixels,
                                     alphaInfo() == kCGImageAlphaNoneSkipFirst);
}

// Graphics state.

CGContext::GState& CGContext::state() {
    return states_.back();
}
const CGContext::GState& CGContext::state() const {
    return states_.back();
}

void CGContext::saveGState() {
    cairo_save(cr_);
    states_.push_back(states_.back());
}

void CGContext::restoreGState() {
    if (states_.size() < 2) {
        NSLogWithLevel(NSLogLevel::Error, "CGContextRestoreGState: no saved state");
        return;
    }
    cairo_restore(cr_);
    states_.pop_back();
}

void CGContext::scaleCTM(CGFloat sx, CGFloat sy) {
    cairo_scale(cr_, sx, sy);
}
void CGContext::translateCTM(CGFloat tx, CGFloat ty) {
    cairo_translate(cr_, tx, ty);
}
void CGContext::rotateCTM(CGFloat angle) {
    cairo_rotate(cr_, angle);
}

void CGContext::concatCTM(const CGAffineTransform& transform) {
    const cairo_matrix_t m = toCairo(transform);
    cairo_transform(cr_, &m);
}

CGAffineTransform CGContext::getCTM() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return fromCairo(m);
}

CGPoint CGContext::convertPointToDeviceSpace(CGPoint point) const {
    cairo_user_to_device(cr_, &point.x, &point.y);
    return point;
}

CGPoint CGContext::convertPointToUserSpace(CGPoint point) const {
    cairo_device_to_user(cr_, &point.x, &point.y);
    return point;
}

// Path.

void CGContext::beginPath() {
    cairo_new_path(cr_);
}
void CGContext::moveToPoint(CGFloat x, CGFloat y) {
    cairo_move_to(cr_, x, y);
}

void CGContext::addLineToPoint(CGFloat x, CGFloat y) {
    if (!cairo_has_current_point(cr_)) {
        NSLogWithLevel(NSLogLevel::Warning, "CGContextAddLineToPoint: no current point");
    }
    cairo_line_to(cr_, x, y);
}

void CGContext::addCurveToPoint(CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                                CGFloat y) {
    cairo_curve_to(cr_, cp1x, cp1y, cp2x, cp2y, x, y);
}

void CGContext::addQuadCurveToPoint(CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y) {
    CGPath path;
    path.addQuadCurveToPoint({cpx, cpy}, {x, y});
    CGPathAppendToCairo(path, cr_);
}

void CGContext::appendPath(const CGPath& path) {
    // The element list starts with a move to the current point; skipping it
    // keeps the subpath open so the next piece joins it.
    const auto& elements = path.elements();
    CGPath rest;
    for (size_t i = 1; i < elements.size(); ++i) {
        const CGPath::Element& e = elements[i];
        switch (e.type) {
            case CGPath::ElementType::MoveToPoint:
                rest.moveToPoint(e.points[0]);
                break;
            case CGPath::ElementType::AddLineToPoint:
                rest.addLineToPoint(e.points[0]);
                break;
            case CGPath::ElementType::AddQuadCurveToPoint:
                rest.addQuadCurveToPoint(e.points[0], e.points[1]);
                break;
            case CGPath::ElementType::AddCurveToPoint:
                rest.addCurveToPoint(e.points[0], e.points[1], e.points[2]);
                break;
            case CGPath::ElementType::CloseSubpath:
                rest.closeSubpath();
                break;
        }
    }
    CGPathAppendToCairo(rest, cr_);
}

void CGContext::addArc(CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                       bool clockwise) {
    CGPath path;
    if (cairo_has_current_point(cr_)) {
        path.moveToPoint(getPathCurrentPoint());
        path.addArc({x, y}, radius, startAngle, endAngle, clockwise);
        appendPath(path);
    } else {
        path.addArc({x, y}, radius, startAngle, endAngle, clockwise);
        CGPathAppendToCairo(path, cr_);
    }
}

void CGContext::addArcToPoint(CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius) {
    CGPath path;
    if (cairo_has_current_point(cr_)) {
        path.moveToPoint(getPathCurrentPoint());
        path.addArcToPoint({x1, y1}, {x2, y2}, radius);
        appendPath(path);
    } else {
        cairo_move_to(cr_, x1, y1);
    }
}

void CGContext::addRect(const CGRect& rect) {
    CGPath path;
    path.addRect(rect);
    CGPathAppendToCairo(path, cr_);
}

void CGContext::addRects(const std::vector<CGRect>& rects) {
    for (const CGRect& r : rects) {
        addRect(r);
    }
}

void CGContext::addLines(const std::vector<CGPoint>& points) {
    CGPath path;
    path.addLines(points);
    CGPathAppendToCairo(path, cr_);
}

void CGContext::addEllipseInRect(const CGRect& rect) {
    CGPath path;
    path.addEllipseInRect(rect);
    CGPathAppendToCairo(path, cr_);
}

void CGContext::addPath(const CGPath& path) {
    CGPathAppendToCairo(path, cr_);
}
void CGContext::closePath() {
    cairo_close_path(cr_);
}

bool CGContext::isPathEmpty() const {
    cairo_path_t* path = cairo_copy_path(cr_);
    const bool empty = path->num_data == 0;
    cairo_path_destroy(path);
    return empty;
}

CGPoint CGContext::getPathCurrentPoint() const {
    CGPoint p{};
    if (cairo_has_current_point(cr_)) {
        cairo_get_current_point(cr_, &p.x, &p.y);
    }
    return p;
}

CGRect CGContext::getPathBoundingBox() const {
    if (isPathEmpty()) {
        return CGRectNull;
    }
    double x1, y1, x2, y2;
    cairo_path_extents(cr_, &x1, &y1, &x2, &y2);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

bool CGContext::pathContainsPoint(CGPoint point, CGPathDrawingMode mode) const {
    cairo_save(cr_);
    bool inside = false;
    if (mode == kCGPathStroke || mode == kCGPathFillStroke || mode == kCGPathEOFillStroke) {
        applyStroke(cr_);
        inside = cairo_in_stroke(cr_, point.x, point.y);
    }
    if (!inside && mode != kCGPathStroke) {
        const bool evenOdd = mode == kCGPathEOFill || mode == kCGPathEOFillStroke;
        cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        inside = cairo_in_fill(cr_, point.x, point.y);
    }
    cairo_restore(cr_);
    return inside;
}

// Painting.

void CGContext::applyStroke(cairo_t* cr) const {
    const GState& g = state();
    cairo_set_line_width(cr, g.lineWidth);
    cairo_set_line_cap(cr, g.cap == kCGLineCapRound    ? CAIRO_LINE_CAP_ROUND
                           : g.cap == kCGLineCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                       : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, g.join == kCGLineJoinRound   ? CAIRO_LINE_JOIN_ROUND
                            : g.join == kCGLineJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                         : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, g.miterLimit);
    cairo_set_dash(cr, g.dashes.data(), int(g.dashes.size()), g.dashPhase);
}

cairo_pattern_t* CGContext::createPatternSource(cairo_t* cr, const CGPattern& pattern) const {
    // The cell is rendered at the resolution it will be painted at.
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    const CGAffineTransform toUser = pattern.matrix();
    const CGFloat scale =
        std::clamp(scaleOf(CGAffineTransformConcat(toUser, fromCairo(ctm))), 0.01, 16.0);
    const int w = std::clamp(int(std::ceil(pattern.xStep() * scale)), 1, 4096);
    const int h = std::clamp(int(std::ceil(pattern.yStep() * scale)), 1, 4096);
    cairo_surface_t* cell = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    const CGFloat sx = w / pattern.xStep(), sy = h / pattern.yStep();
    {
        std::shared_ptr<CGContext> cellContext =
            createWithCairoSurface(cell, CGAffineTransformMakeScale(sx, sy));
        // Draw the neighbouring cells too, so content crossing the cell's
        // edges wraps around.
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                cellContext->saveGState();
                cellContext->translateCTM(dx * pattern.xStep(), dy * pattern.yStep());
                cellContext->clipToRect(pattern.bounds());
                if (!pattern.isColored()) {
                    cellContext->setGrayFillColor(0, 1);
                    cellContext->setGrayStrokeColor(0, 1);
                }
                pattern.drawCell(*cellContext);
                cellContext->restoreGState();
            }
        }
    }
    cairo_surface_flush(cell);
    cairo_pattern_t* source = cairo_pattern_create_for_surface(cell);
    cairo_surface_destroy(cell);
    cairo_pattern_set_extend(source, CAIRO_EXTEND_REPEAT);
    const cairo_matrix_t m = toCairo(CGAffineTransformConcat(CGAffineTransformInvert(toUser),
                                                             CGAffineTransformMakeScale(sx, sy)));
    cairo_pattern_set_matrix(source, &m);
    return source;
}

void CGContext::paintColorOverPath(cairo_t* cr, const CGColor& color, bool stroke) const {
    if (!color.pattern) {
        setSourceColor(cr, color);
        stroke ? cairo_stroke(cr) : cairo_fill(cr);
        return;
    }
    cairo_pattern_t* cell = createPatternSource(cr, *color.pattern);
    if (color.pattern->isColored()) {
        cairo_set_source(cr, cell);
        stroke ? cairo_stroke(cr) : cairo_fill(cr);
    } else {
        // The cell is a stencil painted in the colour, inside the shape.
        cairo_save(cr);
        if (stroke) {
            cairo_push_group(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_stroke(cr);
            cairo_pattern_t* shape = cairo_pop_group(cr);
            cairo_push_group(cr);
            setSourceColor(cr, color);
            cairo_mask(cr, cell);
            cairo_pop_group_to_source(cr);
            cairo_mask(cr, shape);
            cairo_pattern_destroy(shape);
        } else {
            cairo_clip(cr);
            setSourceColor(cr, color);
            cairo_mask(cr, cell);
        }
        cairo_restore(cr);
    }
    cairo_pattern_destroy(cell);
}

void CGContext::composite(const std::function<void()>& paintLayer) {
    const GState& g = state();
    if (g.alpha >= 1 && !g.mask) {
        cairo_save(cr_);
        cairo_set_operator(cr_, cairoOperator(g.blend));
        paintLayer();
        cairo_restore(cr_);
        return;
    }
    cairo_save(cr_);
    cairo_push_group(cr_);
    paintLayer();
    cairo_pop_group_to_source(cr_);
    cairo_set_operator(cr_, cairoOperator(g.blend));
    cairo_identity_matrix(cr_);
    if (g.mask) {
        if (g.alpha < 1) {
            cairo_push_group(cr_);
            cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
            cairo_mask_surface(cr_, g.mask->surface.get(), 0, 0);
            cairo_pop_group_to_source(cr_);
            cairo_paint_with_alpha(cr_, clamp01(g.alpha));
        } else {
            cairo_mask_surface(cr_, g.mask->surface.get(), 0, 0);
        }
    } else {
        cairo_paint_with_alpha(cr_, clamp01(g.alpha));
    }
    cairo_restore(cr_);
}

bool CGContext::paintWithShadow(const std::function<void(cairo_t* cr)>& draw, cairo_path_t* path) {
    const GState& g = state();
    // Shadow geometry in pixels: offset and blur are in the default user space.
    const CGSize offset = CGSizeApplyAffineTransform(g.shadowOffset, base_);
    const CGFloat sigma = std::max(CGFloat(0), g.shadowBlur) * scaleOf(base_) / 2;
    const size_t radius = CGBoxBlurRadiusForSigma(sigma);
    double x1, y1, x2, y2;
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    cairo_restore(cr_);
    // Shapes up to the offset plus the blur reach outside the clip can cast
    // a shadow into it.
    const int reach = int(std::ceil(std::max(std::abs(offset.width), std::abs(offset.height)))) +
                      int(3 * radius) + 2;
    const int left = int(std::floor(x1)) - reach, top = int(std::floor(y1)) - reach;
    const long w = long(std::ceil(x2)) + reach - left;
    const long h = long(std::ceil(y2)) + reach - top;
    if (w <= 0 || h <= 0) {
        return true;
    }
    if (w > kMaxShadowSide || h > kMaxShadowSide || w * h > kMaxShadowPixels) {
        NSLogWithLevel(NSLogLevel::Warning, "CGContext: %ld x %ld is too large for a shadow", w, h);
        return false;
    }
    cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w), int(h));
    cairo_t* lcr = cairo_create(layer);
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    m.x0 -= left;
    m.y0 -= top;
    cairo_set_matrix(lcr, &m);
    cairo_set_antialias(lcr, cairo_get_antialias(cr_));
    cairo_append_path(lcr, path);
    draw(lcr);
    cairo_destroy(lcr);
    cairo_surface_flush(layer);

    cairo_surface_t* shadow = cairo_image_surface_create(CAIRO_FORMAT_A8, int(w), int(h));
    cairo_surface_flush(shadow);
    {
        const uint8_t* src = cairo_image_surface_get_data(layer);
        uint8_t* dst = cairo_image_surface_get_data(shadow);
        const int srcStride = cairo_image_surface_get_stride(layer);
        const int dstStride = cairo_image_surface_get_stride(shadow);
        for (long y = 0; y < h; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(src + y * srcStride);
            for (long x = 0; x < w; ++x) {
                dst[y * dstStride + x] = uint8_t(row[x] >> 24);
            }
        }
        CGBoxBlurAlpha(dst, size_t(w), size_t(h), size_t(dstStride), radius, 3);
    }
    cairo_surface_mark_dirty(shadow);

    const CGColor shadowColor = *g.shadowColor;
    composite([&] {
        cairo_save(cr_);
        cairo_identity_matrix(cr_);
        setSourceColor(cr_, shadowColor);
        cairo_mask_surface(cr_, shadow, left + offset.width, top + offset.height);
        cairo_set_source_surface(cr_, layer, left, top);
        cairo_paint(cr_);
        cairo_restore(cr_);
    });
    cairo_surface_destroy(shadow);
    cairo_surface_destroy(layer);
    return true;
}

void CGContext::paint(const std::function<void(cairo_t* cr)>& draw, bool consumesPath) {
    const GState& g = state();
    const bool shadow = g.shadowColor && g.shadowColor->alpha > 0;
    if (!shadow && g.alpha >= 1 && !g.mask) {
        paintDirectly(draw, consumesPath);
        return;
    }
    cairo_path_t* path = cairo_copy_path(cr_);
    cairo_new_path(cr_);
    bool painted = false;
    if (shadow) {
        cairo_path_t* none = cairo_copy_path(cr_);
        painted = paintWithShadow(draw, consumesPath ? path : none);
        cairo_path_destroy(none);
    }
    if (!painted) {
        composite([&] {
            cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
            if (consumesPath) {
                cairo_append_path(cr_, path);
            }
            draw(cr_);
            cairo_new_path(cr_);
        });
    }
    if (!consumesPath) {
        cairo_append_path(cr_, path);
    }
    cairo_path_destroy(path);
}

void CGContext::paintDirectly(const std::function<void(cairo_t* cr)>& draw, bool consumesPath) {
    cairo_path_t* kept = consumesPath ? nullptr : cairo_copy_path(cr_);
    if (kept) {
        cairo_new_path(cr_);
    }
    cairo_save(cr_);
    cairo_set_operator(cr_, cairoOperator(state().blend));
    draw(cr_);
    cairo_restore(cr_);
    cairo_new_path(cr_);
    if (kept) {
        cairo_append_path(cr_, kept);
        cairo_path_destroy(kept);
    }
}

std::optional<CGColor> CGContext::colorWithAlphaFolded(const CGColor& color) const {
    // One fill or stroke covers each pixel once, so painting it in a colour
    // of alpha times its own equals compositing it as a group at alpha,
    // without a group as large as the clip.
    const GState& g = state();
    const bool shadow = g.shadowColor && g.shadowColor->alpha > 0;
    if (shadow || g.mask || g.blend != kCGBlendModeNormal || color.pattern) {
        return std::nullopt;
    }
    CGColor folded = color;
    folded.alpha = clamp01(color.alpha) * g.alpha;
    return folded;
}

void CGContext::fillWithRule(bool evenOdd) {
    const CGColor color = state().fill;
    auto draw = [&](const CGColor& paintColor) {
        return [&, paintColor](cairo_t* cr) {
            cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
            paintColorOverPath(cr, paintColor, false);
        };
    };
    if (auto folded = colorWithAlphaFolded(color)) {
        paintDirectly(draw(*folded), true);
    } else {
        paint(draw(color), true);
    }
}

void CGContext::fillPath() {
    fillWithRule(false);
}
void CGContext::eoFillPath() {
    fillWithRule(true);
}

void CGContext::strokePath() {
    const CGColor color = state().stroke;
    auto draw = [&](const CGColor& paintColor) {
        return [&, paintColor](cairo_t* cr) {
            applyStroke(cr);
            paintColorOverPath(cr, paintColor, true);
        };
    };
    if (auto folded = colorWithAlphaFolded(color)) {
        paintDirectly(draw(*folded), true);
    } else {
        paint(draw(color), true);
    }
}

void CGContext::drawPath(CGPathDrawingMode mode) {
    if (mode == kCGPathStroke) {
        strokePath();
        return;
    }
    const bool evenOdd = mode == kCGPathEOFill || mode == kCGPathEOFillStroke;
    const bool stroke = mode == kCGPathFillStroke || mode == kCGPathEOFillStroke;
    const CGColor fill = state().fill, strokeColor = state().stroke;
    // Fill and stroke make one shape, so a shadow falls once under both.
    paint(
        [&](cairo_t* cr) {
            cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
            cairo_path_t* path = stroke ? cairo_copy_path(cr) : nullptr;
            paintColorOverPath(cr, fill, false);
            if (path) {
                cairo_append_path(cr, path);
                cairo_path_destroy(path);
                applyStroke(cr);
                paintColorOverPath(cr, strokeColor, true);
            }
        },
        true);
}

void CGContext::fillRect(const CGRect& rect) {
    beginPath();
    addRect(rect);
    fillPath();
}

void CGContext::fillRects(const std::vector<CGRect>& rects) {
    beginPath();
    addRects(rects);
    fillPath();
}

void CGContext::fillEllipseInRect(const CGRect& rect) {
    beginPath();
    addEllipseInRect(rect);
    fillPath();
}

void CGContext::strokeRect(const CGRect& rect) {
    beginPath();
    addRect(rect);
    strokePath();
}

void CGContext::strokeRectWithWidth(const CGRect& rect, CGFloat width) {
    saveGState();
    setLineWidth(width);
    strokeRect(rect);
    restoreGState();
}

void CGContext::strokeEllipseInRect(const CGRect& rect) {
    beginPath();
    addEllipseInRect(rect);
    strokePath();
}

void CGContext::strokeLineSegments(const std::vector<CGPoint>& points) {
    beginPath();
    for (size_t i = 0; i + 1 < points.size(); i += 2) {
        moveToPoint(points[i].x, points[i].y);
        addLineToPoint(points[i + 1].x, points[i + 1].y);
    }
    strokePath();
}

void CGContext::clearRect(const CGRect& rect) {
    cairo_save(cr_);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

// Colours.

void CGContext::setFillColorWithColor(const CGColor& color) {
    state().fill = color;
}
void CGContext::setStrokeColorWithColor(const CGColor& color) {
    state().stroke = color;
}

void CGContext::setRGBFillColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    state().fill = CGColorCreateGenericRGB(red, green, blue, alpha);
}

void CGContext::setRGBStrokeColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    state().stroke = CGColorCreateGenericRGB(red, green, blue, alpha);
}

void CGContext::setGrayFillColor(CGFloat gray, CGFloat alpha) {
    state().fill = CGColorCreateGenericGray(gray, alpha);
}

void CGContext::setGrayStrokeColor(CGFloat gray, CGFloat alpha) {
    state().stroke = CGColorCreateGenericGray(gray, alpha);
}

void CGContext::setFillPattern(std::shared_ptr<const CGPattern> pattern,
                               const CGFloat components[4]) {
    state().fill = CGColorCreateWithPattern(std::move(pattern), components[0], components[1],
                                            components[2], components[3]);
}

const CGColor& CGContext::fillColor() const {
    return state().fill;
}
const CGColor& CGContext::strokeColor() const {
    return state().stroke;
}

// Stroke parameters.

void CGContext::setLineWidth(CGFloat width) {
    if (width >= 0 && std::isfinite(width)) {
        state().lineWidth = width;
    }
}

void CGContext::setLineCap(CGLineCap cap) {
    state().cap = cap;
}
void CGContext::setLineJoin(CGLineJoin join) {
    state().join = join;
}
void CGContext::setMiterLimit(CGFloat limit) {
    state().miterLimit = limit;
}
CGFloat CGContext::lineWidth() const {
    return state().lineWidth;
}
CGLineCap CGContext::lineCap() const {
    return state().cap;
}
CGLineJoin CGContext::lineJoin() const {
    return state().join;
}
const std::vector<CGFloat>& CGContext::lineDashLengths() const {
    return state().dashes;
}
CGFloat CGContext::lineDashPhase() const {
    return state().dashPhase;
}

void CGContext::setFlatness(CGFloat flatness) {
    if (flatness > 0 && std::isfinite(flatness)) {
        cairo_set_tolerance(cr_, flatness);
    }
}

void CGContext::setLineDash(CGFloat phase, const std::vector<CGFloat>& lengths) {
    const bool valid = std::all_of(lengths.begin(), lengths.end(),
                                   [](CGFloat l) { return l >= 0 && std::isfinite(l); }) &&
                       std::any_of(lengths.begin(), lengths.end(), [](CGFloat l) { return l > 0; });
    state().dashes = valid ? lengths : std::vector<CGFloat>{};
    state().dashPhase = valid ? phase : 0;
}

// Compositing.

void CGContext::setAlpha(CGFloat alpha) {
    state().alpha = clamp01(alpha);
}
CGFloat CGContext::alpha() const {
    return state().alpha;
}
void CGContext::setBlendMode(CGBlendMode mode) {
    state().blend = mode;
}

void CGContext::setShadow(CGSize offset, CGFloat blur) {
    setShadowWithColor(offset, blur, CGColorCreateGenericGray(0, 1.0 / 3.0));
}

void CGContext::setShadowWithColor(CGSize offset, CGFloat blur,
                                   const std::optional<CGColor>& color) {
    state().shadowOffset = offset;
    state().shadowBlur = blur;
    state().shadowColor = color;
}

void CGContext::setShouldAntialias(bool antialias) {
    cairo_set_antialias(cr_, antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void CGContext::setCoarseAntialiasing(bool coarse) {
    if (cairo_get_antialias(cr_) != CAIRO_ANTIALIAS_NONE) {
        cairo_set_antialias(cr_, coarse ? CAIRO_ANTIALIAS_FAST : CAIRO_ANTIALIAS_DEFAULT);
    }
}

void CGContext::setInterpolationQuality(CGInterpolationQuality quality) {
    state().interpolation = quality;
}

CGInterpolationQuality CGContext::interpolationQuality() const {
    return state().interpolation;
}

// Clipping.

void CGContext::clip() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
}

void CGContext::eoClip() {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr_);
}

void CGContext::clipToRect(const CGRect& rect) {
    cairo_path_t* path = cairo_copy_path(cr_);
    cairo_new_path(cr_);
    addRect(rect);
    clip();
    cairo_append_path(cr_, path);
    cairo_path_destroy(path);
}

void CGContext::clipToRects(const std::vector<CGRect>& rects) {
    cairo_path_t* path = cairo_copy_path(cr_);
    cairo_new_path(cr_);
    addRects(rects);
    clip();
    cairo_append_path(cr_, path);
    cairo_path_destroy(path);
}

void CGContext::clipToMask(const CGRect& rect, const CGImage& mask) {
    const int w = cairo_image_surface_get_width(surface_);
    const int h = cairo_image_surface_get_height(surface_);
    if (cairo_surface_get_type(surface_) != CAIRO_SURFACE_TYPE_IMAGE || w <= 0 || h <= 0) {
        NSLogWithLevel(NSLogLevel::Error, "CGContextClipToMask: needs a bitmap surface");
        return;
    }
    // The mask's coverage: alpha, or luminance for an opaque image.
    std::vector<uint32_t> coverage(mask.width() * mask.height());
    for (size_t y = 0; y < mask.height(); ++y) {
        for (size_t x = 0; x < mask.width(); ++x) {
            const uint32_t p = mask.pixelAt(x, y);
            uint32_t a = p >> 24;
            if (mask.isOpaque()) {
                a = (((p >> 16) & 0xFF) * 54 + ((p >> 8) & 0xFF) * 183 + (p & 0xFF) * 19) >> 8;
            }
            coverage[y * mask.width() + x] = a << 24;
        }
    }
    auto coverageImage =
        CGImage::createWithARGB32(mask.width(), mask.height(), mask.width() * 4,
                                  reinterpret_cast<const uint8_t*>(coverage.data()), false);
    if (!coverageImage) {
        return;
    }
    auto plane = std::make_shared<Mask>();
    plane->surface.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h));
    cairo_t* mcr = cairo_create(plane->surface.get());
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    cairo_set_matrix(mcr, &m);
    drawImageSource(mcr, rect, *coverageImage, false);
    if (state().mask) {
        // Intersect with the mask already in force.
        cairo_identity_matrix(mcr);
        cairo_set_operator(mcr, CAIRO_OPERATOR_DEST_IN);
        cairo_set_source_surface(mcr, state().mask->surface.get(), 0, 0);
        cairo_paint(mcr);
    }
    cairo_destroy(mcr);
    state().mask = std::move(plane);
}

CGRect CGContext::getClipBoundingBox() const {
    double x1, y1, x2, y2;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

// Gradients.

cairo_pattern_t* CGContext::createGradientPattern(const CGGradient& gradient,
                                                  cairo_pattern_t* pattern,
                                                  unsigned options) const {
    for (const CGGradient::Stop& stop : gradient.stops()) {
        cairo_pattern_add_color_stop_rgba(pattern, stop.location, clamp01(stop.color.red),
                                          clamp01(stop.color.green), clamp01(stop.color.blue),
                                          clamp01(stop.color.alpha));
    }
    cairo_pattern_set_extend(pattern, options != 0 ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    return pattern;
}

void CGContext::drawLinearGradient(const CGGradient& gradient, CGPoint startPoint, CGPoint endPoint,
                                   unsigned options) {
    paint(
        [&](cairo_t* cr) {
            cairo_pattern_t* pattern = createGradientPattern(
                gradient,
                cairo_pattern_create_linear(startPoint.x, startPoint.y, endPoint.x, endPoint.y),
                options);
            cairo_save(cr);
            const bool before = options & kCGGradientDrawsBeforeStartLocation;
            const bool after = options & kCGGradientDrawsAfterEndLocation;
            const CGFloat dx = endPoint.x - startPoint.x, dy = endPoint.y - startPoint.y;
            const CGFloat length = std::hypot(dx, dy);
            if (before != after && length > 0) {
                // Only one side extends: clip off the half-plane beyond the other end.
                const CGFloat ux = dx / length, uy = dy / length, far = 1e6;
                const CGPoint edge = before ? endPoint : startPoint;
                const CGFloat dir = before ? -1 : 1;
                cairo_move_to(cr, edge.x - uy * far, edge.y + ux * far);
                cairo_line_to(cr, edge.x + uy * far, edge.y - ux * far);
                cairo_line_to(cr, edge.x + uy * far + dir * ux * far,
                              edge.y - ux * far + dir * uy * far);
                cairo_line_to(cr, edge.x - uy * far + dir * ux * far,
                              edge.y + ux * far + dir * uy * far);
                cairo_close_path(cr);
                cairo_clip(cr);
            }
            cairo_set_source(cr, pattern);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_pattern_destroy(pattern);
        },
        false);
}

void CGContext::drawRadialGradient(const CGGradient& gradient, CGPoint startCenter,
                                   CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
                                   unsigned options) {
    paint(
        [&](cairo_t* cr) {
            // cairo extends a radial gradient on both sides or neither.
            cairo_pattern_t* pattern = createGradientPattern(
                gradient,
                cairo_pattern_create_radial(startCenter.x, startCenter.y, startRadius, endCenter.x,
                                            endCenter.y, endRadius),
                options);
            cairo_set_source(cr, pattern);
            cairo_paint(cr);
            cairo_pattern_destroy(pattern);
        },
        false);
}

// Images.

void CGContext::drawImageSource(cairo_t* cr, const CGRect& rect, const CGImage& image,
                                bool tiled) const {
    const CGRect r = CGRectStandardize(rect);
    if (CGRectIsEmpty(r)) {
        return;
    }
    cairo_surface_t* surface = image.createCairoSurface();
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    // Pixel (u, v) lands at (x + u w / W, maxY - v h / H): row 0 at the top
    // of a y-up space.
    const CGFloat sx = r.size.width / CGFloat(image.width());
    const CGFloat sy = r.size.height / CGFloat(image.height());
    const CGAffineTransform imageToUser =
        CGAffineTransformMake(sx, 0, 0, -sy, r.origin.x, CGRectGetMaxY(r));
    const cairo_matrix_t m = toCairo(CGAffineTransformInvert(imageToUser));
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_filter(pattern, cairoFilter(state().interpolation));
    cairo_save(cr);
    if (tiled) {
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    } else {
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_new_path(cr);
        cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
        cairo_clip(cr);
    }
    cairo_set_source(cr, pattern);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(surface);
}

void CGContext::drawImage(const CGRect& rect, const CGImage& image) {
    paint([&](cairo_t* cr) { drawImageSource(cr, rect, image, false); }, false);
}

void CGContext::drawTiledImage(const CGRect& rect, const CGImage& image) {
    paint([&](cairo_t* cr) { drawImageSource(cr, rect, image, true); }, false);
}

// Text state.

void CGContext::setTextMatrix(const CGAffineTransform& matrix) {
    textMatrix_ = matrix;
}
CGAffineTransform CGContext::getTextMatrix() const {
    return textMatrix_;
}
void CGContext::setTextPosition(CGFloat x, CGFloat y) {
    textMatrix_.tx = x, textMatrix_.ty = y;
}
CGPoint CGContext::getTextPosition() const {
    return {textMatrix_.tx, textMatrix_.ty};
}
void CGContext::setTextDrawingMode(CGTextDrawingMode mode) {
    state().textMode = mode;
}
CGTextDrawingMode CGContext::textDrawingMode() const {
    return state().textMode;
}
