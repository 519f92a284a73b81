#include "Host/HostRenderer.h"

#include <cmath>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSLog.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIWindow.h"

HostRenderer::HostRenderer(std::shared_ptr<UIWindow> window, double scale)
    : window_(std::move(window)), scale_(scale > 0 ? scale : 1) {}

HostRenderer::~HostRenderer() {
    if (surface_) {
        cairo_surface_destroy(surface_);
    }
}

cairo_surface_t* HostRenderer::renderFrame(bool synchronous, const std::optional<CGRect>& damage,
                                           CGRect* redrawn) {
    window_->layoutAndDisplayIfNeeded();
    const CGSize size = window_->bounds().size;
    const int w = int(std::ceil(size.width * scale_)), h = int(std::ceil(size.height * scale_));
    CGRect area = CGRectMake(0, 0, std::max(w, 1), std::max(h, 1));
    if (!surface_ || cairo_image_surface_get_width(surface_) != w ||
        cairo_image_surface_get_height(surface_) != h) {
        if (surface_) {
            cairo_surface_destroy(surface_);
        }
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(h, 1));
    } else if (damage) {
        // Whole pixels around the damage: antialiased edges stay whole.
        const CGRect pixels = CGRectIntegral(
            CGRectMake(damage->origin.x * scale_ - 1, damage->origin.y * scale_ - 1,
                       damage->size.width * scale_ + 2, damage->size.height * scale_ + 2));
        area = CGRectIntersection(area, pixels);
    }
    if (redrawn) {
        *redrawn = CGRectIsNull(area) ? CGRectZero : area;
    }
    if (CGRectIsEmpty(area)) {
        return surface_;
    }
    auto context =
        CGContext::createWithCairoSurface(surface_, CGAffineTransformMakeScale(scale_, scale_));
    cairo_rectangle(context->cairoContext(), area.origin.x / scale_, area.origin.y / scale_,
                    area.size.width / scale_, area.size.height / scale_);
    cairo_clip(context->cairoContext());
    // The screen behind the window is black (hidden by an opaque window).
    const auto& background = window_->layer()->backgroundColor();
    if (!background || background->alpha < 1 || window_->alpha() < 1 ||
        !CGAffineTransformIsIdentity(window_->transform())) {
        cairo_t* cr = context->cairoContext();
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    window_->drawInContext(*context, synchronous);
    context.reset();
    cairo_surface_flush(surface_);
    return surface_;
}

CGImageRef HostRenderer::snapshot() {
    cairo_surface_t* surface = renderFrame(true);
    return CGImage::createWithARGB32(size_t(cairo_image_surface_get_width(surface)),
                                     size_t(cairo_image_surface_get_height(surface)),
                                     size_t(cairo_image_surface_get_stride(surface)),
                                     cairo_image_surface_get_data(surface), true);
}

bool HostRenderer::writePNG(const std::string& path) {
    CGImageRef image = snapshot();
    auto destination = CGImageDestination::createWithURL(path, kUTTypePNG);
    if (!image || !destination) {
        NSLogWithLevel(NSLogLevel::Error, "Host: cannot write %s", path.c_str());
        return false;
    }
    destination->addImage(image);
    return destination->finalize();
}
