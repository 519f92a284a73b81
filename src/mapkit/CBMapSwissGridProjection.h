#pragma once

#include <memory>
#include <optional>

#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapSwissGridTileConverter.h"

// The projection of maps on the Swiss national grid: WGS84 arguments become
// grid coordinates, the converter does the tile arithmetic, and grid results
// go back to WGS84.
class CBMapSwissGridProjection : public CBMapProjection {
  public:
    // Made on first read.
    std::shared_ptr<CBMapSwissGridTileConverter> converter() const;
    void setConverter(std::shared_ptr<CBMapSwissGridTileConverter> converter);

    int tilexForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const override;
    int tileyForCoordinateAndZoom(CLLocationCoordinate2D coordinate, int zoom) const override;
    double tilexFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                         int zoom) const override;
    double tileyFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                         int zoom) const override;
    CLLocationCoordinate2D coordinateForTileXAndYZoom(double x, double y, int zoom) const override;
    // The WGS84 box around the tile's grid corners.
    std::shared_ptr<CBBoundingBox> boundingBoxForTileXYAndZoom(int x, int y,
                                                               int zoom) const override;
    CGPoint normalizedOffsetForCoordinateMapCornerZoom(CLLocationCoordinate2D coordinate,
                                                       CLLocationCoordinate2D corner,
                                                       int zoom) const override;
    CLLocationCoordinate2D coordinateAtNormalizedOffsetMapCornerZoom(CGPoint offset,
                                                                     CLLocationCoordinate2D corner,
                                                                     int zoom) const override;

    // The tile's area on the grid; nullopt without a converter.
    std::optional<CBSwissGridBoundingBox> swissBoundingBoxForTileXYAndZoom(int x, int y,
                                                                           int zoom) const;

  private:
    mutable std::shared_ptr<CBMapSwissGridTileConverter> converter_;
    mutable bool converterMade_ = false;
};
