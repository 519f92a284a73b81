#include "mapkit/CBMapWebMercatorProjection.h"

#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kDegreesPerRadian = 57.29577951308232;
}  // namespace

double CBMapWebMercatorProjection::tilesPerAxis(int zoom) {
    return std::ldexp(1.0, zoom);
}

double CBMapWebMercatorProjection::tilexFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                                 int zoom) const {
    return (coordinate.longitude + 180.0) / 360.0 * tilesPerAxis(zoom);
}

double CBMapWebMercatorProjection::rowFractionForLatitude(double latitude, double tiles) {
    double phi = latitude * kPi / 180.0;
    return tiles * (1.0 - std::log(std::tan(phi) + 1.0 / std::cos(phi)) / kPi) / 2.0;
}

double CBMapWebMercatorProjection::tileyFracForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                                 int zoom) const {
    return rowFractionForLatitude(coordinate.latitude, tilesPerAxis(zoom));
}

int CBMapWebMercatorProjection::tilexForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                          int zoom) const {
    return static_cast<int>(std::floor(tilexFracForCoordinateAndZoom(coordinate, zoom)));
}

int CBMapWebMercatorProjection::tileyForCoordinateAndZoom(CLLocationCoordinate2D coordinate,
                                                          int zoom) const {
    return static_cast<int>(std::floor(tileyFracForCoordinateAndZoom(coordinate, zoom)));
}

double CBMapWebMercatorProjection::longitudeForTileXAndZoom(double x, int zoom) const {
    return x / tilesPerAxis(zoom) * 360.0 - 180.0;
}

double CBMapWebMercatorProjection::latitudeForTileYAndZoom(double y, int zoom) const {
    double n = kPi - 2.0 * kPi * y / tilesPerAxis(zoom);
    return std::atan((std::exp(n) - std::exp(-n)) / 2.0) * kDegreesPerRadian;
}

double CBMapWebMercatorProjection::longitudeDifferenceForTileXAndZoom(double dx, int zoom) const {
    return dx / tilesPerAxis(zoom) * 360.0;
}

double CBMapWebMercatorProjection::tilexForLongitudeDifferenceAndZoom(double longitudeDifference,
                                                                      int zoom) const {
    return columnsForLongitudeDifference(longitudeDifference, tilesPerAxis(zoom));
}

CLLocationCoordinate2D CBMapWebMercatorProjection::coordinateForTileXAndYZoom(double x, double y,
                                                                              int zoom) const {
    return {latitudeForTileYAndZoom(y, zoom), longitudeForTileXAndZoom(x, zoom)};
}

std::shared_ptr<CBBoundingBox> CBMapWebMercatorProjection::boundingBoxForTileXYAndZoom(
    int x, int y, int zoom) const {
    return CBBoundingBox::boundingBoxWithCoordinateNEAndSW(
        coordinateForTileXAndYZoom(x + 1.0, y + 1.0, zoom), coordinateForTileXAndYZoom(x, y, zoom));
}

CGPoint CBMapWebMercatorProjection::normalizedOffsetForCoordinateMapCornerZoom(
    CLLocationCoordinate2D coordinate, CLLocationCoordinate2D corner, int zoom) const {
    return {tilexForLongitudeDifferenceAndZoom(coordinate.longitude - corner.longitude, zoom),
            tileyFracForCoordinateAndZoom(coordinate, zoom) -
                tileyFracForCoordinateAndZoom(corner, zoom)};
}

CLLocationCoordinate2D CBMapWebMercatorProjection::coordinateAtNormalizedOffsetMapCornerZoom(
    CGPoint offset, CLLocationCoordinate2D corner, int zoom) const {
    return {latitudeForTileYAndZoom(offset.y + tileyFracForCoordinateAndZoom(corner, zoom), zoom),
            corner.longitude + longitudeDifferenceForTileXAndZoom(offset.x, zoom)};
}
