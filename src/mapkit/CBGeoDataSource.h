#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"

class CBMapScrollView;
class CGContext;

// Something that draws into the map's tiles, lowest first: the vector data
// source, overlays. Called on the tiled layer's worker threads, one tile at a
// time per thread; rect is the tile's rectangle in the context's points.
class CBGeoDataSource {
  public:
    virtual ~CBGeoDataSource() = default;

    virtual void drawDataSourceInMapInRectForXYZAtScaleInContext(
        const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z,
        float scale, CGContext& context) = 0;
    // The map's projection or store changed: drop whatever depends on it.
    virtual void coordinateSystemChanged() {}
};
