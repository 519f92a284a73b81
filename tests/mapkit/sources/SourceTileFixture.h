#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "CoreGraphics/CGContext.h"
#include "mapkit/CBGeoDataSource.h"
#include "mapkit/CBMapScrollView.h"

// Draws a data source into y-down bitmaps of whole tiles, as the tiled layer
// does: pixels per tile side, the tile's content rectangle scaled to fit.
inline void drawTileInto(CGContext& context, CBGeoDataSource& source,
                         const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x,
                         int y, int z, CGPoint origin, CGFloat pixels) {
    const CGFloat scale = pixels / rect.size.width;
    context.saveGState();
    context.translateCTM(origin.x, origin.y);
    context.clipToRect(CGRectMake(0, 0, pixels, pixels));
    context.scaleCTM(scale, scale);
    context.translateCTM(-rect.origin.x, -rect.origin.y);
    source.drawDataSourceInMapInRectForXYZAtScaleInContext(map, rect, x, y, z, float(scale),
                                                           context);
    context.restoreGState();
}

inline std::shared_ptr<CGContext> flippedBitmap(size_t width, size_t height) {
    auto context = CGContext::createBitmapContext(width, height);
    context->translateCTM(0, CGFloat(height));
    context->scaleCTM(1, -1);
    return context;
}
