#include "mapkit/CBDiskTileCache.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSLog.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIDevice.h"

namespace {

// A tile file larger than this is not a tile: reading it would only waste memory.
constexpr uintmax_t kMaximumTileFileSize = 64u << 20;
// Under the main cache directory: one file per store naming the version of
// the map its tiles were drawn from.
constexpr const char* kVersionsFolder = ".versions";

std::mutex& settingsMutex() {
    static std::mutex mutex;
    return mutex;
}
std::string& mainCacheDirectorySetting() {
    static std::string path;
    return path;
}
std::string& sqliteFilePathSetting() {
    static std::string path;
    return path;
}

bool isSafeComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

void registerIndexClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        NSManagedObject::registerClass("CBDiskCacheMapTile",
                                       [] { return std::make_shared<CBDiskCacheMapTile>(); });
        NSManagedObject::registerClass("CBDiskCacheMapStore",
                                       [] { return std::make_shared<CBDiskCacheMapStore>(); });
        NSManagedObject::registerClass("CBDiskCacheStyle",
                                       [] { return std::make_shared<CBDiskCacheStyle>(); });
    });
}

std::optional<std::vector<uint8_t>> readTileFile(const std::string& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    if (size > kMaximumTileFileSize) {
        NSLogWithLevel(NSLogLevel::Warning, "CBDiskTileCache: %s is too large for a tile",
                       path.c_str());
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// Writes the bytes to a new temporary file beside path and renames it over
// path: readers of path never see a partly written file.
bool replaceFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path target(path);
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return false;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += size_t(n);
    }
    const bool complete = ::close(fd) == 0 && written == bytes.size();
    if (!complete || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string CBDiskTileCache::mainCacheDirectory() {
    std::lock_guard lock(settingsMutex());
    if (mainCacheDirectorySetting().empty())
        return applicationCachesDirectory() + "/mapTiles";
    return mainCacheDirectorySetting();
}

void CBDiskTileCache::setMainCacheDirectory(const std::string& path) {
    if (path.empty())
        return;
    std::lock_guard lock(settingsMutex());
    mainCacheDirectorySetting() = path;
}

std::string CBDiskTileCache::sqliteFilePath() {
    std::lock_guard lock(settingsMutex());
    if (sqliteFilePathSetting().empty())
        return applicationCachesDirectory() + "/CBDiskCache.sqlite";
    return sqliteFilePathSetting();
}

void CBDiskTileCache::setSqliteFilePath(const std::string& path) {
    if (path.empty())
        return;
    std::lock_guard lock(settingsMutex());
    sqliteFilePathSetting() = path;
}

CBDiskTileCache::CBDiskTileCache()
    : dbQueue_(DispatchQueue::createSerial("com.zoruzuvu.disktilecache.dboperation")),
      diskQueue_(DispatchQueue::createSerial("com.zoruzuvu.disktilecache.diskoperation")),
      lastCachedZoomlevel_(UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad ? 17 : 16) {
    registerIndexClasses();
}

// Queued blocks hold the cache, so by now both queues have nothing of it
// left to run; the context is dropped here, on whichever thread ends the cache.
CBDiskTileCache::~CBDiskTileCache() = default;

std::shared_ptr<CBDiskTileCache> CBDiskTileCache::self() {
    return std::static_pointer_cast<CBDiskTileCache>(shared_from_this());
}

bool CBDiskTileCache::onIndexQueue() const {
    return dbQueue_->isCurrent();
}

std::shared_ptr<CBDiskTileCache> CBDiskTileCache::sharedCache() {
    static std::mutex mutex;
    static std::weak_ptr<CBDiskTileCache> shared;
    static std::string sharedLocation;
    // A cache made before the directory or index moved is not this one.
    const std::string location = mainCacheDirectory() + "\n" + sqliteFilePath();
    std::lock_guard lock(mutex);
    auto cache = shared.lock();
    if (!cache || sharedLocation != location) {
        cache = std::make_shared<CBDiskTileCache>();
        shared = cache;
        sharedLocation = location;
    }
    return cache;
}

std::shared_ptr<NSTimer> CBDiskTileCache::scheduledSaveTimerForCache(
    const std::shared_ptr<CBDiskTileCache>& cache, double interval) {
    return NSTimer::scheduledTimerWithTimeInterval(
        interval, true, [cache](NSTimer&) { cache->saveChangesIfNeeded(); });
}

std::string CBDiskTileCache::filePathForStyleId(const std::string& styleId) const {
    return mainCacheDirectory() + "/" + styleId;
}

std::string CBDiskTileCache::filePathForStyleIdAndStoreId(const std::string& styleId,
                                                          const std::string& storeId) const {
    return filePathForStyleId(styleId) + "/" + storeId;
}

std::string CBDiskTileCache::filePathForQuadKeyStringForStyleIdInStoreId(
    const std::string& quadKey, const std::string& styleId, const std::string& storeId) const {
    return filePathForStyleIdAndStoreId(styleId, storeId) + "/" + quadKey;
}

bool CBDiskTileCache::cachedTileAvailableForQuadkeyInStoreIdWithStyleId(
    const std::string& quadKey, const std::string& storeId, const std::string& styleId) const {
    if (!isSafeComponent(quadKey) || !isSafeComponent(storeId) || !isSafeComponent(styleId))
        return false;
    std::error_code ignored;
    return std::filesystem::is_regular_file(
        filePathForQuadKeyStringForStyleIdInStoreId(quadKey, styleId, storeId), ignored);
}

CGImageRef CBDiskTileCache::newTileImageForQuadKeyStringInStoreIdWithStyleId(
    const std::string& quadKey, const std::string& storeId, const std::string& styleId) {
    if (!isSafeComponent(quadKey) || !isSafeComponent(storeId) || !isSafeComponent(styleId))
        return nullptr;
    const std::string path = filePathForQuadKeyStringForStyleIdInStoreId(quadKey, styleId, storeId);
    std::optional<std::vector<uint8_t>> bytes = readTileFile(path);
    if (!bytes)
        return nullptr;
    CGImageRef image = CGImageSource(std::move(*bytes)).createImageAtIndex(0);
    if (!image) {
        NSLogWithLevel(NSLogLevel::Warning, "CBDiskTileCache: %s cannot be decoded; drawn afresh",
                       path.c_str());
        return nullptr;
    }
    record(&CBDiskTileCache::accessedQuadKeys_, quadKey, storeId, styleId);
    return image;
}

void CBDiskTileCache::addTileImageForQuadKeyStringInStoreIdWithStyleId(CGImageRef image,
                                                                       const std::string& quadKey,
                                                                       const std::string& storeId,
                                                                       const std::string& styleId) {
    if (!image || !isSafeComponent(quadKey) || !isSafeComponent(storeId) ||
        !isSafeComponent(styleId))
        return;
    const bool png = transparentTileImages_;
    // The folder of the cache as it is now: a tile drawn for one home never
    // lands in another set meanwhile.
    auto cache = self();
    diskQueue_->async(
        [cache, image, png, quadKey, folder = filePathForStyleIdAndStoreId(styleId, storeId)] {
            cache->writeTile(image, png, quadKey, folder);
        });
    record(&CBDiskTileCache::createdQuadKeys_, quadKey, storeId, styleId);
}

void CBDiskTileCache::record(QuadKeyRecord CBDiskTileCache::*record, const std::string& quadKey,
                             const std::string& storeId, const std::string& styleId) {
    auto cache = self();
    dbQueue_->async([cache, record, quadKey, storeId, styleId] {
        ((*cache).*record)[styleId][storeId].push_back(quadKey);
    });
}

void CBDiskTileCache::writeTile(const CGImageRef& image, bool png, const std::string& quadKey,
                                const std::string& folder) const {
    NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectories(folder, true);
    std::vector<uint8_t> encoded;
    auto destination = CGImageDestination::createWithData(&encoded, png ? kUTTypePNG : kUTTypeJPEG);
    if (!destination)
        return;
    CGImageDestinationProperties properties;
    if (!png)
        properties.lossyCompressionQuality = kJPEGQuality;
    destination->addImage(image, properties);
    if (!destination->finalize())
        return;
    if (!replaceFileAtomically(folder + "/" + quadKey, encoded))
        NSLogWithLevel(NSLogLevel::Warning, "CBDiskTileCache: cannot write tile %s/%s",
                       folder.c_str(), quadKey.c_str());
}

void CBDiskTileCache::saveChangesIfNeeded() {
    auto cache = self();
    dbQueue_->async([cache] { cache->flush(); });
}

// Reads: every recorded tile with an index row gets lastAccess = now; records
// of tiles without a row are dropped (their write is recorded on its own).
// Writes: a tile gets one row however often it was written; a rewritten
// tile's row is only touched.
void CBDiskTileCache::flush() {
    const NSDate now = NSDate::date();
    QuadKeyRecord accessed;
    accessed.swap(accessedQuadKeys_);
    for (const auto& [styleId, stores] : accessed) {
        for (const auto& [storeId, quadKeys] : stores) {
            const std::set<std::string> unique(quadKeys.begin(), quadKeys.end());
            auto tiles = fetchTileForQuadKeysInStoreIdWithStyleId({unique.begin(), unique.end()},
                                                                  storeId, styleId);
            for (const auto& tile :
                 tiles.value_or(std::vector<std::shared_ptr<CBDiskCacheMapTile>>{}))
                tile->setLastAccess(now);
        }
    }

    QuadKeyRecord created;
    created.swap(createdQuadKeys_);
    for (const auto& [styleId, stores] : created) {
        std::shared_ptr<CBDiskCacheStyle> style = styleForStyleID(styleId);
        if (!style)
            continue;
        for (const auto& [storeId, quadKeys] : stores) {
            std::set<std::string> missing(quadKeys.begin(), quadKeys.end());
            auto existing = fetchTileForQuadKeysInStoreIdWithStyleId(
                {missing.begin(), missing.end()}, storeId, styleId);
            for (const auto& tile :
                 existing.value_or(std::vector<std::shared_ptr<CBDiskCacheMapTile>>{})) {
                tile->setLastAccess(now);
                if (auto quadKey = tile->quadKey())
                    missing.erase(*quadKey);
            }
            std::shared_ptr<CBDiskCacheMapStore> store = mapStoreForId(storeId);
            auto context = managedObjectContext();
            if (!store || !context)
                continue;
            for (const std::string& quadKey : missing) {
                auto tile = CBDiskCacheMapTile::cacheMapTileWithoutDateInContext(*context);
                if (!tile)
                    break;
                tile->setQuadKey(quadKey);
                tile->setStyle(style);
                tile->setMapstore(store);
                tile->setLastAccess(now);
            }
        }
    }
    saveChanges();
    if (managedObjectContext_)
        managedObjectContext_->reset();
}

std::shared_ptr<CBDiskCacheStyle> CBDiskTileCache::styleForStyleID(const std::string& styleId) {
    if (styleId.empty() || !onIndexQueue())
        return nullptr;
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator())
        return nullptr;
    if (auto known = stylesDict_.find(styleId); known != stylesDict_.end()) {
        if (auto style = std::dynamic_pointer_cast<CBDiskCacheStyle>(
                context->existingObjectWithID(known->second)))
            return style;
    }
    NSFetchRequest request("style");
    request.predicate = NSPredicate::predicateWithFormat("styleId = %@", {styleId});
    request.fetchLimit = 1;
    NSError error;
    auto found = context->executeFetchRequest(request, &error);
    std::shared_ptr<CBDiskCacheStyle> style;
    if (found && found->size() == 1)
        style = std::dynamic_pointer_cast<CBDiskCacheStyle>(found->front());
    if (!style) {
        style = CBDiskCacheStyle::cacheStyleInContext(*context);
        if (!style)
            return nullptr;
        style->setStyleId(styleId);
        saveChanges();
    }
    if (isSafeComponent(styleId)) {
        const std::string folder = filePathForStyleId(styleId);
        diskQueue_->async([folder] {
            NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectories(
                folder, true);
        });
    }
    stylesDict_[styleId] = style->objectID();
    return style;
}

std::shared_ptr<CBDiskCacheMapStore> CBDiskTileCache::mapStoreForId(const std::string& storeId) {
    if (storeId.empty() || !onIndexQueue())
        return nullptr;
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator())
        return nullptr;
    NSFetchRequest request("mapstore");
    request.predicate = NSPredicate::predicateWithFormat("storeId = %@", {storeId});
    request.fetchLimit = 1;
    auto found = context->executeFetchRequest(request);
    if (found && !found->empty())
        return std::dynamic_pointer_cast<CBDiskCacheMapStore>(found->front());
    auto store = CBDiskCacheMapStore::cacheMapStoreInContext(*context);
    if (store)
        store->setStoreId(storeId);
    return store;
}

std::optional<std::vector<std::shared_ptr<CBDiskCacheMapTile>>>
CBDiskTileCache::fetchTileForQuadKeysInStoreIdWithStyleId(const std::vector<std::string>& quadKeys,
                                                          const std::string& storeId,
                                                          const std::string& styleId) {
    if (quadKeys.empty() || storeId.empty() || !onIndexQueue())
        return std::nullopt;
    std::shared_ptr<CBDiskCacheStyle> style = styleForStyleID(styleId);
    std::shared_ptr<CBDiskCacheMapStore> store = mapStoreForId(storeId);
    auto context = managedObjectContext();
    if (!style || !store || !context)
        return std::nullopt;
    std::vector<NSPredicateArgument> keys(quadKeys.begin(), quadKeys.end());
    NSFetchRequest request("maptile");
    request.predicate = NSPredicate::predicateWithFormat(
        "quadKey IN %@ AND style = %@ AND mapstore = %@",
        {NSPredicateArgument(keys), NSPredicateArgument(std::shared_ptr<NSManagedObject>(style)),
         NSPredicateArgument(std::shared_ptr<NSManagedObject>(store))});
    request.fetchLimit = quadKeys.size();
    NSError error;
    auto found = context->executeFetchRequest(request, &error);
    if (!found || found->empty())
        return std::nullopt;
    std::vector<std::shared_ptr<CBDiskCacheMapTile>> tiles;
    for (const auto& object : *found) {
        if (auto tile = std::dynamic_pointer_cast<CBDiskCacheMapTile>(object))
            tiles.push_back(tile);
    }
    return tiles;
}

void CBDiskTileCache::forgetStore(const std::string& storeId) {
    for (QuadKeyRecord* record : {&accessedQuadKeys_, &createdQuadKeys_}) {
        for (auto& [styleId, stores] : *record)
            stores.erase(storeId);
    }
    auto context = managedObjectContext();
    if (!context || !context->persistentStoreCoordinator())
        return;
    NSFetchRequest request("mapstore");
    request.predicate = NSPredicate::predicateWithFormat("storeId = %@", {storeId});
    for (const auto& store : context->executeFetchRequest(request).value_or(
             std::vector<std::shared_ptr<NSManagedObject>>{}))
        context->deleteObject(store);
}

void CBDiskTileCache::removeStoreFolders(const std::string& storeId) const {
    const std::string root = mainCacheDirectory();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(root, ignored)) {
        if (entry.is_directory(ignored))
            std::filesystem::remove_all(entry.path() / storeId, ignored);
    }
}

void CBDiskTileCache::clearCacheForStoreIdentifier(const std::string& storeId) {
    if (!isSafeComponent(storeId))
        return;
    auto cache = self();
    dbQueue_->async([cache, storeId] { cache->forgetStore(storeId); });
    diskQueue_->async([cache, storeId] { cache->removeStoreFolders(storeId); });
}

void CBDiskTileCache::clearCacheForStoreIdentifierSync(const std::string& storeId) {
    if (!isSafeComponent(storeId))
        return;
    if (dbQueue_->isCurrent() || diskQueue_->isCurrent()) {
        NSLogWithLevel(NSLogLevel::Error,
                       "CBDiskTileCache: clearCacheForStoreIdentifierSync from its own queue");
        return;
    }
    dbQueue_->sync([this, &storeId] { forgetStore(storeId); });
    diskQueue_->sync([this, &storeId] { removeStoreFolders(storeId); });
}

bool CBDiskTileCache::useVersionForStoreIdentifier(const std::string& storeId,
                                                   const std::string& version) {
    if (!isSafeComponent(storeId) || version.empty())
        return false;
    // Beside the style folders, so that clearing the store removes it too.
    const std::filesystem::path file =
        std::filesystem::path(mainCacheDirectory()) / kVersionsFolder / storeId;
    std::string cached;
    if (std::ifstream in{file, std::ios::binary})
        std::getline(in, cached);
    if (cached == version)
        return false;
    clearCacheForStoreIdentifierSync(storeId);
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    const std::filesystem::path written = file.string() + ".new";
    std::ofstream(written, std::ios::binary | std::ios::trunc) << version << "\n";
    std::filesystem::rename(written, file, error);
    if (error)
        NSLogWithLevel(NSLogLevel::Error, "CBDiskTileCache: cannot record the version of %s: %s",
                       storeId.c_str(), error.message().c_str());
    return true;
}

void CBDiskTileCache::removeIndexFiles() {
    const std::string path = sqliteFilePath();
    std::error_code ignored;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::filesystem::remove(path + suffix, ignored);
}

void CBDiskTileCache::removeAllTilesWithCompletionBlock(std::function<void()> completion) {
    auto cache = self();
    diskQueue_->async([cache, completion = std::move(completion)] {
        cache->dbQueue_->sync([&cache] {
            cache->releaseCoreDataStack();
            cache->removeIndexFiles();
            cache->accessedQuadKeys_.clear();
            cache->createdQuadKeys_.clear();
        });
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(mainCacheDirectory(), ignored))
            std::filesystem::remove_all(entry.path(), ignored);
        // Asynchronously: a main thread waiting on the file queue must not deadlock.
        if (completion)
            DispatchQueue::main()->async(completion);
    });
}

size_t CBDiskTileCache::pendingRecordCount() {
    if (onIndexQueue())
        return 0;
    size_t count = 0;
    dbQueue_->sync([this, &count] {
        for (const QuadKeyRecord* record : {&accessedQuadKeys_, &createdQuadKeys_}) {
            for (const auto& [styleId, stores] : *record) {
                for (const auto& [storeId, quadKeys] : stores)
                    count += quadKeys.size();
            }
        }
    });
    return count;
}

void CBDiskTileCache::waitUntilIdle() {
    if (dbQueue_->isCurrent() || diskQueue_->isCurrent())
        return;
    // Index work may queue file work (style folders) and the other way round.
    for (int round = 0; round < 2; ++round) {
        diskQueue_->sync([] {});
        dbQueue_->sync([] {});
    }
}

std::shared_ptr<NSManagedObjectModel> CBDiskTileCache::managedObjectModel() {
    if (!managedObjectModel_) {
        std::optional<std::string> path =
            NSBundle::mainBundle()->pathForResource("CBDiskTileCache", "model", "Quillmere.bundle");
        if (path)
            managedObjectModel_ = NSManagedObjectModel::modelWithContentsOfFile(*path);
        if (!managedObjectModel_)
            NSLogWithLevel(NSLogLevel::Error,
                           "CBDiskTileCache: no model Quillmere.bundle/CBDiskTileCache.model; "
                           "the tile index is off");
    }
    return managedObjectModel_;
}

bool CBDiskTileCache::addIndexStore(NSPersistentStoreCoordinator& coordinator,
                                    NSError* error) const {
    return coordinator.addPersistentStoreWithType(NSSQLiteStoreType, "", sqliteFilePath(), {},
                                                  error) != nullptr;
}

// An index that cannot be opened (damaged, or of an older model) is only a
// cache: it is deleted and made afresh, so the cache keeps its index.
std::shared_ptr<NSPersistentStoreCoordinator> CBDiskTileCache::persistentStoreCoordinator() {
    if (persistentStoreCoordinator_)
        return persistentStoreCoordinator_;
    std::shared_ptr<NSManagedObjectModel> model = managedObjectModel();
    if (!model)
        return nullptr;
    persistentStoreCoordinator_ = std::make_shared<NSPersistentStoreCoordinator>(model);
    const std::string path = sqliteFilePath();
    NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectories(
        std::filesystem::path(path).parent_path().string(), true);
    NSError error;
    if (addIndexStore(*persistentStoreCoordinator_, &error))
        return persistentStoreCoordinator_;
    NSLog("unresolved error: %s, %s", error.description().c_str(),
          error.localizedDescription().c_str());
    if (error.code == NSError::NSFileReadCorruptFileError ||
        error.code == CoreDataErrors::NSPersistentStoreIncompatibleSchemaError ||
        error.code == CoreDataErrors::NSPersistentStoreIncompatibleVersionHashError) {
        removeIndexFiles();
        if (!addIndexStore(*persistentStoreCoordinator_, &error))
            NSLog("unresolved error: %s, %s", error.description().c_str(),
                  error.localizedDescription().c_str());
    }
    return persistentStoreCoordinator_;
}

void CBDiskTileCache::releaseCoreDataStack() {
    stylesDict_.clear();
    managedObjectContext_.reset();
    managedObjectModel_.reset();
    persistentStoreCoordinator_.reset();
}
