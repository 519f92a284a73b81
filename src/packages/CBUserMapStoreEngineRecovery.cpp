#include <filesystem>

#include "CoreData/NSManagedObjectContext.h"
#include "Foundation/NSLog.h"
#include "packages/CBDamagedStore.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"

namespace fs = std::filesystem;

void CBUserMapStoreEngine::openStoreOrRebuildFromMapsOnDisk() {
    if (!managedObjectModel())
        return;
    // A store may open and still fail on its first read.
    const auto opens = [this] {
        auto context = managedObjectContext();
        return persistentStoreCoordinator() && context &&
               context->countForFetchRequest(NSFetchRequest(CBMapStoreMap::kEntityName), nullptr)
                   .has_value();
    };
    if (opens() || !CBDamagedStore::setAsideStoreAtPath(storePath(), "the installed maps"))
        return;
    releaseCoreDataStack();
    if (opens())
        recordMapsOnDisk();
}

// The folders of the maps folder named after a map, whose geo store
// validates, are the installed maps; the catalogue describes them.
void CBUserMapStoreEngine::recordMapsOnDisk() {
    auto context = managedObjectContext();
    std::error_code error;
    size_t found = 0;
    for (const auto& entry : fs::directory_iterator(basePathForMaps(), error)) {
        const std::string identifier = entry.path().filename().string();
        if (!CBMapStoreIsValidIdentifier(identifier) || !entry.is_directory(error))
            continue;
        NSError invalid;
        if (!validateMapStoreAtPath((entry.path() / (identifier + ".sqlite")).string(), &invalid)) {
            NSLogWithLevel(NSLogLevel::Warning, "Kelvara: the map folder %s is not recorded: %s",
                           entry.path().c_str(), invalid.localizedDescription().c_str());
            continue;
        }
        auto map = std::dynamic_pointer_cast<CBMapStoreMap>(
            context->insertNewObjectForEntityForName(CBMapStoreMap::kEntityName));
        if (!map)
            continue;
        fillRecordFromCatalogue(map, identifier);
        map->setDateAdded(NSDate::date());
        checkedMaps_[identifier] = false;
        ++found;
    }
    if (saveChanges())
        NSLogWithLevel(NSLogLevel::Error,
                       "Kelvara: the installed maps are recorded anew: %zu found", found);
}

bool CBUserMapStoreEngine::checkMapIsDamaged(const Map& map) {
    const auto identifier = map ? map->identifier() : std::nullopt;
    if (!identifier || map->isDownloading() || hasQueuedDownload(*identifier))
        return false;
    if (auto checked = checkedMaps_.find(*identifier); checked != checkedMaps_.end())
        return checked->second;
    NSError error;
    const auto path = map->filePath();
    if (!path || !validateMapStoreAtPath(*path, &error))
        return markMapDamaged(map, error.localizedDescription());
    checkedMaps_[*identifier] = false;
    return false;
}

bool CBUserMapStoreEngine::markMapDamaged(const Map& map, const std::string& reason) {
    const auto identifier = map ? map->identifier() : std::nullopt;
    if (!identifier || isMapDamaged(identifier))
        return false;
    NSLogWithLevel(NSLogLevel::Error, "Kelvara: the installed map %s is damaged: %s",
                   identifier->c_str(), reason.c_str());
    checkedMaps_[*identifier] = true;
    storeState();
    return true;
}

bool CBUserMapStoreEngine::isMapDamaged(const std::optional<std::string>& identifier) const {
    const auto checked = identifier ? checkedMaps_.find(*identifier) : checkedMaps_.end();
    return checked != checkedMaps_.end() && checked->second && !hasQueuedDownload(*identifier);
}

// A map whose package is queued is being loaded, whatever its files are now.
bool CBUserMapStoreEngine::hasQueuedDownload(const std::string& identifier) const {
    const auto engine = downloadManager();
    return engine && engine->downloadForIdentifierOfType(identifier, kDownloadType);
}
