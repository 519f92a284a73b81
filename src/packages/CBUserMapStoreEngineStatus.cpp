// What the download of each map is at, answered and told to the registry's
// delegates.
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"

ZELDownloadStatus CBUserMapStoreEngine::downloadStatusForMapIdentifier(
    const std::optional<std::string>& identifier) {
    auto engine = downloadManager();
    if (auto download =
            engine ? engine->downloadForIdentifierOfType(identifier, kDownloadType) : nullptr) {
        if (const auto status = engine->statusForDownload(download); status.isQueued())
            return status;
    }
    // A map loading for the first time has a record, but no date added yet.
    auto map = mapForIdentifier(identifier);
    return map && map->dateAdded() ? ZELDownloadStatus::installed() : ZELDownloadStatus{};
}

void CBUserMapStoreEngine::downloadManagerChangedStatusToForDownload(
    ZELDownloadManagerEngine&, const ZELDownloadStatus& status, const Download& download) {
    // An installed download is told once it has left the queue.
    if (download->type() != kDownloadType || status.phase == ZELDownloadPhase::Installed)
        return;
    const std::string identifier = download->identifier();
    tellDelegates([&](auto& delegate) {
        delegate.userMapStoreDownloadStatusChangedToForMapWithIdentifier(*this, status, identifier);
    });
}

void CBUserMapStoreEngine::downloadManagerUpdatedProgressToForDownload(
    ZELDownloadManagerEngine& engine, double, const Download& download) {
    if (download->type() != kDownloadType)
        return;
    const std::string identifier = download->identifier();
    const ZELDownloadStatus status = engine.statusForDownload(download);
    tellDelegates([&](auto& delegate) {
        delegate.userMapStoreDownloadProgressChangedToForMapWithIdentifier(*this, status,
                                                                           identifier);
    });
}
