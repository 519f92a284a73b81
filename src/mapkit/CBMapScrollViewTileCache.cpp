// The map view's pre-fill of the disk tile cache.
#include <algorithm>

#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"

void CBMapScrollView::
    populateCacheForBoundingBoxAndZoomlevelRangeWithProgressBlockAndCompletionBlock(
        const CBBoundingBox& box, NSRange zoomlevelRange,
        CBMapTileCachePrefill::ProgressBlock progress,
        CBMapTileCachePrefill::CompletionBlock completion) {
    // Only the map's own levels: deeper ones have no tiles to render.
    const size_t levels = size_t(std::max(0, layout_->maximumZoomLevel() + 1));
    const size_t first = std::min(zoomlevelRange.location, levels);
    const size_t count = std::min(zoomlevelRange.length, levels - first);
    CBMapTileCachePrefill::populateCacheOfRendererForBoundingBoxAndZoomlevelRange(
        displayManager_, layers_->vectorDataSourceLayer(), box, int(first), int(count),
        std::move(progress), std::move(completion));
}
