#include "UIKit/UIGraphics.h"

#include <cmath>
#include <vector>

#include "Foundation/NSLog.h"
#include "UIKit/UIScreen.h"

namespace {

struct Entry {
    CGContextRef context;
    bool image = false;
    CGFloat scale = 1;
};

std::vector<Entry>& stack() {
    thread_local std::vector<Entry> entries;
    return entries;
}

}  // namespace

CGContextRef UIGraphicsGetCurrentContext() {
    return stack().empty() ? nullptr : stack().back().context;
}

void UIGraphicsPushContext(CGContextRef context) {
    stack().push_back({std::move(context), false, 1});
}

void UIGraphicsPopContext() {
    if (!stack().empty()) {
        stack().pop_back();
    }
}

// Opaque contexts are kept with alpha too: what is not drawn stays clear.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool, CGFloat scale) {
    if (scale <= 0) {
        scale = UIScreen::mainScreen()->scale();
    }
    const double w = std::ceil(size.width * scale), h = std::ceil(size.height * scale);
    if (!(w >= 1 && h >= 1) || w > double(CGImage::kMaxSide) || h > double(CGImage::kMaxSide) ||
        w * h > double(CGImage::kMaxPixels)) {
        NSLogWithLevel(NSLogLevel::Error, "UIGraphicsBeginImageContext: invalid size %g x %g",
                       size.width, size.height);
        stack().push_back({nullptr, true, scale});
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w), int(h));
    CGContextRef context =
        CGContext::createWithCairoSurface(surface, CGAffineTransformMakeScale(scale, scale));
    cairo_surface_destroy(surface);
    stack().push_back({std::move(context), true, scale});
}

void UIGraphicsBeginImageContext(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
}

std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext() {
    if (stack().empty() || !stack().back().image || !stack().back().context) {
        return nullptr;
    }
    const Entry& entry = stack().back();
    cairo_surface_t* surface = entry.context->cairoSurface();
    cairo_surface_flush(surface);
    CGImageRef image = CGImage::createWithARGB32(size_t(cairo_image_surface_get_width(surface)),
                                                 size_t(cairo_image_surface_get_height(surface)),
                                                 size_t(cairo_image_surface_get_stride(surface)),
                                                 cairo_image_surface_get_data(surface), false);
    return image ? UIImage::imageWithCGImage(image, entry.scale) : nullptr;
}

void UIGraphicsEndImageContext() {
    if (stack().empty() || !stack().back().image) {
        NSLogWithLevel(NSLogLevel::Error, "UIGraphicsEndImageContext: no image context");
        return;
    }
    stack().pop_back();
}
