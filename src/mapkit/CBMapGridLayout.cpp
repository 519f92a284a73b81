#include "mapkit/CBMapGridLayout.h"

#include <algorithm>
#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapProjector.h"

void CBMapGridLayout::zoomScalesForMapSize(CGSize mapSize, CGSize viewSize, CGFloat screenScale,
                                           CGFloat& minimumZoomScale, CGFloat& maximumZoomScale) {
    const CGFloat maxScale = 1.0 / (screenScale > 0 ? static_cast<float>(screenScale) : 1.0f);
    CGFloat fits = 0;
    if (mapSize.width > 0 && mapSize.height > 0)
        fits = std::max(viewSize.width / mapSize.width, viewSize.height / mapSize.height);
    maximumZoomScale = maxScale;
    minimumZoomScale = std::min(maxScale, fits > 0 ? fits : maxScale);
}

CBMapGridLayout CBMapGridLayout::layoutForBoundingBox(const CBBoundingBox& box,
                                                      std::shared_ptr<CBMapProjection> projection,
                                                      int maximumZoomLevel, CGFloat tileSize,
                                                      CGSize viewSize, CGFloat screenScale) {
    CBMapGridLayout layout;
    const int zmax = maximumZoomLevel;
    const float t = static_cast<float>(tileSize);
    const int firstRow = projection->tileyForCoordinateAndZoom(box.NE(), zmax);
    const int firstCol = projection->tilexForCoordinateAndZoom(box.SW(), zmax);
    const int lastRow = projection->tileyForCoordinateAndZoom(box.SW(), zmax);
    const int lastCol = projection->tilexForCoordinateAndZoom(box.NE(), zmax);
    const float x0 = static_cast<float>(projection->tilexFracForCoordinateAndZoom(box.SW(), zmax));
    const float y0 = static_cast<float>(projection->tileyFracForCoordinateAndZoom(box.NE(), zmax));
    const float x1 = static_cast<float>(projection->tilexFracForCoordinateAndZoom(box.NE(), zmax));
    const float y1 = static_cast<float>(projection->tileyFracForCoordinateAndZoom(box.SW(), zmax));
    const float boxWidth = std::ceil((x1 - x0) * t);
    const float boxHeight = std::ceil((y1 - y0) * t);
    layout.boxSize = CGSizeMake(boxWidth, boxHeight);
    zoomScalesForMapSize(layout.boxSize, viewSize, screenScale, layout.minimumZoomScale,
                         layout.maximumZoomScale);
    const float pixelsPerPoint = screenScale > 0 ? static_cast<float>(screenScale) : 1.0f;
    layout.minimumZoomLevel = CBMapProjector::nativeZoomLevelForScaleAtMaximumZoomLevel(
        static_cast<float>(layout.minimumZoomScale) * pixelsPerPoint, zmax);

    const float f = std::pow(2.0f, static_cast<float>(zmax - layout.minimumZoomLevel));
    const int offsetRows = static_cast<int>(std::floor(firstRow / f) * f);
    const int offsetCols = static_cast<int>(std::floor(firstCol / f) * f);
    const int lastGridCol = static_cast<int>((std::floor(lastCol / f) + 1) * f - 1);
    const int lastGridRow = static_cast<int>((std::floor(lastRow / f) + 1) * f - 1);
    layout.gridSize = CGSizeMake(std::ceil(t * static_cast<float>(lastGridCol + 1 - offsetCols)),
                                 std::ceil(t * static_cast<float>(lastGridRow + 1 - offsetRows)));
    layout.gridOffset = CGPointMake(std::floor(t * (static_cast<float>(offsetCols) - x0)),
                                    std::floor(t * (static_cast<float>(offsetRows) - y0)));
    const CLLocationCoordinate2D corner =
        projection->coordinateForTileXAndYZoom(offsetCols, offsetRows, zmax);
    layout.projector = std::make_shared<const CBMapProjector>(std::move(projection), zmax, corner,
                                                              offsetCols, offsetRows, tileSize);
    return layout;
}
