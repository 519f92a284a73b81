// The Wikipedia manager's answer to what the download of a map's package is
// at, and its delegates that hear it change.
#include "model/CBWikipediaManager.h"
#include "packages/ZELDownloadManagerDownload.h"

void CBWikipediaManager::addDelegate(const std::shared_ptr<CBWikipediaManagerDelegate>& delegate) {
    delegates_.add(delegate);
}

void CBWikipediaManager::removeDelegate(
    const std::shared_ptr<CBWikipediaManagerDelegate>& delegate) {
    delegates_.remove(delegate);
}

ZELDownloadStatus CBWikipediaManager::downloadStatusForMapIdentifier(
    const std::string& identifier) {
    if (auto download = downloadManager_ ? downloadManager_->downloadForIdentifierOfType(
                                               identifier, kDownloadType)
                                         : nullptr) {
        if (const auto status = downloadManager_->statusForDownload(download); status.isQueued())
            return status;
    }
    return userHasWikipediaForMapIdentifier(identifier) ? ZELDownloadStatus::installed()
                                                        : ZELDownloadStatus{};
}

void CBWikipediaManager::tellStatusOfMapIdentifier(const ZELDownloadStatus& status,
                                                   const std::string& identifier) {
    for (const auto& delegate : delegates_.currentDelegates())
        delegate->wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(*this, status,
                                                                              identifier);
}

void CBWikipediaManager::downloadManagerChangedStatusToForDownload(ZELDownloadManagerEngine&,
                                                                   const ZELDownloadStatus& status,
                                                                   const Download& download) {
    // An installed package is told once its download has left the queue.
    if (download->type() == kDownloadType && status.phase != ZELDownloadPhase::Installed)
        tellStatusOfMapIdentifier(status, download->identifier());
}

void CBWikipediaManager::downloadManagerUpdatedProgressToForDownload(
    ZELDownloadManagerEngine& engine, double, const Download& download) {
    if (download->type() != kDownloadType)
        return;
    const ZELDownloadStatus status = engine.statusForDownload(download);
    for (const auto& delegate : delegates_.currentDelegates())
        delegate->wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(
            *this, status, download->identifier());
}

void CBWikipediaManager::downloadManagerDidRemoveDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string& identifier, const std::string& type) {
    if (type == kDownloadType)
        tellStatusOfMapIdentifier(downloadStatusForMapIdentifier(identifier), identifier);
}
