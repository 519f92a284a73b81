#pragma once

#include "mapkit/CBMapTileCachePrefill.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"

// The registry's step after an install as the application sets it: the
// tile-cache pre-fill of the new map, laid out for a phone at scale 2.
inline CBUserMapStoreEngine::PostInstallStep tileCachePrefillStep() {
    return [](const CBUserMapStoreEngine::Map& map, bool isUpdate,
              std::function<void(double)> progress, std::function<void()> done) {
        const auto path = map ? map->filePath() : std::nullopt;
        if (!path || !CBMapTileCachePrefill::populateCacheForInstalledStore(
                         *path, isUpdate, CGSizeMake(320, 568), 2,
                         [progress](float value, bool) {
                             progress(value);
                             return false;
                         },
                         done))
            done();
    };
}
