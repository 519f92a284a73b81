#pragma once

#include <cstddef>
#include <cstdint>

#include "CoreGraphics/CGContext.h"

// A y-down context over a w x h bitmap at scale 1.
inline CGContextRef screenContext(size_t w, size_t h) {
    auto context = CGContext::createBitmapContext(w, h);
    context->translateCTM(0, CGFloat(h));
    context->scaleCTM(1, -1);
    return context;
}

// 0xAARRGGBB at pixel (x, y), row 0 at the top.
inline uint32_t pixel(const CGContextRef& context, size_t x, size_t y) {
    return context->createImage()->pixelAt(x, y);
}
