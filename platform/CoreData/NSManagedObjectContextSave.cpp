// Saving a context: validation, then one transaction per store.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <unordered_map>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreData/SQLiteConnection.h"
#include "Foundation/NSLog.h"

namespace {

void setError(NSError* error, long code, const std::string& description) {
    NSLogWithLevel(NSLogLevel::Error, "Core Data save: %s", description.c_str());
    if (error) {
        *error =
            NSError::errorWithDomain(NSError::NSCocoaErrorDomain, code,
                                     {{NSError::NSLocalizedDescriptionKey, Value(description)}});
    }
}

std::string insertSQL(const NSEntityDescription* entity,
                      std::vector<const NSAttributeDescription*>* attributes,
                      std::vector<const NSRelationshipDescription*>* relationships) {
    std::string columns = "Z_PK, Z_ENT, Z_OPT";
    std::string values = "?, ?, 1";
    for (const auto& attribute : entity->attributes()) {
        if (attribute->transient)
            continue;
        attributes->push_back(attribute.get());
        columns += ", " + attribute->columnName;
        values += ", ?";
    }
    for (const auto& relationship : entity->relationships()) {
        if (relationship->toMany)
            continue;
        relationships->push_back(relationship.get());
        columns += ", " + relationship->columnName;
        values += ", ?";
    }
    return "INSERT INTO " + entity->tableName() + " (" + columns + ") VALUES (" + values + ")";
}

std::string updateSQL(const NSEntityDescription* entity) {
    std::string sql = "UPDATE " + entity->tableName() + " SET Z_OPT = Z_OPT + 1";
    for (const auto& attribute : entity->attributes()) {
        if (!attribute->transient)
            sql += ", " + attribute->columnName + " = ?";
    }
    for (const auto& relationship : entity->relationships()) {
        if (!relationship->toMany)
            sql += ", " + relationship->columnName + " = ?";
    }
    return sql + " WHERE Z_PK = ?";
}

}  // namespace

bool NSManagedObjectContext::validateForSave(NSError* error) {
    for (const auto& object : changed_) {
        if (object->inserted_ && object->deleted_)
            continue;
        const std::shared_ptr<NSPersistentStore>& store = object->objectID_.persistentStore();
        if (!store || !store->isAttached()) {
            setError(error, CoreDataErrors::NSPersistentStoreSaveError,
                     "No store for an object of entity " + object->entity_->name());
            return false;
        }
        if (store->isReadOnly()) {
            setError(error, CoreDataErrors::NSPersistentStoreSaveError,
                     "The store " + store->path() + " is read-only");
            return false;
        }
        if (object->deleted_) {
            for (const auto& relationship : object->entity_->relationships()) {
                if (relationship->deleteRule != NSDeleteRule::Deny)
                    continue;
                bool denied = false;
                if (relationship->toMany) {
                    for (const auto& target : object->loadedToMany(relationship.get()).objects) {
                        denied = denied || !target->deleted_;
                    }
                } else if (auto target = object->loadedToOne(relationship.get()).object) {
                    denied = !target->deleted_;
                }
                if (denied) {
                    setError(
                        error, CoreDataErrors::NSValidationRelationshipDeniedDeleteError,
                        object->entity_->name() + "." + relationship->name + " denies the delete");
                    return false;
                }
            }
            continue;
        }
        for (const auto& attribute : object->entity_->attributes()) {
            if (!attribute->optional && !attribute->transient &&
                object->values_[attribute->slot].isNull()) {
                setError(error, CoreDataErrors::NSValidationMissingMandatoryPropertyError,
                         object->entity_->name() + "." + attribute->name + " is required");
                return false;
            }
        }
        for (const auto& relationship : object->entity_->relationships()) {
            if (relationship->optional || relationship->toMany)
                continue;
            const NSManagedObject::ToOne& slot = object->toOne_[relationship->slot];
            if (slot.loaded ? !slot.object : slot.key <= 0) {
                setError(error, CoreDataErrors::NSValidationMissingMandatoryPropertyError,
                         object->entity_->name() + "." + relationship->name + " is required");
                return false;
            }
        }
    }
    return true;
}

bool NSManagedObjectContext::save(NSError* error) {
    if (!coordinator_) {
        setError(error, CoreDataErrors::NSPersistentStoreSaveError,
                 "No persistent store coordinator");
        return false;
    }
    processPendingChanges();
    if (!hasChanges())
        return true;
    if (!validateForSave(error))
        return false;

    // Objects by store; stores in the order their first object changed.
    std::vector<std::shared_ptr<NSPersistentStore>> stores;
    std::map<NSPersistentStore*, std::vector<NSManagedObject*>> byStore;
    for (const auto& object : changed_) {
        if (object->inserted_ && object->deleted_)
            continue;
        const auto& store = object->objectID_.persistentStore();
        auto& list = byStore[store.get()];
        if (list.empty())
            stores.push_back(store);
        list.push_back(object.get());
    }
    std::vector<SQLiteConnection*> begun;
    auto rollback = [&] {
        for (SQLiteConnection* db : begun)
            db->execute("ROLLBACK", nullptr);
        return false;
    };
    for (const auto& store : stores) {
        SQLiteConnection* db = connection(store, error);
        if (!db || !db->execute("BEGIN IMMEDIATE", error))
            return rollback();
        begun.push_back(db);
    }

    // Permanent keys for new objects, from Z_PRIMARYKEY.
    for (size_t s = 0; s < stores.size(); ++s) {
        SQLiteConnection* db = begun[s];
        std::map<const NSEntityDescription*, std::vector<NSManagedObject*>> inserted;
        for (NSManagedObject* object : byStore[stores[s].get()]) {
            if (object->inserted_)
                inserted[object->entity_->rootEntity()].push_back(object);
        }
        for (auto& [root, objects] : inserted) {
            sqlite3_stmt* read = db->prepare(
                "SELECT MAX(IFNULL((SELECT Z_MAX FROM Z_PRIMARYKEY WHERE Z_ENT = ?), 0), "
                "IFNULL((SELECT MAX(Z_PK) FROM " +
                    root->tableName() + "), 0))",
                error);
            if (!read)
                return rollback();
            sqlite3_bind_int(read, 1, root->entityNumber());
            int64_t base = sqlite3_step(read) == SQLITE_ROW ? sqlite3_column_int64(read, 0) : 0;
            sqlite3_reset(read);
            if (base < 0 || base > INT64_MAX - static_cast<int64_t>(objects.size())) {
                setError(error, CoreDataErrors::NSPersistentStoreSaveError,
                         "The store's key counter of " + root->name() + " is exhausted");
                return rollback();
            }
            for (NSManagedObject* object : objects)
                object->savedKey_ = ++base;
            sqlite3_stmt* write = db->prepare(
                "INSERT OR REPLACE INTO Z_PRIMARYKEY (Z_ENT, Z_NAME, Z_SUPER, Z_MAX) VALUES (?, ?, "
                "0, ?)",
                error);
            if (!write)
                return rollback();
            sqlite3_bind_int(write, 1, root->entityNumber());
            SQLiteConnection::bind(write, 2, Value(root->name()));
            sqlite3_bind_int64(write, 3, base);
            int rc = sqlite3_step(write);
            sqlite3_reset(write);
            if (rc != SQLITE_DONE) {
                db->setError(error, "Z_PRIMARYKEY");
                return rollback();
            }
        }
    }
    auto keyOf = [&](const NSManagedObject* object) -> int64_t {
        if (object->objectID_.isTemporaryID())
            return object->inserted_ ? object->savedKey_ : 0;
        return object->objectID_.primaryKey();
    };
    auto foreignKey = [&](const NSManagedObject* object,
                          const NSRelationshipDescription* relationship) -> Value {
        const NSManagedObject::ToOne& slot = object->toOne_[relationship->slot];
        if (!slot.loaded)
            return slot.key > 0 ? Value(static_cast<long long>(slot.key)) : Value();
        if (!slot.object ||
            slot.object->objectID_.persistentStore() != object->objectID_.persistentStore()) {
            return Value();
        }
        int64_t key = keyOf(slot.object.get());
        return key > 0 ? Value(static_cast<long long>(key)) : Value();
    };
    auto stepDone = [&](SQLiteConnection* db, sqlite3_stmt* statement, const char* what) {
        int rc = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE)
            db->setError(error, what);
        return rc == SQLITE_DONE;
    };
    // Removes the object's rows from a many-to-many join table.
    auto deleteJoinRows = [&](SQLiteConnection* db, const NSRelationshipDescription& relationship,
                              int64_t key, const char* what) {
        sqlite3_stmt* unjoin = db->prepare("DELETE FROM " + relationship.joinTable + " WHERE " +
                                               relationship.joinSourceColumn + " = ?",
                                           error);
        if (!unjoin)
            return false;
        sqlite3_bind_int64(unjoin, 1, key);
        return stepDone(db, unjoin, what);
    };

    // One prepared insert per entity and store, bound anew for each object.
    struct InsertStatement {
        sqlite3_stmt* statement = nullptr;
        std::vector<const NSAttributeDescription*> attributes;
        std::vector<const NSRelationshipDescription*> relationships;
    };
    for (size_t s = 0; s < stores.size(); ++s) {
        SQLiteConnection* db = begun[s];
        std::unordered_map<const NSEntityDescription*, InsertStatement> inserts;
        for (NSManagedObject* object : byStore[stores[s].get()]) {
            const NSEntityDescription* entity = object->entity_;
            int64_t key = keyOf(object);
            if (object->deleted_) {
                sqlite3_stmt* remove =
                    db->prepare("DELETE FROM " + entity->tableName() + " WHERE Z_PK = ?", error);
                if (!remove)
                    return rollback();
                sqlite3_bind_int64(remove, 1, key);
                if (!stepDone(db, remove, "delete"))
                    return rollback();
                for (const auto& relationship : entity->relationships()) {
                    if (!relationship->isManyToMany())
                        continue;
                    if (!deleteJoinRows(db, *relationship, key, "delete join rows"))
                        return rollback();
                }
                continue;
            }
            if (object->inserted_) {
                InsertStatement& prepared = inserts[entity];
                if (!prepared.statement) {
                    prepared.statement = db->prepare(
                        insertSQL(entity, &prepared.attributes, &prepared.relationships), error);
                    if (!prepared.statement)
                        return rollback();
                }
                sqlite3_stmt* insert = prepared.statement;
                int index = 1;
                sqlite3_bind_int64(insert, index++, key);
                sqlite3_bind_int(insert, index++, entity->entityNumber());
                for (const NSAttributeDescription* attribute : prepared.attributes) {
                    SQLiteConnection::bind(insert, index++, object->values_[attribute->slot]);
                }
                for (const NSRelationshipDescription* relationship : prepared.relationships) {
                    SQLiteConnection::bind(insert, index++, foreignKey(object, relationship));
                }
                if (!stepDone(db, insert, "insert"))
                    return rollback();
            } else if (object->updated_) {
                sqlite3_stmt* update = db->prepare(updateSQL(entity), error);
                if (!update)
                    return rollback();
                int index = 1;
                for (const auto& attribute : entity->attributes()) {
                    if (!attribute->transient)
                        SQLiteConnection::bind(update, index++, object->values_[attribute->slot]);
                }
                for (const auto& relationship : entity->relationships()) {
                    if (!relationship->toMany)
                        SQLiteConnection::bind(update, index++,
                                               foreignKey(object, relationship.get()));
                }
                sqlite3_bind_int64(update, index, key);
                if (!stepDone(db, update, "update"))
                    return rollback();
            }
            for (const auto& relationship : entity->relationships()) {
                const NSManagedObject::ToMany& slot = object->toMany_[relationship->slot];
                if (!relationship->isManyToMany() || !relationship->ownsJoinTable || !slot.dirty)
                    continue;
                if (!deleteJoinRows(db, *relationship, key, "rewrite join rows"))
                    return rollback();
                sqlite3_stmt* join =
                    db->prepare("INSERT OR IGNORE INTO " + relationship->joinTable + " (" +
                                    relationship->joinSourceColumn + ", " +
                                    relationship->joinDestinationColumn + ") VALUES (?, ?)",
                                error);
                if (!join)
                    return rollback();
                for (const auto& target : slot.objects) {
                    if (target->deleted_ || target->objectID_.persistentStore() != stores[s])
                        continue;
                    int64_t targetKey = keyOf(target.get());
                    if (targetKey <= 0)
                        continue;
                    sqlite3_bind_int64(join, 1, key);
                    sqlite3_bind_int64(join, 2, targetKey);
                    if (!stepDone(db, join, "write join rows"))
                        return rollback();
                }
            }
        }
    }
    for (size_t s = 0; s < begun.size(); ++s) {
        if (!begun[s]->execute("COMMIT", error)) {
            // Stores committed before this one keep their changes; the rest roll back.
            for (size_t r = s; r < begun.size(); ++r)
                begun[r]->execute("ROLLBACK", nullptr);
            return false;
        }
    }

    // The changes are stored: settle the objects.
    std::vector<std::shared_ptr<NSManagedObject>> changed = std::move(changed_);
    changed_.clear();
    auto saved = std::make_shared<NSManagedObjectContextChanges>();
    for (const auto& object : changed) {
        if (object->inserted_ && object->deleted_)
            continue;
        if (object->deleted_) {
            saved->deletedObjects.push_back(object);
        } else if (object->inserted_) {
            saved->insertedObjects.push_back(object);
        } else if (object->updated_) {
            saved->updatedObjects.push_back(object);
        }
    }
    for (const auto& object : changed) {
        object->inChangeList_ = false;
        object->announcedInsert_ = false;
        if (object->deleted_) {
            registered_.erase(object->objectID_);
            retained_.erase(object->objectID_);
            detach(*object);
            continue;
        }
        if (object->inserted_) {
            object->objectID_ = NSManagedObjectID(object->objectID_.persistentStore(),
                                                  object->entity_, object->savedKey_, false);
            object->inserted_ = false;
            // An object no one else holds dies with this list; a weak entry
            // for it would only be swept later.
            if (retainsRegisteredObjects_ || object.use_count() > 1)
                registerObject(object);
        }
        object->updated_ = false;
        for (auto& slot : object->toMany_)
            slot.dirty = false;
    }
    for (const auto& object : changed) {
        if (object->deleted_)
            continue;
        for (auto& slot : object->toOne_) {
            if (slot.loaded)
                slot.key = slot.object ? keyOf(slot.object.get()) : 0;
        }
    }
    postChanges(NSManagedObjectContextDidSaveNotification, std::move(saved));
    return true;
}
