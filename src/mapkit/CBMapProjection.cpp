#include "mapkit/CBMapProjection.h"

#include "Foundation/NSAssert.h"

namespace {
constexpr const char* kSource = "mapkit/CBMapProjection";
}

int CBMapProjection::tilexForCoordinateAndZoom(CLLocationCoordinate2D, int) const {
    NSAssert(false, kSource, "NO");
    return 0;
}

int CBMapProjection::tileyForCoordinateAndZoom(CLLocationCoordinate2D, int) const {
    NSAssert(false, kSource, "NO");
    return 0;
}

double CBMapProjection::tilexFracForCoordinateAndZoom(CLLocationCoordinate2D, int) const {
    NSAssert(false, kSource, "NO");
    return 0;
}

double CBMapProjection::tileyFracForCoordinateAndZoom(CLLocationCoordinate2D, int) const {
    NSAssert(false, kSource, "NO");
    return 0;
}

CLLocationCoordinate2D CBMapProjection::coordinateForTileXAndYZoom(double, double, int) const {
    NSAssert(false, kSource, "NO");
    return {};
}

std::shared_ptr<CBBoundingBox> CBMapProjection::boundingBoxForTileXYAndZoom(int, int, int) const {
    NSAssert(false, kSource, "NO");
    return nullptr;
}

std::optional<CLLocationCoordinate2D> CBMapProjection::coordinateForTileYTileXZoom(double, double,
                                                                                   int) const {
    return std::nullopt;
}

CGPoint CBMapProjection::normalizedOffsetForCoordinateMapCornerZoom(CLLocationCoordinate2D,
                                                                    CLLocationCoordinate2D,
                                                                    int) const {
    NSAssert(false, kSource, "NO");
    return {};
}

CLLocationCoordinate2D CBMapProjection::coordinateAtNormalizedOffsetMapCornerZoom(
    CGPoint, CLLocationCoordinate2D, int) const {
    NSAssert(false, kSource, "NO");
    return {};
}
