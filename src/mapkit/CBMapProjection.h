#pragma once

#include <memory>
#include <optional>

#include "CBGeoData/CBBoundingBox.h"
#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

// Maps WGS84 coordinates to tile numbers at a zoom level and back, and gives
// a coordinate's offset in tiles from the map's top-left corner. The base
// answers nothing: every operation asserts that a subclass overrides it,
// except coordinateForTileYTileXZoom, which no projection answers.
class CBMapProjection {
  public:
    virtual ~CBMapProjection() = default;

    virtual int tilexForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const;
    virtual int tileyForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const;
    virtual double tilexFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const;
    virtual double tileyFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const;
    virtual CLLocationCoordinate2D coordinateForTileXAndYZoom(double x, double y, int zoom) const;
    // The tile's area in WGS84 degrees.
    virtual std::shared_ptr<CBBoundingBox> boundingBoxForTileXYAndZoom(int x, int y,
                                                                       int zoom) const;
    // The tile numbers in the other order; nullopt: the projection does not answer.
    virtual std::optional<CLLocationCoordinate2D> coordinateForTileYTileXZoom(double y, double x,
                                                                              int zoom) const;
    virtual CGPoint normalizedOffsetForCoordinateMapCornerZoom(CLLocationCoordinate2D coordinate,
                                                               CLLocationCoordinate2D corner,
                                                               int zoom) const;
    virtual CLLocationCoordinate2D coordinateAtNormalizedOffsetMapCornerZoom(
        CGPoint offset, CLLocationCoordinate2D corner, int zoom) const;
};
