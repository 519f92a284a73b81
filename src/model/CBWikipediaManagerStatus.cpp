// The Wikipedia manager's delegates that hear what the download of a map's
// package is at.
#include "model/CBWikipediaManager.h"

void CBWikipediaManager::addDelegate(const std::shared_ptr<CBWikipediaManagerDelegate>& delegate) {
    delegates_.add(delegate);
}

void CBWikipediaManager::removeDelegate(
    const std::shared_ptr<CBWikipediaManagerDelegate>& delegate) {
    delegates_.remove(delegate);
}

void CBWikipediaManager::downloadStatusChangedToForIdentifier(const ZELDownloadStatus& status,
                                                              const std::string& identifier) {
    for (const auto& delegate : delegates_.currentDelegates())
        delegate->wikipediaManagerDownloadStatusChangedToForMapWithIdentifier(*this, status,
                                                                              identifier);
}

void CBWikipediaManager::downloadProgressChangedToForIdentifier(const ZELDownloadStatus& status,
                                                                const std::string& identifier) {
    for (const auto& delegate : delegates_.currentDelegates())
        delegate->wikipediaManagerDownloadProgressChangedToForMapWithIdentifier(*this, status,
                                                                                identifier);
}
