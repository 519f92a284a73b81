#include "mapkit/CBMapSwissGridTileConverter.h"

double CBMapSwissGridTileConverter::tileWidthForZoomLevel(int zoom) const {
    switch (zoom) {
        case 16:
            return 64000;
        case 17:
            return 25600;
        case 18:
            return 12800;
        case 19:
            return 5120;
        case 20:
            return 2560;
        case 21:
            return 1280;
        case 22:
            return 640;
        default:
            return 0;
    }
}

bool CBMapSwissGridTileConverter::isValidCoordinate(const CBSwissGridCoordinate& coordinate) const {
    // Whole metres, as the grid's survey values are; negative values are off the grid.
    double rechts = coordinate.rechtsWert();
    double hoch = coordinate.hochWert();
    if (!(rechts >= 0) || !(hoch >= 0))
        return false;
    auto r = static_cast<unsigned long long>(rechts);
    auto h = static_cast<unsigned long long>(hoch);
    return r >= 420000 && r <= 900000 && h >= 30000 && h <= 350000;
}

double CBMapSwissGridTileConverter::tileXForSwissGridCoordinateZoom(
    const CBSwissGridCoordinate& coordinate, int zoom) const {
    double width = tileWidthForZoomLevel(zoom);
    double numerator = coordinate.rechtsWert() - kOriginRechtsWert;
    if (!isValidCoordinate(coordinate) || numerator < 0 || width == 0)
        return 0;
    return numerator / width;
}

double CBMapSwissGridTileConverter::tileYForSwissGridCoordinateZoom(
    const CBSwissGridCoordinate& coordinate, int zoom) const {
    double width = tileWidthForZoomLevel(zoom);
    double numerator = kOriginHochWert - coordinate.hochWert();
    if (!isValidCoordinate(coordinate) || numerator < 0 || width == 0)
        return 0;
    return numerator / width;
}

CBSwissGridCoordinate CBMapSwissGridTileConverter::coordinateForTileXAndYZoom(double x, double y,
                                                                              int zoom) const {
    double width = tileWidthForZoomLevel(zoom);
    return CBSwissGridCoordinate(kOriginRechtsWert + x * width, kOriginHochWert - y * width);
}

CGPoint CBMapSwissGridTileConverter::normalizedOffsetForCoordinateMapCornerZoom(
    const CBSwissGridCoordinate& coordinate, const CBSwissGridCoordinate& corner, int zoom) const {
    double width = tileWidthForZoomLevel(zoom);
    if (width == 0)
        return {};
    return {(coordinate.rechtsWert() - corner.rechtsWert()) / width,
            (corner.hochWert() - coordinate.hochWert()) / width};
}

CBSwissGridCoordinate CBMapSwissGridTileConverter::coordinateAtNormalizedOffsetMapCornerZoom(
    CGPoint offset, const CBSwissGridCoordinate& corner, int zoom) const {
    double width = tileWidthForZoomLevel(zoom);
    return CBSwissGridCoordinate(corner.rechtsWert() + offset.x * width,
                                 corner.hochWert() - offset.y * width);
}

CBSwissGridBoundingBox CBMapSwissGridTileConverter::swissBoundingBoxForTileXYZoom(int x, int y,
                                                                                  int zoom) const {
    return CBSwissGridBoundingBox::boundingBoxWithCornerCorner(
        coordinateForTileXAndYZoom(x, y + 1.0, zoom), coordinateForTileXAndYZoom(x + 1.0, y, zoom));
}
