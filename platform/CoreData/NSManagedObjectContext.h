#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectID.h"
#include "Foundation/NSError.h"

class NSPersistentStore;
class NSPersistentStoreCoordinator;
struct NSNotification;

// Posted by a context (the notification's object) on its own thread: after
// processPendingChanges found changes, and after a save. The payload is a
// std::shared_ptr<const NSManagedObjectContextChanges>; read it with
// NSManagedObjectContext::changesInNotification.
inline constexpr const char* NSManagedObjectContextObjectsDidChangeNotification =
    "NSManagedObjectContextObjectsDidChangeNotification";
inline constexpr const char* NSManagedObjectContextDidSaveNotification =
    "NSManagedObjectContextDidSaveNotification";

// What one report carries: the posting context's objects (touch them on its
// thread only) and their IDs (what another context merges, on its own thread).
struct NSManagedObjectContextChanges {
    std::vector<std::shared_ptr<NSManagedObject>> insertedObjects;
    std::vector<std::shared_ptr<NSManagedObject>> updatedObjects;
    std::vector<std::shared_ptr<NSManagedObject>> deletedObjects;
    std::vector<NSManagedObjectID> insertedObjectIDs;
    std::vector<NSManagedObjectID> updatedObjectIDs;
    std::vector<NSManagedObjectID> deletedObjectIDs;

    bool empty() const {
        return insertedObjects.empty() && updatedObjects.empty() && deletedObjects.empty();
    }
};
class SQLiteConnection;
struct sqlite3_stmt;

// A scratch pad of managed objects over a coordinator, used by one thread
// (or one serial queue) only. It opens its own SQLite connection to each
// store when first needed, uniques objects by ID, and writes all changes in
// one transaction per store on save. Registered objects are held weakly
// unless retainsRegisteredObjects is set; changed objects are held until saved.
class NSManagedObjectContext : public std::enable_shared_from_this<NSManagedObjectContext> {
  public:
    NSManagedObjectContext();
    ~NSManagedObjectContext();
    NSManagedObjectContext(const NSManagedObjectContext&) = delete;
    NSManagedObjectContext& operator=(const NSManagedObjectContext&) = delete;

    const std::shared_ptr<NSPersistentStoreCoordinator>& persistentStoreCoordinator() const {
        return coordinator_;
    }
    void setPersistentStoreCoordinator(std::shared_ptr<NSPersistentStoreCoordinator> coordinator);
    bool retainsRegisteredObjects() const { return retainsRegisteredObjects_; }
    void setRetainsRegisteredObjects(bool retains);

    // A new object of the entity, in the first writable store that holds it
    // (else the first that holds it); nullptr for an unknown entity.
    std::shared_ptr<NSManagedObject> insertNewObjectForEntityForName(const std::string& entityName);
    void assignObjectToPersistentStore(const std::shared_ptr<NSManagedObject>& object,
                                       const std::shared_ptr<NSPersistentStore>& store);
    // Marks the object deleted and applies its relationships' delete rules.
    void deleteObject(const std::shared_ptr<NSManagedObject>& object);

    // Fetches return nullopt and set *error on failure.
    std::optional<std::vector<std::shared_ptr<NSManagedObject>>> executeFetchRequest(
        const NSFetchRequest& request, NSError* error = nullptr);
    std::optional<std::vector<NSManagedObjectID>> executeFetchRequestForObjectIDs(
        const NSFetchRequest& request, NSError* error = nullptr);
    std::optional<std::vector<Value::Dictionary>> executeFetchRequestForDictionaries(
        const NSFetchRequest& request, NSError* error = nullptr);
    std::optional<size_t> countForFetchRequest(const NSFetchRequest& request,
                                               NSError* error = nullptr);

    // This context's own connection to the store, for read-only queries that
    // no fetch request expresses cheaply. Only for this context's thread;
    // nullptr and *error when the store was removed or does not open.
    SQLiteConnection* connectionForStore(const std::shared_ptr<NSPersistentStore>& store,
                                         NSError* error = nullptr);
    // The object of an ID: the registered one, else a fault (not checked
    // against the store). nullptr for a null ID or one of another coordinator.
    std::shared_ptr<NSManagedObject> objectWithID(const NSManagedObjectID& objectID);
    // The object with its row read; nullptr and *error when the row is gone.
    std::shared_ptr<NSManagedObject> existingObjectWithID(const NSManagedObjectID& objectID,
                                                          NSError* error = nullptr);
    std::shared_ptr<NSManagedObject> objectRegisteredForID(const NSManagedObjectID& objectID) const;

    bool hasChanges() const;
    std::vector<std::shared_ptr<NSManagedObject>> insertedObjects() const;
    std::vector<std::shared_ptr<NSManagedObject>> updatedObjects() const;
    std::vector<std::shared_ptr<NSManagedObject>> deletedObjects() const;

    // Writes every change, one transaction per store, all or nothing; new
    // objects get permanent IDs. On failure the changes stay pending.
    // Processes pending changes first and posts the did-save notification
    // with everything written.
    bool save(NSError* error = nullptr);
    // Reports the objects inserted, updated and deleted since the last call
    // in one did-change notification (none when nothing changed). An object
    // inserted and deleted in between is not reported at all. A context used
    // from the main queue or a serial queue has this run by that queue after
    // the block that made the first change, as at the end of an event.
    void processPendingChanges();
    // Brings the changes another context saved into this one: their inserted
    // objects are registered (as faults), unchanged updated ones refreshed,
    // deleted ones forgotten; then posts this context's did-change
    // notification with them. Call it on this context's thread.
    void mergeChangesFromContextDidSaveNotification(const NSNotification& notification);
    // The changes a did-change or did-save notification carries; nullptr for
    // any other notification.
    static const NSManagedObjectContextChanges* changesInNotification(
        const NSNotification& notification);
    // Forgets every object and change; objects handed out before are detached.
    void reset();
    // Turns an unchanged object back into a fault (mergeChanges false drops its changes).
    void refreshObjectMergeChanges(const std::shared_ptr<NSManagedObject>& object,
                                   bool mergeChanges);

  private:
    friend class NSManagedObject;

    SQLiteConnection* connection(const std::shared_ptr<NSPersistentStore>& store, NSError* error);
    std::vector<std::shared_ptr<NSPersistentStore>> storesForRequest(
        const NSFetchRequest& request, const NSEntityDescription* entity) const;
    std::shared_ptr<NSManagedObject> registeredObject(const NSManagedObjectID& objectID) const;
    void registerObject(const std::shared_ptr<NSManagedObject>& object);
    void noteChanged(const std::shared_ptr<NSManagedObject>& object);
    void postChanges(const char* name, std::shared_ptr<NSManagedObjectContextChanges> changes);
    void scheduleProcessPendingChanges();
    void forgetMergedDeletion(const std::shared_ptr<NSManagedObject>& object);
    std::shared_ptr<NSManagedObject> makeObject(const NSEntityDescription* entity,
                                                const NSManagedObjectID& objectID);
    // The object for a row at the statement's cursor: Z_PK, Z_ENT, then the table's columns.
    std::shared_ptr<NSManagedObject> objectForRow(const std::shared_ptr<NSPersistentStore>& store,
                                                  const NSEntityDescription* table,
                                                  sqlite3_stmt* statement, bool withValues);
    void fillFromRow(NSManagedObject& object, sqlite3_stmt* statement, int firstColumn);
    bool fillFaults(const std::vector<NSManagedObject*>& objects);
    bool fireFault(NSManagedObject& object);
    bool loadToMany(NSManagedObject& object, const NSRelationshipDescription* relationship);
    std::shared_ptr<NSManagedObject> resolveToOne(NSManagedObject& object,
                                                  const NSRelationshipDescription* relationship);
    bool prefetch(const std::vector<std::shared_ptr<NSManagedObject>>& objects,
                  const std::vector<std::string>& path, size_t step, NSError* error);
    std::optional<std::vector<std::shared_ptr<NSManagedObject>>> fetchObjects(
        const NSFetchRequest& request, bool idsOnly, NSError* error);
    void deleteWithRules(const std::shared_ptr<NSManagedObject>& object);
    bool validateForSave(NSError* error);
    void detach(NSManagedObject& object);

    std::shared_ptr<NSPersistentStoreCoordinator> coordinator_;
    std::map<const NSPersistentStore*,
             std::pair<std::weak_ptr<NSPersistentStore>, std::unique_ptr<SQLiteConnection>>>
        connections_;
    std::unordered_map<NSManagedObjectID, std::weak_ptr<NSManagedObject>> registered_;
    std::unordered_map<NSManagedObjectID, std::shared_ptr<NSManagedObject>> retained_;
    std::vector<std::shared_ptr<NSManagedObject>> changed_;      // in order of first change
    std::vector<std::shared_ptr<NSManagedObject>> unprocessed_;  // since processPendingChanges
    size_t registrationsSinceSweep_ = 0;
    bool retainsRegisteredObjects_ = false;
    bool processingScheduled_ = false;
};
