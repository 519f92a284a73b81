#include "app/CBInstalledMapPrefill.h"

#include "UIKit/UIScreen.h"
#include "mapkit/CBMapTileCachePrefill.h"
#include "mapkit/CBOpenMap.h"
#include "packages/CBMapStoreMap.h"

CBUserMapStoreEngine::DeletedMapStep CBDeletedMapTilesStep() {
    return [](const std::string& identifier) {
        CBMapTileCachePrefill::removeTilesOfDeletedStore(identifier);
    };
}

CBUserMapStoreEngine::ReleaseMapStep CBReleaseOpenMapStep() {
    return [](const std::string& identifier) { CBOpenMap::invalidateStoreIdentifier(identifier); };
}

CBUserMapStoreEngine::PostInstallStep CBInstalledMapPrefillStep() {
    return [](const CBUserMapStoreEngine::Map& map, bool isUpdate,
              std::function<void(double)> progress, std::function<void()> done) {
        const auto path = map ? map->filePath() : std::nullopt;
        auto screen = UIScreen::mainScreen();
        const bool started = path && CBMapTileCachePrefill::populateCacheForInstalledStore(
                                         *path, isUpdate, screen->bounds().size, screen->scale(),
                                         [progress](float value, bool) {
                                             progress(value);
                                             return false;
                                         },
                                         done);
        if (!started)
            done();
    };
}
