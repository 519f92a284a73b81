#include "mapkit/CBMapProjector.h"

#include <cmath>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoPathObject.h"
#include "CBGeoData/CBPointPath.h"
#include "CoreGraphics/CGPath.h"
#include "mapkit/CBMapWebMercatorProjection.h"

CBMapProjector::CBMapProjector(std::shared_ptr<CBMapProjection> projection, int maximumZoomLevel,
                               CLLocationCoordinate2D mapCornerNorthWest, int offsetColumns,
                               int offsetRows, CGFloat tileSize)
    : projection_(std::move(projection)),
      maximumZoomLevel_(maximumZoomLevel),
      mapCornerNorthWest_(mapCornerNorthWest),
      offsetColumns_(offsetColumns),
      offsetRows_(offsetRows),
      tileSize_(tileSize) {
    if (auto mercator = dynamic_cast<const CBMapWebMercatorProjection*>(projection_.get())) {
        webMercator_ = true;
        tilesPerAxis_ = CBMapWebMercatorProjection::tilesPerAxis(maximumZoomLevel_);
        cornerRow_ =
            mercator->tileyFracForCoordinateAndZoom(mapCornerNorthWest_, maximumZoomLevel_);
    }
}

std::shared_ptr<const CBMapProjector> CBMapProjector::worldWebMercator(int maximumZoomLevel,
                                                                       CGFloat tileSize) {
    auto projection = std::make_shared<CBMapWebMercatorProjection>();
    const CLLocationCoordinate2D corner =
        projection->coordinateForTileXAndYZoom(0, 0, maximumZoomLevel);
    return std::make_shared<const CBMapProjector>(std::move(projection), maximumZoomLevel, corner,
                                                  0, 0, tileSize);
}

int CBMapProjector::nativeZoomLevelForScaleAtMaximumZoomLevel(float scale, int maximumZoomLevel) {
    return static_cast<int>(std::round(std::log2(scale))) + maximumZoomLevel;
}

float CBMapProjector::scaleForNativeZoomlevelAtMaximumZoomLevel(int level, int maximumZoomLevel) {
    return std::pow(2.0f, static_cast<float>(level - maximumZoomLevel));
}

CGRect CBMapProjector::rectForXYZOnGrid(int x, int y, int z, int maximumZoomLevel,
                                        int offsetColumns, int offsetRows, CGFloat tileSize) {
    const float s = scaleForNativeZoomlevelAtMaximumZoomLevel(z, maximumZoomLevel);
    const double side = tileSize / s;
    return CGRectMake((x - s * offsetColumns) * side, (y - s * offsetRows) * side, side, side);
}

CGRect CBMapProjector::rectForXYZ(int x, int y, int z) const {
    return rectForXYZOnGrid(x, y, z, maximumZoomLevel_, offsetColumns_, offsetRows_, tileSize_);
}

CGPoint CBMapProjector::offsetForCoordinate(CLLocationCoordinate2D coordinate) const {
    if (webMercator_) {
        // The projection's normalized offset, the corner's row worked out once.
        const double u = CBMapWebMercatorProjection::columnsForLongitudeDifference(
            coordinate.longitude - mapCornerNorthWest_.longitude, tilesPerAxis_);
        const double v =
            CBMapWebMercatorProjection::rowFractionForLatitude(coordinate.latitude, tilesPerAxis_) -
            cornerRow_;
        return CGPointMake(u * tileSize_, v * tileSize_);
    }
    if (!projection_)
        return CGPointZero;
    const CGPoint uv = projection_->normalizedOffsetForCoordinateMapCornerZoom(
        coordinate, mapCornerNorthWest_, maximumZoomLevel_);
    return CGPointMake(uv.x * tileSize_, uv.y * tileSize_);
}

CLLocationCoordinate2D CBMapProjector::coordinateAtOffset(CGPoint offset) const {
    if (!projection_)
        return {};
    return projection_->coordinateAtNormalizedOffsetMapCornerZoom(
        CGPointMake(offset.x / tileSize_, offset.y / tileSize_), mapCornerNorthWest_,
        maximumZoomLevel_);
}

CBMapProjector::Projected CBMapProjector::projectPath(const CBCoordinatePath* coordinates,
                                                      CLLocationCoordinate2D fallback,
                                                      bool wantPoints, bool wantPath) const {
    Projected made;
    if (!wantPoints && !wantPath)
        return made;
    auto path = std::make_shared<CGPath>();
    if (coordinates) {
        for (size_t segment = 0; segment < coordinates->segmentCount(); ++segment) {
            const size_t n = coordinates->numberOfCoordinatesAtSegment(segment);
            if (segment == 0 && wantPoints)
                made.points = std::make_shared<CBPointPath>(n);
            else if (segment > 0 && !wantPath)
                break;
            for (size_t i = 0; i < n; ++i) {
                const CGPoint p =
                    offsetForCoordinate(coordinates->coordinateAtIndexOfSegment(i, segment));
                if (segment == 0 && made.points)
                    made.points->setPointAtIndex(p, i);
                if (i == 0)
                    path->moveToPoint(p);
                else
                    path->addLineToPoint(p);
            }
        }
    } else {
        const CGPoint p = offsetForCoordinate(fallback);
        if (wantPoints) {
            made.points = std::make_shared<CBPointPath>(1);
            made.points->setPointAtIndex(p, 0);
        }
        path->moveToPoint(p);
    }
    if (wantPath)
        made.path = std::move(path);
    return made;
}

void CBMapProjector::calculatePointPathAndCGPathRefForGeoPathObject(bool wantPoints, bool wantPath,
                                                                    CBGeoPathObject& object) const {
    wantPoints = wantPoints && !object.pointPath();
    wantPath = wantPath && !object.cgPathRef();
    if (!wantPoints && !wantPath)
        return;
    const auto path = object.path();
    Projected made = projectPath(path.get(), path ? CLLocationCoordinate2D{} : object.coordinate(),
                                 wantPoints, wantPath);
    if (wantPath)
        object.setCgPathRef(std::move(made.path));
    if (made.points)
        object.setPointPath(std::move(made.points));
}
