#include "CBGeoData/CBGeoDataManager.h"

#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSAssert.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "foundation/NSThread+uniqueIdentifier.h"

namespace {

// Tells the managers a thread took a context from that the thread ends. It
// lives in the thread's storage, so its destructor runs as the thread exits;
// it keeps the identifier itself because the thread's own objects may be
// gone by then.
class ThreadExitWatcher {
  public:
    void watch(const std::string& identifier, const std::shared_ptr<CBGeoDataManager>& manager) {
        identifier_ = identifier;
        for (const auto& known : managers_) {
            if (known.lock() == manager)
                return;
        }
        managers_.push_back(manager);
    }
    ~ThreadExitWatcher() {
        for (const auto& weak : managers_) {
            if (auto manager = weak.lock())
                manager->handleThreadWillExitNotification(identifier_);
        }
    }

  private:
    std::string identifier_;
    std::vector<std::weak_ptr<CBGeoDataManager>> managers_;
};

thread_local ThreadExitWatcher threadExitWatcher;

}  // namespace

struct CBGeoDataManager::DamagedStores {
    std::mutex mutex;
    std::set<std::string> told;

    // True only the first time a path is told.
    bool tell(const std::string& path) {
        std::lock_guard lock(mutex);
        return told.insert(path).second;
    }
    void forget(const std::string& path) {
        std::lock_guard lock(mutex);
        told.erase(path);
    }
};

CBGeoDataManager::CBGeoDataManager()
    : damagedStores_(std::make_shared<DamagedStores>()),
      quadKeysPredicate_(NSPredicate::predicateWithFormat("quadKey IN $quadKeys")) {}

std::shared_ptr<CBGeoDataManager> CBGeoDataManager::create() {
    NSAssert(
        NSValueTransformer::valueTransformerForName(
            CBCoordinatePathValueTransformer::defaultTransformerName()),
        "CBGeoData/CBGeoDataManager",
        "There is no value transformer set for CBCoordinatePathValueTransformer. Register it with "
        "CBCoordinatePathValueTransformer::registerTransformer() as the very first thing after "
        "launch, "
        "before any geo store is opened.");
    // Fetches from a geo store must yield the entity classes, never plain objects.
    CBGeoEntityRegistry::registerClasses();
    std::shared_ptr<CBGeoDataManager> manager(new CBGeoDataManager());
    std::weak_ptr<CBGeoDataManager> weakManager = manager;
    manager->memoryWarningObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIApplicationDidReceiveMemoryWarningNotification, nullptr, {},
        [weakManager](const NSNotification&) {
            if (auto strong = weakManager.lock())
                strong->handleDidReceiveMemoryWarningNotification();
        });
    return manager;
}

CBGeoDataManager::~CBGeoDataManager() {
    NSNotificationCenter::defaultCenter()->removeObserver(memoryWarningObserver_);
    std::lock_guard lock(contextMutex_);
    contextTable_.clear();
    std::lock_guard snapshotLock(snapshotMutex_);
    contextSnapshot_.reset();
}

std::shared_ptr<DispatchQueue> CBGeoDataManager::createSearchQueue() {
    return DispatchQueue::createSerial("CBGeoDataManagerSearch");
}

std::shared_ptr<NSManagedObjectModel> CBGeoDataManager::managedObjectModel() {
    if (!managedObjectModel_) {
        std::optional<std::string> path =
            NSBundle::mainBundle()->pathForResource(kModelResource, "");
        if (path)
            managedObjectModel_ = NSManagedObjectModel::modelWithContentsOfFile(*path);
    }
    return managedObjectModel_;
}

std::shared_ptr<NSPersistentStoreCoordinator> CBGeoDataManager::persistentStoreCoordinator() {
    std::lock_guard lock(storesMutex_);
    return persistentStoreCoordinator_;
}

std::shared_ptr<NSManagedObjectContext> CBGeoDataManager::managedObjectContext() {
    if (!managedObjectContext_ && persistentStoreCoordinator())
        return CBCoreDataManager::managedObjectContext();
    return managedObjectContext_;
}

void CBGeoDataManager::releaseCoreDataStack() {
    {
        std::lock_guard lock(storesMutex_);
        persistentStoresDictionary_.clear();
    }
    releaseCoreDataStackKeepingPersistentStoreCoordinator(true);
}

std::shared_ptr<NSPersistentStoreCoordinator>
CBGeoDataManager::addPersistentStoreCoordinatorWithPath(const std::string& path) {
    return addPersistentStoreCoordinatorWithPathForKeyAndCenter(path, std::nullopt, false);
}

std::shared_ptr<NSPersistentStoreCoordinator>
CBGeoDataManager::addPersistentStoreCoordinatorWithPathForKey(const std::string& path,
                                                              const std::optional<std::string>& key,
                                                              NSError* error) {
    return addPersistentStoreCoordinatorWithPathForKeyAndCenter(path, key, false, error);
}

std::shared_ptr<NSPersistentStoreCoordinator>
CBGeoDataManager::addPersistentStoreCoordinatorWithPathForKeyAndCenter(
    const std::string& path, const std::optional<std::string>& key, bool, NSError* failure) {
    std::shared_ptr<NSManagedObjectModel> model = managedObjectModel();
    NSAssert(model, "CBGeoData/CBGeoDataManager", "Managed object model is nil");
    // Drawing threads read the coordinator while the main thread sets it.
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator;
    {
        std::lock_guard lock(storesMutex_);
        if (!persistentStoreCoordinator_) {
            persistentStoreCoordinator_ = std::make_shared<NSPersistentStoreCoordinator>(model);
            // Reads fail on drawing threads and search queues alike; the
            // screens hear of it once, on the main queue.
            persistentStoreCoordinator_->setDamagedStoreHandler(
                [stores = damagedStores_, sender = static_cast<const void*>(this)](
                    const std::string& storePath, const NSError& damage) {
                    if (!stores->tell(storePath))
                        return;
                    const std::string reason = damage.localizedDescription();
                    NSLogWithLevel(NSLogLevel::Error,
                                   "CBGeoDataManager: the store %s is damaged: %s",
                                   storePath.c_str(), reason.c_str());
                    DispatchQueue::main()->async([sender, storePath, reason] {
                        NSNotificationCenter::defaultCenter()->postNotificationName(
                            CBGeoDataManagerStoreDamagedNotification, sender,
                            {{"path", Value(storePath)}, {"reason", Value(reason)}});
                    });
                });
        }
        coordinator = persistentStoreCoordinator_;
    }
    const std::string& bundlePath = NSBundle::mainBundle()->bundlePath();
    bool readOnly = !bundlePath.empty() && path.compare(0, bundlePath.size(), bundlePath) == 0;
    Value::Dictionary options{
        {NSSQLitePragmasOption, Value(Value::Dictionary{{"journal_mode", Value("DELETE")}})},
        {NSReadOnlyPersistentStoreOption, Value(readOnly)},
    };
    if (key && *key != "userdata") {
        options[NSMigratePersistentStoresAutomaticallyOption] = Value(true);
        options[NSInferMappingModelAutomaticallyOption] = Value(true);
    }
    if (path.empty())
        return coordinator;

    // The new store goes in first; the one it replaces leaves only once the
    // new one is open, so a failed update keeps the old data in place.
    NSError error;
    std::shared_ptr<NSPersistentStore> store =
        coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, options, &error);
    if (!store) {
        if (coordinator->persistentStores().empty()) {
            std::lock_guard lock(storesMutex_);
            if (persistentStoreCoordinator_ == coordinator)
                persistentStoreCoordinator_.reset();
        }
        if (failure)
            *failure = error;
        else
            NSLog("Unresolved error %s, %s", error.description().c_str(),
                  error.localizedDescription().c_str());
        return nullptr;
    }
    damagedStores_->forget(path);
    if (key) {
        std::shared_ptr<NSPersistentStore> replaced;
        {
            std::lock_guard lock(storesMutex_);
            auto& slot = persistentStoresDictionary_[*key];
            replaced = std::move(slot);
            slot = store;
        }
        if (replaced)
            coordinator->removePersistentStore(replaced, nullptr);
    }
    return coordinator;
}

std::map<std::string, std::shared_ptr<NSPersistentStore>>
CBGeoDataManager::persistentStoresDictionary() {
    std::lock_guard lock(storesMutex_);
    return persistentStoresDictionary_;
}

bool CBGeoDataManager::hasPersistentStoreForKey(const std::string& key) {
    std::lock_guard lock(storesMutex_);
    return persistentStoresDictionary_.count(key) != 0;
}

void CBGeoDataManager::restrictFetchRequestToMapStores(NSFetchRequest& request) {
    std::lock_guard lock(storesMutex_);
    auto guide = persistentStoresDictionary_.find(kTopTableStoreKey);
    if (guide == persistentStoresDictionary_.end() || !persistentStoreCoordinator_)
        return;
    request.affectedStores.clear();
    for (const auto& store : persistentStoreCoordinator_->persistentStores())
        if (store != guide->second)
            request.affectedStores.push_back(store);
}

void CBGeoDataManager::publishTable() {
    auto snapshot = std::make_shared<const ContextTable>(contextTable_);
    std::lock_guard lock(snapshotMutex_);
    contextSnapshot_ = std::move(snapshot);
}

std::shared_ptr<const CBGeoDataManager::ContextTable> CBGeoDataManager::managedObjectContextDict()
    const {
    std::lock_guard lock(snapshotMutex_);
    return contextSnapshot_;
}

std::shared_ptr<NSManagedObjectContext> CBGeoDataManager::lockedContextForCurrentThread() {
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator = persistentStoreCoordinator();
    if (!coordinator)
        return nullptr;
    const std::string identifier = uniqueIdentifier();
    // Marking the context in use and a memory warning's drop are decided
    // under one lock, so a warning never drops a context a thread is taking.
    std::lock_guard lock(contextMutex_);
    std::shared_ptr<ZELManagedObjectContextWrapper> wrapper;
    auto found = contextTable_.find(identifier);
    if (found != contextTable_.end()) {
        wrapper = found->second;
    } else {
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        wrapper = std::make_shared<ZELManagedObjectContextWrapper>(std::move(context));
        contextTable_[identifier] = wrapper;
        publishTable();
        threadExitWatcher.watch(identifier,
                                std::static_pointer_cast<CBGeoDataManager>(shared_from_this()));
    }
    wrapper->safeToReset = false;
    wrapper->scheduledReset = false;
    return wrapper->managedObjectContext;
}

void CBGeoDataManager::lockContextForCurrentThread() {
    const std::string identifier = uniqueIdentifier();
    std::lock_guard lock(contextMutex_);
    auto found = contextTable_.find(identifier);
    if (found != contextTable_.end())
        found->second->safeToReset = false;
}

void CBGeoDataManager::unlockContextForCurrentThread() {
    const std::string identifier = uniqueIdentifier();
    std::lock_guard lock(contextMutex_);
    auto found = contextTable_.find(identifier);
    if (found == contextTable_.end())
        return;
    found->second->safeToReset = true;
    if (found->second->scheduledReset) {
        contextTable_.erase(found);
        publishTable();
    }
}

CBGeoContextLease CBGeoDataManager::leaseContextForCurrentThread() {
    return CBGeoContextLease(std::static_pointer_cast<CBGeoDataManager>(shared_from_this()));
}

void CBGeoDataManager::handleThreadWillExitNotification(const std::string& threadIdentifier) {
    if (threadIdentifier.empty())
        return;
    std::lock_guard lock(contextMutex_);
    if (contextTable_.erase(threadIdentifier))
        publishTable();
}

void CBGeoDataManager::handleDidReceiveMemoryWarningNotification() {
    std::lock_guard lock(contextMutex_);
    bool changed = false;
    for (auto it = contextTable_.begin(); it != contextTable_.end();) {
        if (it->second->safeToReset) {
            it = contextTable_.erase(it);
            changed = true;
        } else {
            it->second->scheduledReset = true;
            ++it;
        }
    }
    if (changed)
        publishTable();
}

std::string CBGeoDataManager::applicationSupportDirectory() {
    std::string library = NSSearchPathForDirectory(NSSearchPathDirectory::Library);
    std::string base = library.empty() ? std::filesystem::temp_directory_path().string()
                                       : library + "/Application Support";
    return base + "/quillmereData";
}
