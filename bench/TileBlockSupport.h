#pragma once

#include <cmath>
#include <memory>

#include "CoreGraphics/CGContext.h"

namespace bench {

// The n-th tile (row by row, wrapping) of a side x side block of web
// mercator tiles centred on the point at the zoom.
inline void tileInBlock(int n, int side, int zoom, double latitude, double longitude, int& x,
                        int& y) {
    const double scale = std::pow(2.0, zoom);
    const double rad = latitude * M_PI / 180;
    x = int((longitude + 180) / 360 * scale) - side / 2 + n % side;
    y = int((1 - std::asinh(std::tan(rad)) / M_PI) / 2 * scale) - side / 2 + (n / side) % side;
}

// A pixels x pixels bitmap set up to draw the map rectangle of a tile, as
// the tiled map layer sets up its tiles; scale is the points-to-pixels
// factor drawing passes on.
inline std::shared_ptr<CGContext> tileContext(const CGRect& rect, size_t pixels, CGFloat& scale) {
    auto context = CGContext::createBitmapContext(pixels, pixels);
    scale = CGFloat(pixels) / rect.size.width;
    context->translateCTM(0, CGFloat(pixels));
    context->scaleCTM(1, -1);
    context->scaleCTM(scale, scale);
    context->translateCTM(-rect.origin.x, -rect.origin.y);
    return context;
}

}  // namespace bench
