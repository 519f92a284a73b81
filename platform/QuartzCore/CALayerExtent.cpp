#include "QuartzCore/CALayer.h"

#include <cairo.h>

#include <cmath>
#include <numbers>

#include "CoreGraphics/CGBoxBlur.h"

CGRect CALayer::treeExtent(CGFloat scale) {
    const std::shared_ptr<CALayer> presentation = presentationLayer();
    const CALayer& p = *presentation;
    // Backgrounds, gradients, tiles, borders and backdrops stay inside the
    // bounds; the contents image, a backing store and a shape may not.
    CGRect own = p.props_.bounds;
    if (p.props_.contents) {
        own = CGRectUnion(own, p.contentsDestination());
    }
    if (p.props_.backing) {
        const CGFloat pixels = p.props_.contentsScale > 0 ? p.props_.contentsScale : 1;
        own = CGRectUnion(own, {p.props_.bounds.origin,
                                {cairo_image_surface_get_width(p.props_.backing.get()) / pixels,
                                 cairo_image_surface_get_height(p.props_.backing.get()) / pixels}});
    }
    if (const std::optional<CGRect> caster = p.shadowCasterExtent()) {
        own = CGRectUnion(own, *caster);
    }
    CGRect sublayers = CGRectNull;
    for (const auto& sublayer : sublayers_) {
        const std::shared_ptr<CALayer> shown = sublayer->presentationLayer();
        if (shown->props_.hidden || shown->props_.opacity <= 0) {
            continue;
        }
        const CGAffineTransform t = shown->transformToSuperlayer();
        const CGFloat stretch = std::sqrt(std::fabs(t.a * t.d - t.b * t.c));
        if (!(stretch > 0)) {
            continue;
        }
        sublayers = CGRectUnion(
            sublayers, CGRectApplyAffineTransform(sublayer->treeExtent(scale * stretch), t));
    }
    if (p.props_.masksToBounds) {
        sublayers = CGRectIntersection(sublayers, p.props_.bounds);
    }
    CGRect extent = CGRectUnion(own, sublayers);
    // The blur spreads the shadow as far beyond its caster as drawShadow's
    // bitmap reaches, and a pixel more for the rounding to whole pixels; the
    // spread is a square in device pixels, which a turned layer sees turned.
    if (p.props_.shadowOpacity > 0 && p.props_.shadowColor.alpha > 0 && scale > 0) {
        const std::optional<CGRect> caster = p.shadowSourceBox();
        if (caster && !CGRectIsEmpty(*caster)) {
            const size_t radius = CGBoxBlurRadiusForSigma(p.props_.shadowRadius * scale / 2);
            const CGFloat margin =
                CGFloat(shadowBlurMarginPixels(radius) + 1) * std::numbers::sqrt2 / scale;
            const CGRect shadow =
                CGRectOffset(CGRectInset(*caster, -margin, -margin), p.props_.shadowOffset.width,
                             p.props_.shadowOffset.height);
            extent = CGRectUnion(extent, shadow);
        }
    }
    return extent;
}

CGRect CALayer::shownExtentInRoot() {
    // At one pixel per point the blur margins of shadows are, in points, at
    // least as wide as at finer scales.
    CGRect extent = treeExtent(1);
    std::shared_ptr<CALayer> layer = shared_from_this();
    while (layer) {
        const std::shared_ptr<CALayer> shown = layer->presentationLayer();
        if (shown->props_.hidden || shown->props_.opacity <= 0) {
            return CGRectNull;
        }
        auto parent = layer->superlayer();
        if (!parent) {
            break;
        }
        extent = CGRectApplyAffineTransform(extent, shown->transformToSuperlayer());
        layer = std::move(parent);
    }
    return extent;
}
