#pragma once

#include <functional>
#include <memory>
#include <string>

#include "CoreGraphics/CGGeometry.h"

class CBGeoDataManager;
class CBGeoStyleSheet;
class CBMapProjector;

// Everything drawing one map tile needs, gathered once per tile by the
// renderer (the display manager) on the thread that draws it: data sources
// draw from the request and a context, and ask nothing of a view.
struct CBTileRequest {
    // The tile X/Y at zoom level Z, and its rectangle in content points.
    int x = 0;
    int y = 0;
    int zoom = 0;
    CGRect rect{};
    // Pixels per content point of the tile's level, and of the screen.
    float scale = 1;
    CGFloat screenScale = 1;
    // Where coordinates land: projection, map corner and tile grid.
    std::shared_ptr<const CBMapProjector> projector;
    // The map store: its identifier (the tile cache's store id) and its geo data.
    std::string storeIdentifier;
    std::shared_ptr<CBGeoDataManager> dataManager;
    // The style: its identifier (the tile cache's style id) and the drawing
    // thread's own copy of the sheet.
    std::string styleIdentifier;
    std::shared_ptr<CBGeoStyleSheet> styleSheet;
    // Tiles rendered for the cache keep no background (PNG tiles).
    bool transparentBackground = false;
    // Asks for the tile again when content it lacked arrives later (a raster
    // tile being loaded); without it the tile must be complete when drawn.
    std::function<void()> redraw;

    // The tile's scale against the screen's: style widths, fonts and icon
    // sizes are divided by it to keep their size on screen.
    CGFloat screenRelativeScale() const { return screenScale > 0 ? scale / screenScale : scale; }
};
