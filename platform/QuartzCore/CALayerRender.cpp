#include "QuartzCore/CALayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "CoreGraphics/CGBilinearPaint.h"
#include "CoreGraphics/CGBoxBlur.h"
#include "CoreGraphics/CGPath+Cairo.h"

namespace {

// Shadows larger than this many pixels are not drawn.
constexpr long kMaxShadowPixels = 4096L * 4096L;
// Larger rasterised layers are drawn part by part instead.
constexpr long kMaxRasterPixels = 4096L * 4096L;

cairo_matrix_t toCairo(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

void appendPath(cairo_t* cr, const CGPath& path) {
    CGPathAppendToCairo(path, cr);
}

// Whether the matrix keeps the x and y axes on the device's (scaled,
// flipped or moved, not turned).
bool keepsAxes(const cairo_matrix_t& m) {
    return m.xy == 0 && m.yx == 0;
}

// Bitmaps drawn one pixel to one pixel land on whole pixels: sharper, and
// cairo copies them instead of filtering.
void snapToPixels(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (std::fabs(m.xx - 1) < 1e-9 && std::fabs(m.yy - 1) < 1e-9 && m.xy == 0 && m.yx == 0) {
        m.x0 = std::round(m.x0);
        m.y0 = std::round(m.y0);
        cairo_set_matrix(cr, &m);
    }
}

void setSource(cairo_t* cr, const CGColor& c, double alphaFactor = 1) {
    cairo_set_source_rgba(cr, std::clamp(c.red, 0.0, 1.0), std::clamp(c.green, 0.0, 1.0),
                          std::clamp(c.blue, 0.0, 1.0),
                          std::clamp(c.alpha * alphaFactor, 0.0, 1.0));
}

}  // namespace

void CALayer::renderInContext(CGContext& context) {
    std::shared_ptr<CALayer> p = presentationLayer();
    if (p->props_.hidden) {
        return;
    }
    context.saveGState();
    renderTree(context, true);
    context.restoreGState();
}

void CALayer::compositeInContext(CGContext& context) {
    if (props_.hidden) {
        return;
    }
    context.saveGState();
    renderTree(context, false);
    context.restoreGState();
}

void CALayer::renderAsSublayer(CGContext& context, bool snapshot) {
    std::shared_ptr<CALayer> p = presentationLayer();
    if (p->props_.hidden || p->props_.opacity <= 0) {
        return;
    }
    // Only the cairo matrix changes here, so cairo's own save is enough.
    cairo_t* cr = context.cairoContext();
    cairo_save(cr);
    const cairo_matrix_t m = toCairo(p->transformToSuperlayer());
    cairo_transform(cr, &m);
    cairo_matrix_t device;
    cairo_get_matrix(cr, &device);
    if (!shouldRasterize_ || keepsAxes(device) || !rasterizeTree(context, snapshot)) {
        renderTree(context, snapshot);
    }
    cairo_restore(cr);
}

bool CALayer::rasterizeTree(CGContext& context, bool snapshot) {
    cairo_t* cr = context.cairoContext();
    cairo_matrix_t device;
    cairo_get_matrix(cr, &device);
    const double scale = std::sqrt(std::fabs(device.xx * device.yy - device.xy * device.yx));
    if (!(scale > 0)) {
        return true;  // nothing of the layer shows
    }
    // The part of the layer the frame shows: the clip seen from the layer
    // where the tree draws, and a pixel more each way, which the filter
    // reads at the edge. A turned clip seen from the layer is much larger
    // than the tree, so this keeps the bitmap to the tree's size.
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    CGRect shown = CGRectIntersection(CGRectMake(x1, y1, x2 - x1, y2 - y1), treeExtent(scale));
    const std::shared_ptr<CALayer> p = presentationLayer();
    if (p->props_.masksToBounds) {
        shown = CGRectIntersection(shown, p->props_.bounds);
    }
    if (CGRectIsEmpty(shown)) {
        return true;
    }
    const double left = std::floor(CGRectGetMinX(shown) * scale) - 1;
    const double top = std::floor(CGRectGetMinY(shown) * scale) - 1;
    const long w = long(std::ceil(CGRectGetMaxX(shown) * scale) + 1 - left);
    const long h = long(std::ceil(CGRectGetMaxY(shown) * scale) + 1 - top);
    if (w * h > kMaxRasterPixels) {
        return false;
    }
    if (!raster_ || cairo_image_surface_get_width(raster_.get()) != w ||
        cairo_image_surface_get_height(raster_.get()) != h) {
        raster_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w), int(h)),
                      cairo_surface_destroy);
    } else {
        cairo_surface_flush(raster_.get());
        std::memset(cairo_image_surface_get_data(raster_.get()), 0,
                    size_t(cairo_image_surface_get_stride(raster_.get())) * size_t(h));
        cairo_surface_mark_dirty(raster_.get());
    }
    if (auto raster = CGContext::createWithCairoSurface(
            raster_.get(), CGAffineTransformMake(scale, 0, 0, scale, -left, -top))) {
        renderTree(*raster, snapshot);
    }
    cairo_surface_flush(raster_.get());
    cairo_save(cr);
    cairo_scale(cr, 1 / scale, 1 / scale);
    if (!CGPaintImageSurfaceBilinear(cr, raster_.get(), left, top)) {
        cairo_set_source_surface(cr, raster_.get(), left, top);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
        cairo_paint(cr);
    }
    cairo_restore(cr);
    return true;
}

void CALayer::renderTree(CGContext& context, bool snapshot) {
    std::shared_ptr<CALayer> presentation = presentationLayer();
    CALayer& p = *presentation;
    cairo_t* cr = context.cairoContext();
    const bool group = p.props_.opacity < 1 || mask_;
    if (group) {
        cairo_push_group(cr);
    }
    p.drawShadow(context);
    if (p.props_.backdropBlurRadius > 0) {
        p.drawBlurredBackdrop(context);
    }
    const bool clips = p.props_.masksToBounds;
    if (clips) {
        context.saveGState();
        context.addPath(p.boundsPath());
        context.clip();
    }
    p.drawOwnContent(context, snapshot);
    for (const auto& sublayer : sublayers_) {
        sublayer->renderAsSublayer(context, snapshot);
    }
    if (clips) {
        context.restoreGState();
    }
    p.drawBorder(context);
    if (!group) {
        return;
    }
    cairo_pattern_t* content = cairo_pop_group(cr);
    if (mask_) {
        cairo_push_group(cr);
        mask_->renderAsSublayer(context, snapshot);
        cairo_pattern_t* maskPattern = cairo_pop_group(cr);
        cairo_push_group(cr);
        cairo_set_source(cr, content);
        cairo_mask(cr, maskPattern);
        cairo_pattern_destroy(maskPattern);
        cairo_pattern_destroy(content);
        content = cairo_pop_group(cr);
    }
    cairo_save(cr);
    cairo_set_source(cr, content);
    cairo_paint_with_alpha(cr, std::clamp(double(p.props_.opacity), 0.0, 1.0));
    cairo_restore(cr);
    cairo_pattern_destroy(content);
}

// What lies behind the layer, read from the surface drawn so far, blurred
// and drawn into the bounds. The blur works at a quarter of the resolution
// (a blur this wide loses nothing by it) over a margin of replicated edge
// pixels, so the picture does not fade towards the surface's edges.
void CALayer::drawBlurredBackdrop(CGContext& context) {
    constexpr int kReduction = 4;
    cairo_t* cr = context.cairoContext();
    const CGRect& b = props_.bounds;
    double xs[4] = {b.origin.x, b.origin.x + b.size.width, b.origin.x, b.origin.x + b.size.width};
    double ys[4] = {b.origin.y, b.origin.y, b.origin.y + b.size.height, b.origin.y + b.size.height};
    for (int i = 0; i < 4; ++i) {
        cairo_user_to_device(cr, &xs[i], &ys[i]);
    }
    double ux = 1;
    double uy = 0;
    cairo_user_to_device_distance(cr, &ux, &uy);
    const double sigma = props_.backdropBlurRadius * std::hypot(ux, uy);
    const double margin = 3 * sigma;
    const double x0 = std::floor(*std::min_element(xs, xs + 4) - margin);
    const double y0 = std::floor(*std::min_element(ys, ys + 4) - margin);
    const double x1 = std::ceil(*std::max_element(xs, xs + 4) + margin);
    const double y1 = std::ceil(*std::max_element(ys, ys + 4) + margin);
    const int w = int(std::ceil((x1 - x0) / kReduction));
    const int h = int(std::ceil((y1 - y0) / kReduction));
    if (w <= 0 || h <= 0 || long(w) * long(h) > kMaxShadowPixels) {
        return;
    }
    cairo_surface_t* small = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* reduce = cairo_create(small);
    cairo_scale(reduce, 1.0 / kReduction, 1.0 / kReduction);
    cairo_set_source_surface(reduce, cairo_get_group_target(cr), -x0, -y0);
    cairo_pattern_set_extend(cairo_get_source(reduce), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(reduce), CAIRO_FILTER_GOOD);
    cairo_paint(reduce);
    cairo_destroy(reduce);
    cairo_surface_flush(small);
    CGBoxBlurChannels(cairo_image_surface_get_data(small), size_t(w), size_t(h),
                      size_t(cairo_image_surface_get_stride(small)), 4,
                      CGBoxBlurRadiusForSigma(sigma / kReduction), 3);
    cairo_surface_mark_dirty(small);
    cairo_save(cr);
    cairo_new_path(cr);
    appendPath(cr, boundsPath());
    cairo_clip(cr);
    cairo_identity_matrix(cr);
    cairo_translate(cr, x0, y0);
    cairo_scale(cr, kReduction, kReduction);
    cairo_set_source_surface(cr, small, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(small);
}

void CALayer::drawOwnContent(CGContext& context, bool) {
    cairo_t* cr = context.cairoContext();
    if (props_.backgroundColor && props_.backgroundColor->alpha > 0) {
        const CGColor& color = *props_.backgroundColor;
        if (color.pattern) {
            context.saveGState();
            context.setFillColorWithColor(color);
            context.addPath(boundsPath());
            context.fillPath();
            context.restoreGState();
        } else {
            cairo_save(cr);
            cairo_new_path(cr);
            if (props_.cornerRadius > 0) {
                appendPath(cr, boundsPath());
            } else {
                const CGRect& b = props_.bounds;
                cairo_rectangle(cr, b.origin.x, b.origin.y, b.size.width, b.size.height);
            }
            setSource(cr, color);
            cairo_fill(cr);
            cairo_restore(cr);
        }
    }
    drawContents(context);
}

void CALayer::drawContents(CGContext& context) {
    cairo_t* cr = context.cairoContext();
    const CGRect& b = props_.bounds;
    if (props_.backing) {
        cairo_save(cr);
        cairo_translate(cr, b.origin.x, b.origin.y);
        cairo_scale(cr, 1 / props_.contentsScale, 1 / props_.contentsScale);
        snapToPixels(cr);
        cairo_set_source_surface(cr, props_.backing.get(), 0, 0);
        // A rectangle, not a paint: painting would visit the whole clip.
        cairo_rectangle(cr, 0, 0, cairo_image_surface_get_width(props_.backing.get()),
                        cairo_image_surface_get_height(props_.backing.get()));
        cairo_fill(cr);
        cairo_restore(cr);
        return;
    }
    if (!props_.contents) {
        return;
    }
    const CGRect dst = contentsDestination();
    if (CGRectIsEmpty(dst)) {
        return;
    }
    const CGImage& image = *props_.contents;
    cairo_surface_t* surface = image.createCairoSurface();
    cairo_save(cr);
    cairo_translate(cr, dst.origin.x, dst.origin.y);
    cairo_scale(cr, dst.size.width / CGFloat(image.width()),
                dst.size.height / CGFloat(image.height()));
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, double(image.width()), double(image.height()));
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

CGRect CALayer::contentsDestination() const {
    const CGRect& b = props_.bounds;
    const CGImage& image = *props_.contents;
    const CGFloat iw = CGFloat(image.width()) / props_.contentsScale;
    const CGFloat ih = CGFloat(image.height()) / props_.contentsScale;
    CGRect dst{b.origin, {iw, ih}};
    const CGFloat dx = b.size.width - iw, dy = b.size.height - ih;
    switch (props_.gravity) {
        case CAContentsGravity::Resize:
            dst = b;
            break;
        case CAContentsGravity::ResizeAspect:
        case CAContentsGravity::ResizeAspectFill: {
            const CGFloat sx = b.size.width / iw, sy = b.size.height / ih;
            const CGFloat s = props_.gravity == CAContentsGravity::ResizeAspect ? std::min(sx, sy)
                                                                                : std::max(sx, sy);
            dst.size = {iw * s, ih * s};
            dst.origin = {b.origin.x + (b.size.width - dst.size.width) / 2,
                          b.origin.y + (b.size.height - dst.size.height) / 2};
            break;
        }
        case CAContentsGravity::Center:
            dst.origin = {b.origin.x + dx / 2, b.origin.y + dy / 2};
            break;
        case CAContentsGravity::Top:
            dst.origin.x += dx / 2;
            break;
        case CAContentsGravity::Bottom:
            dst.origin = {b.origin.x + dx / 2, b.origin.y + dy};
            break;
        case CAContentsGravity::Left:
            dst.origin.y += dy / 2;
            break;
        case CAContentsGravity::Right:
            dst.origin = {b.origin.x + dx, b.origin.y + dy / 2};
            break;
        case CAContentsGravity::TopLeft:
            break;
        case CAContentsGravity::TopRight:
            dst.origin.x += dx;
            break;
        case CAContentsGravity::BottomLeft:
            dst.origin.y += dy;
            break;
        case CAContentsGravity::BottomRight:
            dst.origin = {b.origin.x + dx, b.origin.y + dy};
            break;
    }
    return dst;
}

void CALayer::drawBorder(CGContext& context) {
    if (props_.borderWidth <= 0 || props_.borderColor.alpha <= 0) {
        return;
    }
    // The border lies inside the bounds.
    cairo_t* cr = context.cairoContext();
    const CGFloat w = props_.borderWidth;
    const CGRect inner = CGRectInset(props_.bounds, w / 2, w / 2);
    if (CGRectIsNull(inner)) {
        return;
    }
    CGPath path;
    const CGFloat r = std::max(0.0, props_.cornerRadius - w / 2);
    if (r > 0) {
        path.addRoundedRect(inner, r, r);
    } else {
        path.addRect(inner);
    }
    cairo_save(cr);
    cairo_new_path(cr);
    appendPath(cr, path);
    cairo_set_line_width(cr, w);
    setSource(cr, props_.borderColor);
    cairo_stroke(cr);
    cairo_restore(cr);
}

std::optional<CGRect> CALayer::shadowCasterExtent() const {
    const bool background = props_.backgroundColor && props_.backgroundColor->alpha > 0;
    if (background || props_.contents || props_.backing) {
        return props_.bounds;
    }
    return std::nullopt;
}

std::optional<CGRect> CALayer::shadowSourceBox() const {
    return props_.shadowPath ? std::optional<CGRect>(props_.shadowPath->boundingBox())
                             : shadowCasterExtent();
}

void CALayer::drawShadow(CGContext& context) {
    if (props_.shadowOpacity <= 0 || props_.shadowColor.alpha <= 0) {
        return;
    }
    // Without a shadow path the shadow is that of what the layer itself
    // draws: its background, contents image or backing store, or a shape
    // layer's path, by their alpha.
    const std::optional<CGPath>& path = props_.shadowPath;
    const std::optional<CGRect> extent = shadowSourceBox();
    if (!extent || CGRectIsEmpty(*extent) || (path && path->isEmpty())) {
        return;
    }
    cairo_t* cr = context.cairoContext();
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    const CGAffineTransform device{ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0, ctm.y0};
    const CGFloat scale = std::sqrt(std::fabs(device.a * device.d - device.b * device.c));
    const size_t radius = CGBoxBlurRadiusForSigma(props_.shadowRadius * scale / 2);
    const CGRect box = CGRectApplyAffineTransform(*extent, device);
    const long margin = shadowBlurMarginPixels(radius);
    const long left = long(std::floor(box.origin.x)) - margin;
    const long top = long(std::floor(box.origin.y)) - margin;
    const long w = long(std::ceil(box.size.width)) + 2 * margin;
    const long h = long(std::ceil(box.size.height)) + 2 * margin;
    if (w <= 0 || h <= 0 || w * h > kMaxShadowPixels) {
        return;
    }
    cairo_surface_t* alpha = cairo_image_surface_create(CAIRO_FORMAT_A8, int(w), int(h));
    cairo_matrix_t m = toCairo(device);
    m.x0 -= double(left);
    m.y0 -= double(top);
    if (path) {
        cairo_t* acr = cairo_create(alpha);
        cairo_set_matrix(acr, &m);
        appendPath(acr, *path);
        cairo_fill(acr);
        cairo_destroy(acr);
    } else if (auto caster = CGContext::createWithCairoSurface(
                   alpha, CGAffineTransform{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0})) {
        drawOwnContent(*caster, true);
    }
    cairo_surface_flush(alpha);
    if (radius > 0) {
        CGBoxBlurAlpha(cairo_image_surface_get_data(alpha), size_t(w), size_t(h),
                       size_t(cairo_image_surface_get_stride(alpha)), radius, 3);
    }
    cairo_surface_mark_dirty(alpha);
    const CGSize offset = CGSizeApplyAffineTransform(props_.shadowOffset, device);
    cairo_save(cr);
    cairo_identity_matrix(cr);
    setSource(cr, props_.shadowColor, props_.shadowOpacity);
    cairo_mask_surface(cr, alpha, double(left) + offset.width, double(top) + offset.height);
    cairo_restore(cr);
    cairo_surface_destroy(alpha);
}
