#pragma once

#include "mapkit/CBMapProjection.h"

// The Web Mercator projection of the slippy-map tiles: 2^z tiles per axis at
// zoom z, tile y growing southwards.
class CBMapWebMercatorProjection : public CBMapProjection {
  public:
    // Tiles per axis at the zoom.
    static double tilesPerAxis(int zoom);
    // Tile fractions on a grid of `tiles` per axis: the columns of a
    // longitude difference, the row of a latitude.
    static double columnsForLongitudeDifference(double longitudeDifference, double tiles) {
        return longitudeDifference / 360.0 * tiles;
    }
    static double rowFractionForLatitude(double latitude, double tiles);

    int tilexForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const override;
    int tileyForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const override;
    double tilexFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                         int zoom) const override;
    double tileyFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                         int zoom) const override;
    CLLocationCoordinate2D coordinateForTileXAndYZoom(double x, double y, int zoom) const override;
    std::shared_ptr<CBBoundingBox> boundingBoxForTileXYAndZoom(int x, int y,
                                                               int zoom) const override;
    CGPoint normalizedOffsetForCoordinateMapCornerZoom(CLLocationCoordinate2D coordinate,
                                                       CLLocationCoordinate2D corner,
                                                       int zoom) const override;
    CLLocationCoordinate2D coordinateAtNormalizedOffsetMapCornerZoom(CGPoint offset,
                                                                     CLLocationCoordinate2D corner,
                                                                     int zoom) const override;

    double longitudeForTileXAndZoom(double x, int zoom) const;
    double latitudeForTileYAndZoom(double y, int zoom) const;
    double longitudeDifferenceForTileXAndZoom(double dx, int zoom) const;
    double tilexForLongitudeDifferenceAndZoom(double longitudeDifference, int zoom) const;
};
