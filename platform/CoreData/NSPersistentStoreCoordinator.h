#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectID.h"
#include "CoreData/NSPersistentStore.h"
#include "Foundation/NSError.h"
#include "Foundation/Value.h"

class NSManagedObjectModel;
class SQLiteConnection;

// The stores of one model, side by side: a fetch sees every store that holds
// its entity. Stores may be added and removed from any thread.
class NSPersistentStoreCoordinator {
  public:
    explicit NSPersistentStoreCoordinator(std::shared_ptr<NSManagedObjectModel> model);

    const std::shared_ptr<NSManagedObjectModel>& managedObjectModel() const { return model_; }

    // Opens (or creates) an SQLite store of this model. A file that is not
    // SQLite, or a store of another model, fails with *error and leaves the
    // file untouched; a read-only store is never written.
    std::shared_ptr<NSPersistentStore> addPersistentStoreWithType(const std::string& type,
                                                                  const std::string& configuration,
                                                                  const std::string& path,
                                                                  const Value::Dictionary& options,
                                                                  NSError* error);
    bool removePersistentStore(const std::shared_ptr<NSPersistentStore>& store, NSError* error);
    // The metadata of the store file at path (its identifier and version
    // hashes), read through a read-only connection without a log line:
    // nullopt, with *error, for a missing file, a file that is not SQLite and
    // an SQLite file without store metadata.
    static std::optional<Value::Dictionary> metadataForPersistentStoreOfTypeURL(
        const std::string& type, const std::string& path, NSError* error);
    std::vector<std::shared_ptr<NSPersistentStore>> persistentStores() const;

    // The ID that a URI from NSManagedObjectID::URIRepresentation() names, if
    // its store is attached and its entity known; a null ID otherwise.
    NSManagedObjectID managedObjectIDForURIRepresentation(const std::string& uri) const;

    // A new connection to the store for one context.
    std::unique_ptr<SQLiteConnection> openConnection(const NSPersistentStore& store,
                                                     NSError* error) const;

    // Told, on the thread whose read or write failed, when a store's file
    // turns out damaged (its connection does not open, or a statement finds
    // the file corrupt or no database); the receiver judges what follows.
    using DamagedStoreHandler =
        std::function<void(const std::string& storePath, const NSError& error)>;
    void setDamagedStoreHandler(DamagedStoreHandler handler);

  private:
    bool checkExistingStore(SQLiteConnection& connection, NSPersistentStore& store, bool* isEmpty,
                            NSError* error) const;
    bool createSchema(SQLiteConnection& connection, NSPersistentStore& store, NSError* error) const;

    std::shared_ptr<NSManagedObjectModel> model_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<NSPersistentStore>> stores_;
    // Shared with the connections, which may outlive the coordinator.
    struct DamageReport {
        std::mutex mutex;
        DamagedStoreHandler handler;
        void tell(const std::string& storePath, const NSError& error);
    };
    std::shared_ptr<DamageReport> damageReport_ = std::make_shared<DamageReport>();
};
