#pragma once

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
    // The map's projection or store changed: drop whatever depends on it.
    virtual void coordinateSystemChanged() {}
};
