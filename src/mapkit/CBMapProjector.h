#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class CBCoordinatePath;
class CBGeoPathObject;
class CBMapProjection;
class CBPointPath;
class CGPath;

// Where things land on one configured map: a projection, the deepest zoom
// level, the grid of tiles the map covers (its first column and row at that
// level, its top-left corner as a coordinate) and the tile size T. At the
// deepest level a tile is T x T content points; a level z up draws at scale
// 2^(z - deepest).
//
// A value: made when a map is configured and never changed, so drawing
// threads read it without a lock while the main thread configures the next.
class CBMapProjector {
  public:
    CBMapProjector(std::shared_ptr<CBMapProjection> projection, int maximumZoomLevel,
                   CLLocationCoordinate2D mapCornerNorthWest, int offsetColumns, int offsetRows,
                   CGFloat tileSize);
    // Web Mercator over the whole world, the grid starting at tile (0, 0):
    // for drawing tiles with no map view laid out (benchmarks, tools, tests).
    static std::shared_ptr<const CBMapProjector> worldWebMercator(int maximumZoomLevel = 18,
                                                                  CGFloat tileSize = 256);

    const std::shared_ptr<CBMapProjection>& projection() const { return projection_; }
    int maximumZoomLevel() const { return maximumZoomLevel_; }
    CLLocationCoordinate2D mapCornerNorthWest() const { return mapCornerNorthWest_; }
    int offsetColumns() const { return offsetColumns_; }
    int offsetRows() const { return offsetRows_; }
    CGFloat tileSize() const { return tileSize_; }

    int nativeZoomLevelForScale(float scale) const {
        return nativeZoomLevelForScaleAtMaximumZoomLevel(scale, maximumZoomLevel_);
    }
    float scaleForNativeZoomlevel(int level) const {
        return scaleForNativeZoomlevelAtMaximumZoomLevel(level, maximumZoomLevel_);
    }
    // The level a drawing scale shows (scale 1 at the deepest level), and back.
    static int nativeZoomLevelForScaleAtMaximumZoomLevel(float scale, int maximumZoomLevel);
    static float scaleForNativeZoomlevelAtMaximumZoomLevel(int level, int maximumZoomLevel);
    // A tile's rectangle in content points on a grid from (columns, rows).
    static CGRect rectForXYZOnGrid(int x, int y, int z, int maximumZoomLevel, int offsetColumns,
                                   int offsetRows, CGFloat tileSize);
    // The tile's rectangle in content points.
    CGRect rectForXYZ(int x, int y, int z) const;

    CGPoint offsetForCoordinate(CLLocationCoordinate2D coordinate) const;
    CLLocationCoordinate2D coordinateAtOffset(CGPoint offset) const;

    // The drawing forms of a geo path: the points of its first segment and a
    // path of every segment (each a subpath), in content points. Without a
    // coordinate path the fallback coordinate gives one point and a path
    // that only moves to it. Only what is wanted is made.
    struct Projected {
        std::shared_ptr<CBPointPath> points;
        std::shared_ptr<CGPath> path;
    };
    Projected projectPath(const CBCoordinatePath* path, CLLocationCoordinate2D fallback,
                          bool wantPoints, bool wantPath) const;
    // Gives the object the forms it lacks of those wanted (points, path),
    // projected by projectPath from its path or else its coordinate.
    void calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                        CBGeoPathObject& object) const;

  private:
    std::shared_ptr<CBMapProjection> projection_;
    // Web Mercator offsets, most of a tile's projecting, need only the
    // coordinate's row: the grid's tiles per axis and the corner's row are fixed.
    bool webMercator_ = false;
    double tilesPerAxis_ = 0;
    double cornerRow_ = 0;
    int maximumZoomLevel_;
    CLLocationCoordinate2D mapCornerNorthWest_;
    int offsetColumns_;
    int offsetRows_;
    CGFloat tileSize_;
};
