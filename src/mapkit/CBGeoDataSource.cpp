#include "mapkit/CBGeoDataSource.h"

#include "UIKit/UIScreen.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBTileRequest.h"

void CBGeoDataSource::drawDataSourceInMapInRectForXYZAtScaleInContext(
    const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z,
    float scale, CGContext& context) {
    CBTileRequest request;
    if (auto display = map ? map->displayManager() : nullptr) {
        request = display->tileRequestForRectXYZAtScale(rect, x, y, z, scale);
    } else {
        request.x = x;
        request.y = y;
        request.zoom = z;
        request.rect = rect;
        request.scale = scale;
        request.screenScale = UIScreen::mainScreen()->scale();
    }
    drawTileRequestInContext(request, context);
}
