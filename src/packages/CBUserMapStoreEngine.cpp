#include "packages/CBUserMapStoreEngine.h"

#include <algorithm>
#include <filesystem>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreMap.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "packages/ZELStagedInstall.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCurrentMapKey = "currentMapIdentifier";
// The maps found damaged, marked so on later starts until loaded again.
constexpr const char* kDamagedMapsKey = "damagedMapIdentifiers";

void removeQuietly(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

}  // namespace

std::shared_ptr<CBUserMapStoreEngine> CBUserMapStoreEngine::createWithDownloadManager(
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager,
    std::shared_ptr<CBMapStoreEngine> catalogue) {
    auto registry = std::make_shared<CBUserMapStoreEngine>(applicationDocumentsDirectory() + "/" +
                                                           kStoreFileName);
    registry->catalogue_ = std::move(catalogue);
    const std::string statePath = registry->stateFilePath();
    NSError error;
    const auto state =
        NSPropertyListSerialization::propertyListWithContentsOfFile(statePath, &error);
    if (state && state->dictionaryValue()) {
        const auto& fields = *state->dictionaryValue();
        if (auto found = fields.find(kCurrentMapKey);
            found != fields.end() && found->second.stringValue())
            registry->currentMapIdentifier_ = *found->second.stringValue();
        if (auto found = fields.find(kDamagedMapsKey);
            found != fields.end() && found->second.arrayValue()) {
            for (const Value& identifier : *found->second.arrayValue())
                if (identifier.stringValue() &&
                    CBMapStoreIsValidIdentifier(*identifier.stringValue()))
                    registry->checkedMaps_[*identifier.stringValue()] = true;
        }
    } else if (std::error_code ignored; fs::exists(statePath, ignored)) {
        // The next stored state replaces it.
        NSLogWithLevel(NSLogLevel::Error,
                       "Installed maps state %s unreadable, starting without a "
                       "current map: %s",
                       statePath.c_str(),
                       state ? "not a dictionary" : error.localizedDescription().c_str());
    }
    registry->openStoreOrRebuildFromMapsOnDisk();
    if (downloadManager) {
        downloadManager->addDelegate(registry);
        downloadManager->setInstallerForType(registry, kDownloadType);
    }
    registry->setDownloadManager(std::move(downloadManager));
    return registry;
}

CBUserMapStoreEngine::CBUserMapStoreEngine(std::string storePath)
    : CBMapStoreEngine(std::move(storePath), false), ZELDownloadStatusListener(kDownloadType) {}

CBUserMapStoreEngine::~CBUserMapStoreEngine() {
    if (releaseMapStep_)
        for (const auto& identifier : finishing_)
            releaseMapStep_(identifier);
}

std::shared_ptr<CBUserMapStoreEngine> CBUserMapStoreEngine::userSelf() {
    return std::static_pointer_cast<CBUserMapStoreEngine>(shared_from_this());
}

void CBUserMapStoreEngine::addDelegate(
    const std::shared_ptr<CBUserMapStoreEngineDelegate>& delegate) {
    delegates_.add(delegate);
}

void CBUserMapStoreEngine::removeDelegate(
    const std::shared_ptr<CBUserMapStoreEngineDelegate>& delegate) {
    delegates_.remove(delegate);
}

std::string CBUserMapStoreEngine::stateFilePath() const {
    return applicationCachesDirectory() + "/" + kStateFileName;
}

CBUserMapStoreEngine::Map CBUserMapStoreEngine::currentMap() {
    return mapForIdentifier(currentMapIdentifier_);
}

std::optional<std::string> CBUserMapStoreEngine::currentMapTitle() {
    const auto map = currentMap();
    return map ? std::optional<std::string>(map->shortTitle()) : std::nullopt;
}

void CBUserMapStoreEngine::setCurrentMap(const Map& map) {
    const auto identifier = map ? map->identifier() : std::nullopt;
    if (identifier == currentMapIdentifier_)
        return;
    currentMapIdentifier_ = identifier;
    storeState();
    tellDelegates([&](auto& delegate) { delegate.userMapStoreChangeCurrentMapTo(*this, map); });
    if (map) {
        map->setLastUsed(NSDate::date());
        saveChanges();
    }
}

void CBUserMapStoreEngine::storeState() {
    Value::Dictionary state;
    if (currentMapIdentifier_)
        state[kCurrentMapKey] = Value(*currentMapIdentifier_);
    Value::Array damaged;
    for (const auto& [identifier, isDamaged] : checkedMaps_)
        if (isDamaged)
            damaged.push_back(Value(identifier));
    if (!damaged.empty())
        state[kDamagedMapsKey] = Value(std::move(damaged));
    NSError error;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            Value(state), stateFilePath(), NSPropertyListSerialization::Format::Binary, &error))
        NSLog("Unresolved error %s", error.description().c_str());
}

void CBUserMapStoreEngine::resetState() {
    removeQuietly(stateFilePath());
}

std::vector<CBUserMapStoreEngine::Map> CBUserMapStoreEngine::allMaps(
    const std::vector<NSSortDescriptor>& order) {
    std::vector<Map> maps;
    auto context = managedObjectContext();
    if (!context || !persistentStoreCoordinator())
        return maps;
    NSFetchRequest request(CBMapStoreMap::kEntityName);
    request.sortDescriptors = order;
    request.relationshipKeyPathsForPrefetching = {"titles"};
    NSError error;
    const auto found = context->executeFetchRequest(request, &error);
    if (!found) {
        NSLog("error: %s", error.description().c_str());
        return maps;
    }
    for (const auto& object : *found) {
        if (auto map = std::dynamic_pointer_cast<CBMapStoreMap>(object))
            maps.push_back(std::move(map));
    }
    return maps;
}

std::set<std::string> CBUserMapStoreEngine::allIdentifiers() {
    std::set<std::string> identifiers;
    for (const auto& map : allMaps({})) {
        if (auto identifier = map->identifier())
            identifiers.insert(*identifier);
    }
    return identifiers;
}

std::vector<CBUserMapStoreEngine::Map> CBUserMapStoreEngine::mapsSortedByName() {
    auto maps = allMaps({});
    // The local name depends on the user's language, so the order is made here.
    std::stable_sort(maps.begin(), maps.end(),
                     [](const Map& a, const Map& b) { return a->compare(*b) < 0; });
    return maps;
}

std::vector<CBUserMapStoreEngine::Map> CBUserMapStoreEngine::mapsSortedByDate() {
    return allMaps({NSSortDescriptor::sortDescriptorWithKey("lastUsed", false)});
}

void CBUserMapStoreEngine::deleteMap(const Map& map) {
    deleteMapAndCancelRelatedDownloads(map, true);
}

void CBUserMapStoreEngine::deleteMapAndCancelRelatedDownloads(const Map& map,
                                                              bool cancelDownloads) {
    const auto identifier = map ? map->identifier() : std::nullopt;
    if (!identifier)
        return;
    tellDelegates([&](auto& delegate) { delegate.userMapStoreWillDeleteMap(*this, map); });
    std::vector<std::string> doomed;
    if (CBMapStoreIsValidIdentifier(*identifier))
        doomed.push_back(basePathForMaps() + "/" + *identifier);
    for (const auto& cover : {defaultCoverPathForMapWithIdentifier(identifier),
                              customCoverPathForMapWithIdentifier(identifier)}) {
        if (cover)
            doomed.push_back(*cover);
    }
    if (releaseMapStep_ && CBMapStoreIsValidIdentifier(*identifier))
        releaseMapStep_(*identifier);
    DispatchQueue::global()->async([doomed] {
        for (const auto& path : doomed)
            removeQuietly(path);
    });
    if (deletedMapStep_ && CBMapStoreIsValidIdentifier(*identifier))
        deletedMapStep_(*identifier);
    if (auto context = managedObjectContext())
        context->deleteObject(map);
    saveChanges();
    if (cancelDownloads) {
        if (auto engine = downloadManager()) {
            if (auto download = engine->downloadForIdentifierOfType(identifier, kDownloadType))
                engine->cancelDownloads({download});
        }
    }
    checkedMaps_.erase(*identifier);
    if (currentMapIdentifier_ == identifier)
        currentMapIdentifier_.reset();
    storeState();
    tellDelegates([&](auto& delegate) {
        delegate.userMapStoreDidDeleteMapWithIdentifier(*this, *identifier);
    });
}

std::optional<std::vector<CBMapDocumentInfo>> CBUserMapStoreEngine::documentInfosArrayForMap(
    const Map& map) {
    const auto path = map ? map->filePath() : std::nullopt;
    if (!path)
        return std::nullopt;
    return CBMapDocumentInfo::documentInfosInPackageFolder(fs::path(*path).parent_path().string());
}

void CBUserMapStoreEngine::migrateDownloadQueue() {
    auto engine = downloadManager();
    for (const auto& map : allMaps({})) {
        const auto identifier = map->identifier();
        if (!identifier || !CBMapStoreIsValidIdentifier(*identifier))
            continue;
        ZELStagedInstall::recoverInterruptedInstallAtPath(basePathForMaps() + "/" + *identifier);
        const bool queued =
            engine && engine->downloadForIdentifierOfType(identifier, kDownloadType) != nullptr;
        if (queued && !map->isDownloading())
            map->setIsDownloading(true);
        else if (!queued && map->isDownloading())
            downloadOfMapEnded(map);
    }
    saveChanges();
}

// A map whose first download ended without an install leaves the registry;
// an installed one is simply no longer downloading.
void CBUserMapStoreEngine::downloadOfMapEnded(const Map& map) {
    if (map->dateAdded())
        map->setIsDownloading(false);
    else if (auto context = managedObjectContext())
        context->deleteObject(map);
}
