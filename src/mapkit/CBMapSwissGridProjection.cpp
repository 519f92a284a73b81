#include "mapkit/CBMapSwissGridProjection.h"

#include <cmath>

std::shared_ptr<CBMapSwissGridTileConverter> CBMapSwissGridProjection::converter() const {
    if (!converterMade_) {
        converter_ = std::make_shared<CBMapSwissGridTileConverter>();
        converterMade_ = true;
    }
    return converter_;
}

void CBMapSwissGridProjection::setConverter(
    std::shared_ptr<CBMapSwissGridTileConverter> converter) {
    converter_ = std::move(converter);
    converterMade_ = true;
}

double CBMapSwissGridProjection::tilexFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                               int zoom) const {
    auto grid = converter();
    return grid ? grid->tileXForSwissGridCoordinateZoom(CBSwissGridCoordinate(coordinate), zoom)
                : 0;
}

double CBMapSwissGridProjection::tileyFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                               int zoom) const {
    auto grid = converter();
    return grid ? grid->tileYForSwissGridCoordinateZoom(CBSwissGridCoordinate(coordinate), zoom)
                : 0;
}

int CBMapSwissGridProjection::tilexForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                        int zoom) const {
    return static_cast<int>(std::floor(tilexFracForCoordinateAndZoom(coordinate, zoom)));
}

int CBMapSwissGridProjection::tileyForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                        int zoom) const {
    return static_cast<int>(std::floor(tileyFracForCoordinateAndZoom(coordinate, zoom)));
}

CLLocationCoordinate2D CBMapSwissGridProjection::coordinateForTileXAndYZoom(double x, double y,
                                                                            int zoom) const {
    auto grid = converter();
    return grid ? grid->coordinateForTileXAndYZoom(x, y, zoom).WGS84Coordinate()
                : CLLocationCoordinate2D{};
}

std::optional<CBSwissGridBoundingBox> CBMapSwissGridProjection::swissBoundingBoxForTileXYAndZoom(
    int x, int y, int zoom) const {
    auto grid = converter();
    if (!grid)
        return std::nullopt;
    return grid->swissBoundingBoxForTileXYZoom(x, y, zoom);
}

std::shared_ptr<CBBoundingBox> CBMapSwissGridProjection::boundingBoxForTileXYAndZoom(
    int x, int y, int zoom) const {
    auto swiss = swissBoundingBoxForTileXYAndZoom(x, y, zoom);
    if (!swiss)
        return nullptr;
    // The grid is not aligned with meridians: take the box of all four corners.
    auto box = std::make_shared<CBBoundingBox>();
    for (double rechts : {swiss->minRechts, swiss->maxRechts}) {
        for (double hoch : {swiss->minHoch, swiss->maxHoch}) {
            box->growToIncludeCoordinate(CBSwissGridCoordinate(rechts, hoch).WGS84Coordinate());
        }
    }
    return box;
}

CGPoint CBMapSwissGridProjection::normalizedOffsetForCoordinateMapCornerZoom(
    CLLocationCoordinate2D coordinate, CLLocationCoordinate2D corner, int zoom) const {
    auto grid = converter();
    if (!grid)
        return {};
    return grid->normalizedOffsetForCoordinateMapCornerZoom(CBSwissGridCoordinate(coordinate),
                                                            CBSwissGridCoordinate(corner), zoom);
}

CLLocationCoordinate2D CBMapSwissGridProjection::coordinateAtNormalizedOffsetMapCornerZoom(
    CGPoint offset, CLLocationCoordinate2D corner, int zoom) const {
    auto grid = converter();
    if (!grid)
        return {};
    return grid
        ->coordinateAtNormalizedOffsetMapCornerZoom(offset, CBSwissGridCoordinate(corner), zoom)
        .WGS84Coordinate();
}
