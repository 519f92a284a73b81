#include "packages/ZELDownloadStatusListener.h"

#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"

ZELDownloadStatusListener::ZELDownloadStatusListener(std::string downloadType)
    : downloadType_(std::move(downloadType)) {}

ZELDownloadStatus ZELDownloadStatusListener::downloadStatusForIdentifier(
    const std::optional<std::string>& identifier) {
    auto engine = followedDownloadEngine();
    if (auto download =
            engine ? engine->downloadForIdentifierOfType(identifier, downloadType_) : nullptr) {
        if (const auto status = engine->statusForDownload(download); status.isQueued())
            return status;
    }
    return identifier && hasInstalledIdentifier(*identifier) ? ZELDownloadStatus::installed()
                                                             : ZELDownloadStatus{};
}

void ZELDownloadStatusListener::downloadManagerChangedStatusToForDownload(
    ZELDownloadManagerEngine&, const ZELDownloadStatus& status, const Download& download) {
    // An installed download is told once it has left the queue.
    if (download->type() == downloadType_ && status.phase != ZELDownloadPhase::Installed)
        downloadStatusChangedToForIdentifier(status, download->identifier());
}

void ZELDownloadStatusListener::downloadManagerUpdatedProgressToForDownload(
    ZELDownloadManagerEngine& engine, double, const Download& download) {
    if (download->type() == downloadType_)
        downloadProgressChangedToForIdentifier(engine.statusForDownload(download),
                                               download->identifier());
}

void ZELDownloadStatusListener::downloadManagerDidRemoveDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string& identifier, const std::string& type) {
    if (type != downloadType_)
        return;
    downloadLeftQueueWithIdentifier(identifier);
    downloadStatusChangedToForIdentifier(downloadStatusForIdentifier(identifier), identifier);
}
