// Asking for a map's download: the one call the screens use to load a map
// or to go on with its download.
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"

bool CBUserMapStoreEngine::downloadOrRetryMap(const Map& map, std::optional<int64_t> expectedSize) {
    auto engine = downloadManager();
    if (!engine || !map)
        return false;
    if (auto queued = engine->downloadForIdentifierOfType(map->identifier(), kDownloadType)) {
        engine->retryDownload(queued);
        return true;
    }
    auto request = downloadRequestForMap(map);
    if (!request)
        return false;
    if (expectedSize.value_or(0) > 0)
        request->downloadSize = expectedSize;
    if (!engine->addDownload(*request))
        return false;
    engine->resumeDownloads();
    return true;
}
