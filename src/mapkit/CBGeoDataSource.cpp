#include "mapkit/CBGeoDataSource.h"

#include "CBGeoData/CBBoundingBox.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapProjection.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapTileCachePrefill.h"
#include "mapkit/CBTileRequest.h"

namespace {

// Whether the tile is one of the map's: at one of its levels, and meeting
// its box.
bool mapHasTile(const CBMapLayout& layout, int x, int y, int z) {
    const auto box = layout.mapBoundingBox();
    const auto projection = layout.mapProjection();
    if (!box || !projection || !layout.projector() || z < 0 || z > layout.maximumZoomLevel())
        return false;
    const auto level = CBMapTileCachePrefill::levelsForBoundingBox(*projection, *box, z, 1).front();
    return x >= level.left && x <= level.right && y >= level.top && y <= level.bottom;
}

}  // namespace

void CBGeoDataSource::drawDataSourceInMapInRectForXYZAtScaleInContext(
    const std::shared_ptr<CBMapScrollView>& map, const CGRect& rect, int x, int y, int z,
    float scale, CGContext& context) {
    if (!map || !map->displayManager() || !mapHasTile(*map->layout(), x, y, z))
        return;
    drawTileRequestInContext(
        map->displayManager()->tileRequestForRectXYZAtScale(rect, x, y, z, scale), context);
}
