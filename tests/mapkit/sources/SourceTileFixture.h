#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBGeoDataSource.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBTileRequest.h"

// Draws a data source into y-down bitmaps of whole tiles, as the tiled layer
// does: pixels per tile side, the tile's content rectangle scaled to fit. The
// request comes from the map's renderer; without one it has only the tile and
// the main screen's scale.
inline void drawTileInto(CGContext& context, CBGeoDataSource& source,
                         const std::shared_ptr<CBGeoDisplayManager>& renderer, const CGRect& rect,
                         int x, int y, int z, CGPoint origin, CGFloat pixels) {
    const CGFloat scale = pixels / rect.size.width;
    CBTileRequest request;
    if (renderer) {
        request = renderer->tileRequestForRectXYZAtScale(rect, x, y, z, float(scale));
    } else {
        request.x = x;
        request.y = y;
        request.zoom = z;
        request.rect = rect;
        request.scale = float(scale);
        request.screenScale = UIScreen::mainScreen()->scale();
    }
    context.saveGState();
    context.translateCTM(origin.x, origin.y);
    context.clipToRect(CGRectMake(0, 0, pixels, pixels));
    context.scaleCTM(scale, scale);
    context.translateCTM(-rect.origin.x, -rect.origin.y);
    source.drawTileRequestInContext(request, context);
    context.restoreGState();
}

inline std::shared_ptr<CGContext> flippedBitmap(size_t width, size_t height) {
    auto context = CGContext::createBitmapContext(width, height);
    context->translateCTM(0, CGFloat(height));
    context->scaleCTM(1, -1);
    return context;
}
