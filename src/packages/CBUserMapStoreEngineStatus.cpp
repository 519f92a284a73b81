// What the download of each map is at, told to the registry's delegates.
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"

// A map loading for the first time has a record, but no date added yet.
bool CBUserMapStoreEngine::hasInstalledIdentifier(const std::string& identifier) {
    auto map = mapForIdentifier(identifier);
    return map && map->dateAdded();
}

void CBUserMapStoreEngine::downloadStatusChangedToForIdentifier(const ZELDownloadStatus& status,
                                                                const std::string& identifier) {
    tellDelegates([&](auto& delegate) {
        delegate.userMapStoreDownloadStatusChangedToForMapWithIdentifier(*this, status, identifier);
    });
}

void CBUserMapStoreEngine::downloadProgressChangedToForIdentifier(const ZELDownloadStatus& status,
                                                                  const std::string& identifier) {
    tellDelegates([&](auto& delegate) {
        delegate.userMapStoreDownloadProgressChangedToForMapWithIdentifier(*this, status,
                                                                           identifier);
    });
}
