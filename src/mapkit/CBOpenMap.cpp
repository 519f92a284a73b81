#include "mapkit/CBOpenMap.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "CBGeoData/CBGeoDataManager.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIScreen.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoStyleSheet.h"

namespace {

using FileIdentity = std::pair<unsigned long, unsigned long>;

struct Table {
    // Opening runs under the lock, so two callers of one map never open its
    // stores twice.
    std::recursive_mutex mutex;
    std::map<std::string, std::weak_ptr<CBOpenMap>> maps;
    long opens = 0;
};

// Never destroyed: maps are closed while the process exits too (the registry
// lets go of a map it is installing).
Table& table() {
    static auto* shared = new Table;
    return *shared;
}

std::optional<FileIdentity> identityOfFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<unsigned long>(status.st_dev),
                        static_cast<unsigned long>(status.st_ino)};
}

NSError openError(long code, const std::string& description, const std::string& path) {
    Value::Dictionary info;
    info[NSError::NSLocalizedDescriptionKey] = Value(description);
    if (!path.empty())
        info[NSError::NSFilePathErrorKey] = Value(path);
    return NSError::errorWithDomain(CBOpenMap::kErrorDomain, code, std::move(info));
}

void postClosed(const std::string& identifier) {
    DispatchQueue::main()->async([identifier] {
        NSNotificationCenter::defaultCenter()->postNotificationName(
            CBOpenMap::kCBOpenMapDidCloseNotification, nullptr,
            Value::Dictionary{{"identifier", Value(identifier)}});
    });
}

}  // namespace

std::optional<std::string> CBOpenMap::identifierForStorePathes(
    const std::vector<std::string>& paths) {
    if (paths.empty())
        return std::nullopt;
    std::vector<std::string> names;
    for (const auto& path : paths)
        names.push_back(std::filesystem::path(path).stem().string());
    std::sort(names.begin(), names.end());
    std::string identifier;
    for (const auto& name : names)
        identifier += name;
    return identifier;
}

std::string CBOpenMap::versionForStorePathes(const std::vector<std::string>& paths) {
    std::string version;
    for (const auto& path : paths) {
        auto metadata = NSPersistentStoreCoordinator::metadataForPersistentStoreOfTypeURL(
            NSSQLiteStoreType, path, nullptr);
        const std::string* uuid = nullptr;
        if (metadata) {
            if (auto found = metadata->find("NSStoreUUID"); found != metadata->end())
                uuid = found->second.stringValue();
        }
        if (!uuid)
            return {};
        version += (version.empty() ? "" : ",") + *uuid;
    }
    return version;
}

std::shared_ptr<CBOpenMap> CBOpenMap::openStorePath(const std::string& path, NSError* error) {
    return openStorePathes({path}, error);
}

std::shared_ptr<CBOpenMap> CBOpenMap::openStorePathes(const std::vector<std::string>& paths,
                                                      NSError* error) {
    const auto identifier = identifierForStorePathes(paths);
    if (!identifier) {
        if (error)
            *error = openError(kNoStoreError, "No map store given", {});
        return nullptr;
    }
    Table& shared = table();
    std::lock_guard lock(shared.mutex);
    auto held = shared.maps[*identifier].lock();
    if (held && !held->isClosed() && !held->filesUnchanged()) {
        NSLogWithLevel(NSLogLevel::Info, "CBOpenMap: the map %s was replaced, opening it again",
                       identifier->c_str());
        held->close();
        postClosed(*identifier);
    }
    if (held && !held->isClosed() && held->opensFiles(paths))
        return held;
    if (!held || held->isClosed())
        shared.maps.erase(*identifier);
    NSError failure;
    auto map = open(*identifier, paths, &failure);
    if (!map) {
        NSLogWithLevel(NSLogLevel::Error, "CBOpenMap: %s", failure.localizedDescription().c_str());
        if (error)
            *error = failure;
        return nullptr;
    }
    // Other files of the same name (a copy elsewhere) are another map: the
    // held one stays open for its holders, the table hands out the newer.
    shared.maps[*identifier] = map;
    ++shared.opens;
    NSLogWithLevel(NSLogLevel::Info, "CBOpenMap: opened the map %s from %s", identifier->c_str(),
                   paths.front().c_str());
    return map;
}

std::shared_ptr<CBOpenMap> CBOpenMap::open(const std::string& identifier,
                                           const std::vector<std::string>& paths, NSError* error) {
    // Every path is checked before any store opens, so a missing later path
    // leaves nothing half-open.
    std::vector<FileIdentity> files;
    for (const auto& path : paths) {
        auto file = identityOfFile(path);
        if (!file) {
            *error = openError(kNoStoreError, "No map store at " + path, path);
            return nullptr;
        }
        files.push_back(*file);
    }
    auto data = CBGeoDataManager::create();
    for (const auto& path : paths) {
        NSError reason;
        if (!data || !data->addPersistentStoreCoordinatorWithPathForKeyAndCenter(path, std::nullopt,
                                                                                 false, &reason)) {
            if (data)
                data->releaseCoreDataStack();
            *error = openError(
                kStoreUnreadableError,
                "Cannot open the map store " + path + ": " + reason.localizedDescription(), path);
            return nullptr;
        }
    }
    CBMapStoreCities cities = CBMapStoreCities::citiesOfDataManager(*data);
    std::shared_ptr<CBOpenMap> map(new CBOpenMap());
    map->identifier_ = identifier;
    map->storePathes_ = paths;
    map->files_ = std::move(files);
    map->version_ = versionForStorePathes(paths);
    map->dataManager_ = std::move(data);
    map->cities_ = std::move(cities);
    map->diskCache_ = CBDiskTileCache::sharedCache();
    if (auto style = CBGeoStyleSheet::defaultStylePlistPath())
        map->styleSheet_ = CBGeoStyleSheet::sharedStyleSheetForPlistPathAtScale(
            *style, UIScreen::mainScreen()->scale());
    // Tiles cached from an earlier build of the same map are not its tiles.
    map->diskCache_->useVersionForStoreIdentifier(identifier, map->version_);
    return map;
}

bool CBOpenMap::opensFiles(const std::vector<std::string>& paths) const {
    if (paths.size() != files_.size())
        return false;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (identityOfFile(paths[i]) != files_[i])
            return false;
    }
    return true;
}

bool CBOpenMap::filesUnchanged() const {
    return opensFiles(storePathes_) && versionForStorePathes(storePathes_) == version_;
}

std::shared_ptr<CBOpenMap> CBOpenMap::openMapWithIdentifier(const std::string& identifier) {
    Table& shared = table();
    std::lock_guard lock(shared.mutex);
    auto found = shared.maps.find(identifier);
    auto map = found == shared.maps.end() ? nullptr : found->second.lock();
    return map && !map->isClosed() ? map : nullptr;
}

void CBOpenMap::invalidateStoreIdentifier(const std::string& identifier) {
    std::shared_ptr<CBOpenMap> map;
    {
        Table& shared = table();
        std::lock_guard lock(shared.mutex);
        auto found = shared.maps.find(identifier);
        if (found == shared.maps.end())
            return;
        map = found->second.lock();
        shared.maps.erase(found);
    }
    if (!map)
        return;
    map->close();
    postClosed(identifier);
}

long CBOpenMap::openCount() {
    Table& shared = table();
    std::lock_guard lock(shared.mutex);
    return shared.opens;
}

bool CBOpenMap::performWhileOpen(const std::function<void()>& work) {
    {
        std::lock_guard lock(workMutex_);
        if (closed_)
            return false;
        ++runningWork_;
    }
    work();
    {
        std::lock_guard lock(workMutex_);
        --runningWork_;
    }
    workEnded_.notify_all();
    return true;
}

void CBOpenMap::close() {
    {
        std::unique_lock lock(workMutex_);
        if (closed_.exchange(true))
            return;
        workEnded_.wait(lock, [this] { return runningWork_ == 0; });
    }
    if (dataManager_) {
        dataManager_->cancelSearch();
        dataManager_->releaseCoreDataStack();
    }
}

bool CBOpenMap::searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
    const std::string& text, bool includeAddresses, bool delayed,
    std::function<void(const std::vector<std::shared_ptr<CBGeoSearchResult>>&)> completion) {
    if (closed_)
        return false;
    return dataManager_->searchObjectsMatchingStringIncludeAddressesDelayedWithCompletionBlock(
        text, includeAddresses, delayed, std::move(completion));
}

void CBOpenMap::cancelSearchForObjectsMatchingString() {
    dataManager_->cancelSearch();
}

void CBOpenMap::searchForClosestObjectToWithCompletionBlock(
    CLLocationCoordinate2D coordinate,
    std::function<void(const std::shared_ptr<CBGeoObject>&)> completion) {
    if (!closed_)
        dataManager_->searchForClosestObjectToWithCompletionBlock(coordinate,
                                                                  std::move(completion));
    else if (completion)
        completion(nullptr);
}

void CBOpenMap::searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
    const std::shared_ptr<CBBoundingBox>& box, const std::shared_ptr<NSPredicate>& predicate,
    std::function<void(const std::vector<std::shared_ptr<CBGeoObject>>&)> completion) {
    if (!closed_)
        dataManager_->searchForObjectsInBBoxMatchingPredicateWithCompletionBlock(
            box, predicate, std::move(completion));
    else if (completion)
        completion({});
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>> CBOpenMap::tagsMatchingKeyAndAttribute(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute) {
    if (closed_)
        return std::nullopt;
    return dataManager_->tagsMatchingKeyAndAttribute(key, attribute);
}

std::optional<std::vector<std::shared_ptr<CBGeoTag>>>
CBOpenMap::tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
    const std::optional<std::string>& key, const std::optional<std::string>& attribute,
    const std::vector<std::string>& keyPaths) {
    if (closed_)
        return std::nullopt;
    return dataManager_->tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
        key, attribute, keyPaths);
}
