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
    // The tile as the map view lays it out (rect in the context's points):
    // its request is gathered from the view's renderer; without a view the
    // request has only the tile and the main screen's scale.
    void drawDataSourceInMapInRectForXYZAtScaleInContext(
        const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z,
        float scale, CGContext& context);
    // The map's projection or store changed: drop whatever depends on it.
    virtual void coordinateSystemChanged() {}
};
