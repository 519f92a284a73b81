#include "CBGeoData/CBGeoDataManager.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapTileCachePrefill.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"

// The first look at a new map is fast when its low and middle zoom levels are
// in the tile cache already; an updated map's old tiles are cleared first.
void CBUserMapStoreEngine::prefillTileCacheForMap(const Map& map, bool isUpdate,
                                                  std::function<void(double)> progress,
                                                  std::function<void()> done) {
    const auto path = map ? map->filePath() : std::nullopt;
    auto view = path ? CBMapScrollView::create(UIScreen::mainScreen()->bounds()) : nullptr;
    if (!view) {
        done();
        return;
    }
    view->setSavesState(false);
    if (!view->setMapWithStorePathAndBoundingBox(*path, nullptr)) {
        done();
        return;
    }
    // The old tiles lie under the store id the map view draws with.
    if (isUpdate)
        CBMapTileCachePrefill::clearDiskCacheForStoreIdentifierSync(*view,
                                                                    view->currentMapStorePath());
    CBMapTileCachePrefill::populateCacheForInstalledMap(
        view,
        [progress](float value, bool) {
            progress(value);
            return false;
        },
        [view, done] { done(); });
}
