#include "mapkit/CBStaticVectorMapView.h"

#include <cmath>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBPointPath.h"

CBStaticVectorMapView::CBStaticVectorMapView(std::string storePath,
                                             std::shared_ptr<CBGeoDataManager> dataManager)
    : storePath_(std::move(storePath)), dataManager_(std::move(dataManager)) {}

CGRect CBStaticVectorMapView::rectForXYZ(int x, int y, int z) const {
    const CGFloat side = kTileSize / scaleForNativeZoomlevel(z);
    return CGRectMake(x * side, y * side, side, side);
}

float CBStaticVectorMapView::scaleForNativeZoomlevel(int level) const {
    return std::pow(2.0f, float(level - kMaximumZoomLevel));
}

CGPoint CBStaticVectorMapView::offsetForCoordinate(CLLocationCoordinate2D coordinate) const {
    const double n = std::pow(2.0, kMaximumZoomLevel) * kTileSize;
    const double latitude = coordinate.latitude * M_PI / 180;
    return CGPointMake((coordinate.longitude + 180) / 360 * n,
                       (1 - std::asinh(std::tan(latitude)) / M_PI) / 2 * n);
}

void CBStaticVectorMapView::calculatePointPathAndCGPathRefForGeoPathObject(
    bool wantPoints, bool wantPath, CBGeoElement& element) const {
    auto path = element.path();
    if (!path)
        return;
    auto cgPath = std::make_shared<CGPath>();
    for (size_t segment = 0; segment < path->segmentCount(); ++segment) {
        if (segment > 0 && !wantPath)
            break;
        const size_t count = path->numberOfCoordinatesAtSegment(segment);
        std::shared_ptr<CBPointPath> points;
        if (segment == 0 && wantPoints)
            points = std::make_shared<CBPointPath>(count);
        for (size_t i = 0; i < count; ++i) {
            const CGPoint point = offsetForCoordinate(path->coordinateAtIndexOfSegment(i, segment));
            if (points)
                points->setPointAtIndex(point, i);
            if (i == 0)
                cgPath->moveToPoint(point);
            else
                cgPath->addLineToPoint(point);
        }
        if (points)
            element.setPointPath(points);
    }
    if (wantPath)
        element.setCgPathRef(cgPath);
}
