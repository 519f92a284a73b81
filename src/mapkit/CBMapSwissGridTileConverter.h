#pragma once

#include "CoreGraphics/CGGeometry.h"
#include "mapkit/CBSwissGridBoundingBox.h"
#include "mapkit/CBSwissGridCoordinate.h"

// The tile grid of maps on the Swiss national grid: origin at Rechtswert
// 420000 m (west edge) and Hochwert 350000 m (north edge), x growing east
// and y growing south, with a fixed tile width per zoom from 16 to 22.
class CBMapSwissGridTileConverter {
  public:
    static constexpr double kOriginRechtsWert = 420000.0;
    static constexpr double kOriginHochWert = 350000.0;

    // Metres; 0 for a zoom outside 16 to 22.
    double tileWidthForZoomLevel(int zoom) const;
    // Rechtswert 420000 to 900000 and Hochwert 30000 to 350000, inclusive.
    bool isValidCoordinate(const CBSwissGridCoordinate& coordinate) const;
    // Fractional tile numbers; 0 for an invalid coordinate or a zoom without tiles.
    double tileXForSwissGridCoordinateZoom(const CBSwissGridCoordinate& coordinate, int zoom) const;
    double tileYForSwissGridCoordinateZoom(const CBSwissGridCoordinate& coordinate, int zoom) const;
    CBSwissGridCoordinate coordinateForTileXAndYZoom(double x, double y, int zoom) const;
    // Offsets divide by the tile width: use zooms 16 to 22 only.
    CGPoint normalizedOffsetForCoordinateMapCornerZoom(const CBSwissGridCoordinate& coordinate,
                                                       const CBSwissGridCoordinate& corner,
                                                       int zoom) const;
    CBSwissGridCoordinate coordinateAtNormalizedOffsetMapCornerZoom(
        CGPoint offset, const CBSwissGridCoordinate& corner, int zoom) const;
    CBSwissGridBoundingBox swissBoundingBoxForTileXYZoom(int x, int y, int zoom) const;
};
