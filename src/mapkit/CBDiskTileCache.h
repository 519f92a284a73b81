#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBCoreDataManager.h"
#include "CoreData/NSManagedObjectID.h"
#include "CoreGraphics/CGImage.h"
#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSTimer.h"
#include "mapkit/CBDiskCacheMapStore.h"
#include "mapkit/CBDiskCacheMapTile.h"
#include "mapkit/CBDiskCacheStyle.h"

class UIAlertView;

// Rendered map tiles on disk: <mainCacheDirectory>/<style id>/<store id>/<quad
// key>, JPEG (quality 0.9) or PNG for transparent tiles, without extension.
// An index in SQLite ("Quillmere.bundle/CBDiskTileCache") records every
// cached tile with the time it was last used; reads and writes are recorded
// in memory and flushed into the index by saveChangesIfNeeded (every 30 s on
// the main run loop, see scheduledSaveTimerForCache).
//
// Threads: index work runs on the serial queue
// "com.zoruzuvu.disktilecache.dboperation", file writes and removals on
// "com.zoruzuvu.disktilecache.diskoperation"; tiles are read on the caller's
// thread. A tile file is written under a temporary name and renamed into
// place, so a reader sees the old file or the new one, never part of one.
//
// Ids and quad keys are single path components: an empty one, ".", ".." or one
// holding "/" is refused (nothing is read, written or removed).
class CBDiskTileCache : public CBCoreDataManager {
  public:
    static constexpr double kSaveInterval = 30.0;
    static constexpr double kJPEGQuality = 0.9;

    // Shared by every cache; set once at launch. Empty values are ignored.
    static std::string mainCacheDirectory();  // default <Caches>/mapTiles
    static void setMainCacheDirectory(const std::string& path);
    static std::string sqliteFilePath();  // default <Caches>/CBDiskCache.sqlite
    static void setSqliteFilePath(const std::string& path);

    CBDiskTileCache();
    ~CBDiskTileCache() override;

    // The process's cache over the current directory and index, one object
    // while anyone holds it: every renderer and open map records into the
    // same index instead of opening it again. Any thread.
    static std::shared_ptr<CBDiskTileCache> sharedCache();

    // A repeating timer on the main run loop that flushes the cache's index;
    // it holds the cache until invalidated.
    static std::shared_ptr<NSTimer> scheduledSaveTimerForCache(
        const std::shared_ptr<CBDiskTileCache>& cache, double interval = kSaveInterval);

    bool transparentTileImages() const { return transparentTileImages_; }
    void setTransparentTileImages(bool transparent) { transparentTileImages_ = transparent; }
    // Highest zoom level whose tiles are cached: 17 on a tablet, else 16.
    int lastCachedZoomlevel() const { return lastCachedZoomlevel_; }
    void setLastCachedZoomlevel(int zoom) { lastCachedZoomlevel_ = zoom; }
    float expirationLimitDays() const { return expirationLimitDays_; }
    void setExpirationLimitDays(float days) { expirationLimitDays_ = days; }

    // Any thread.
    bool cachedTileAvailableForQuadkeyInStoreIdWithStyleId(const std::string& quadKey,
                                                           const std::string& storeId,
                                                           const std::string& styleId) const;
    // The decoded tile, or nullptr when its file is missing or cannot be
    // decoded (a miss either way); a hit is recorded for the next flush.
    CGImageRef newTileImageForQuadKeyStringInStoreIdWithStyleId(const std::string& quadKey,
                                                                const std::string& storeId,
                                                                const std::string& styleId);
    // Queues the write of the tile and records it for the next flush.
    void addTileImageForQuadKeyStringInStoreIdWithStyleId(CGImageRef image,
                                                          const std::string& quadKey,
                                                          const std::string& storeId,
                                                          const std::string& styleId);
    // Flushes the recorded reads and writes into the index (asynchronously,
    // on the index queue).
    void saveChangesIfNeeded();

    // Index queue only (nullptr / nullopt elsewhere).
    std::shared_ptr<CBDiskCacheStyle> styleForStyleID(const std::string& styleId);
    std::shared_ptr<CBDiskCacheMapStore> mapStoreForId(const std::string& storeId);
    std::optional<std::vector<std::shared_ptr<CBDiskCacheMapTile>>>
    fetchTileForQuadKeysInStoreIdWithStyleId(const std::vector<std::string>& quadKeys,
                                             const std::string& storeId,
                                             const std::string& styleId);

    std::string filePathForStyleId(const std::string& styleId) const;
    std::string filePathForStyleIdAndStoreId(const std::string& styleId,
                                             const std::string& storeId) const;
    std::string filePathForQuadKeyStringForStyleIdInStoreId(const std::string& quadKey,
                                                            const std::string& styleId,
                                                            const std::string& storeId) const;

    // The tiles of a store are drawn from one version of its map (the
    // identity of its store files): when they were drawn from another one,
    // or from an unknown one, they are removed first. Answers whether they
    // were. Not from the cache's own queues.
    bool useVersionForStoreIdentifier(const std::string& storeId, const std::string& version);

    // Tiles are not removed for their age.
    void deleteExpiredTiles() {}
    // Removes the store's tiles under every style and its index rows (saved
    // with the next flush); returns at once.
    void clearCacheForStoreIdentifier(const std::string& storeId);
    // The same, waiting for both steps; not from the cache's own queues.
    void clearCacheForStoreIdentifierSync(const std::string& storeId);
    // Removes every tile and the index; the block (optional) then runs on the
    // main queue. Returns at once.
    void removeAllTilesWithCompletionBlock(std::function<void()> completion);
    // Main thread: shows the progress alert (unless it is showing), removes
    // every tile, then dismisses it and shows the completion alert. Either may
    // be null.
    void removeAllTilesWithProgressAlertViewAndCompletionAlertView(
        const std::shared_ptr<UIAlertView>& progressAlert,
        const std::shared_ptr<UIAlertView>& completionAlert);
    // Main thread: the same with the cache's own "clearing" and "cleared"
    // alerts, or with none.
    void removeAllTilesWithAlert(bool showAlerts);

    // Reads and writes recorded and not yet flushed (diagnostics); not from
    // the index queue.
    size_t pendingRecordCount();

    // Waits until the work queued so far on both queues has run; not from
    // the cache's own queues.
    void waitUntilIdle();
    const std::shared_ptr<DispatchQueue>& dbQueue() const { return dbQueue_; }
    const std::shared_ptr<DispatchQueue>& diskQueue() const { return diskQueue_; }

    // Index queue.
    std::shared_ptr<NSManagedObjectModel> managedObjectModel() override;
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator() override;
    void releaseCoreDataStack() override;

  private:
    // style id -> store id -> quad keys
    using QuadKeyRecord = std::map<std::string, std::map<std::string, std::vector<std::string>>>;

    std::shared_ptr<CBDiskTileCache> self();
    bool onIndexQueue() const;
    void record(QuadKeyRecord CBDiskTileCache::*record, const std::string& quadKey,
                const std::string& storeId, const std::string& styleId);
    // Writes the tile into the folder of its style and store.
    void writeTile(const CGImageRef& image, bool png, const std::string& quadKey,
                   const std::string& folder) const;
    void flush();
    void forgetStore(const std::string& storeId);
    void removeStoreFolders(const std::string& storeId) const;
    void removeIndexFiles();
    bool addIndexStore(NSPersistentStoreCoordinator& coordinator, NSError* error) const;

    QuadKeyRecord accessedQuadKeys_;                       // index queue
    QuadKeyRecord createdQuadKeys_;                        // index queue
    std::map<std::string, NSManagedObjectID> stylesDict_;  // index queue
    std::shared_ptr<DispatchQueue> dbQueue_;
    std::shared_ptr<DispatchQueue> diskQueue_;
    std::atomic<bool> transparentTileImages_ = false;
    std::atomic<int> lastCachedZoomlevel_;
    std::atomic<float> expirationLimitDays_ = 7.0f;
};
