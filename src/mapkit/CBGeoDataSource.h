#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"

class CBMapScrollView;
class CGContext;
struct CBTileRequest;

// Something that draws into the map's tiles, lowest first: the vector data
// source, overlays. Called on the tiled layer's worker threads, one tile at a
// time per thread, with the tile's request and a context whose points are
// the map's content points.
class CBGeoDataSource {
  public:
    virtual ~CBGeoDataSource() = default;

    virtual void drawTileRequestInContext(const CBTileRequest& request, CGContext& context) = 0;
    // A tile of a map view (rect in its content points), drawn from the
    // request the view's renderer makes for it. Nothing is drawn without a
    // view, while it has no map laid out, or for a tile at a level the map
    // does not have or wholly outside the map's box. It reads the view's
    // layout, so it is called on the main thread; tile passes draw from
    // requests instead.
    void drawDataSourceInMapInRectForXYZAtScaleInContext(
        const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z,
        float scale, CGContext& context);
    // The map's projection or store changed: drop whatever depends on it.
    virtual void coordinateSystemChanged() {}
};
