#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "CBGeoData/CBCoreDataManager.h"
#include "CBGeoData/ZELManagedObjectContextWrapper.h"
#include "Foundation/NSNotificationCenter.h"

// The geo databases of the map now shown, side by side on one coordinator,
// and one managed object context per thread for the tile drawing threads.
class CBGeoDataManager : public CBCoreDataManager {
  public:
    using ContextTable = std::map<std::string, std::shared_ptr<ZELManagedObjectContextWrapper>>;

    // The posted name of the application's memory warning.
    static constexpr const char* UIApplicationDidReceiveMemoryWarningNotification =
        "UIApplicationDidReceiveMemoryWarningNotification";
    // The model resource inside the main bundle.
    static constexpr const char* kModelResource = "Quillmere.bundle/CBGeoObject.model";

    // Asserts that the coordinate-path transformer is registered.
    static std::shared_ptr<CBGeoDataManager> create();
    ~CBGeoDataManager() override;

    std::shared_ptr<NSManagedObjectModel> managedObjectModel() override;
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator() override;
    std::shared_ptr<NSManagedObjectContext> managedObjectContext() override;
    void releaseCoreDataStack() override;

    // Adds the SQLite store at path (under key, replacing what was there);
    // answers the coordinator, or nullptr when the store cannot be opened.
    // A path inside the application bundle opens read-only.
    std::shared_ptr<NSPersistentStoreCoordinator> addPersistentStoreCoordinatorWithPath(
        const std::string& path);
    std::shared_ptr<NSPersistentStoreCoordinator> addPersistentStoreCoordinatorWithPathForKey(
        const std::string& path, const std::optional<std::string>& key);
    std::shared_ptr<NSPersistentStoreCoordinator>
    addPersistentStoreCoordinatorWithPathForKeyAndCenter(const std::string& path,
                                                         const std::optional<std::string>& key,
                                                         bool center);

    std::map<std::string, std::shared_ptr<NSPersistentStore>> persistentStoresDictionary();
    bool hasPersistentStoreForKey(const std::string& key);

    // The calling thread's context, made if needed and marked in use; nullptr
    // while no store was ever added. The caller holds it until it unlocks.
    std::shared_ptr<NSManagedObjectContext> lockedContextForCurrentThread();
    void lockContextForCurrentThread();
    void unlockContextForCurrentThread();
    void handleThreadWillExitNotification(const std::string& threadIdentifier);
    void handleDidReceiveMemoryWarningNotification();
    // The current table of per-thread contexts: an immutable snapshot,
    // replaced as a whole after each change; nullptr before the first context.
    std::shared_ptr<const ContextTable> managedObjectContextDict() const;

    const std::shared_ptr<NSPredicate>& quadKeysPredicate() const { return quadKeysPredicate_; }

    // <Library>/Application Support/quillmereData
    static std::string applicationSupportDirectory();

  protected:
    CBGeoDataManager();
    std::shared_ptr<DispatchQueue> createSearchQueue() override;

  private:
    void publishTable();  // under contextMutex_

    std::mutex storesMutex_;  // guards the dictionary and the coordinator pointer
    std::map<std::string, std::shared_ptr<NSPersistentStore>> persistentStoresDictionary_;
    std::mutex contextMutex_;
    ContextTable contextTable_;         // the master, under contextMutex_
    mutable std::mutex snapshotMutex_;  // held only to copy or swap the pointer below
    std::shared_ptr<const ContextTable> contextSnapshot_;
    std::shared_ptr<NSPredicate> quadKeysPredicate_;
    std::shared_ptr<NSNotificationObserver> memoryWarningObserver_;
};
