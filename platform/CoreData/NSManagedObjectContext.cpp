#include "CoreData/NSManagedObjectContext.h"

#include <algorithm>
#include <unordered_set>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/KeyPath.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreData/PredicateEvaluator.h"
#include "CoreData/PredicateSQLCompiler.h"
#include "CoreData/SQLiteConnection.h"
#include "Foundation/NSLog.h"

// Objects fetched with a batch size: the first touch of a fault reads its
// whole batch with one query.
struct FaultBatch {
    std::vector<std::weak_ptr<NSManagedObject>> objects;
    size_t batchSize = 0;
};

namespace {

std::atomic<int64_t> nextTemporaryKey{1};
constexpr size_t kMaximumParameters = 500;

void setError(NSError* error, long code, const std::string& description) {
    NSLogWithLevel(NSLogLevel::Error, "Core Data: %s", description.c_str());
    if (error) {
        *error =
            NSError::errorWithDomain(NSError::NSCocoaErrorDomain, code,
                                     {{NSError::NSLocalizedDescriptionKey, Value(description)}});
    }
}

std::string placeholders(size_t count) {
    std::string list;
    for (size_t i = 0; i < count; ++i)
        list += i ? ", ?" : "?";
    return list;
}

std::string selectColumns(const NSEntityDescription* entity) {
    std::string sql = "t0.Z_PK, t0.Z_ENT, t0.Z_OPT";
    for (const std::string& column : entity->tableColumns())
        sql += ", t0." + column;
    return sql;
}

Value storedValue(const NSAttributeDescription& attribute, sqlite3_stmt* statement, int column) {
    int type = sqlite3_column_type(statement, column);
    if (type == SQLITE_NULL)
        return Value();
    switch (attribute.attributeType) {
        case NSAttributeType::Integer16:
        case NSAttributeType::Integer32:
        case NSAttributeType::Integer64:
            return Value(static_cast<long long>(sqlite3_column_int64(statement, column)));
        case NSAttributeType::Boolean:
            return Value(sqlite3_column_int64(statement, column) != 0);
        case NSAttributeType::Double:
        case NSAttributeType::Float:
            return Value(sqlite3_column_double(statement, column));
        case NSAttributeType::Date:
            return Value(NSDate::dateWithTimeIntervalSinceReferenceDate(
                sqlite3_column_double(statement, column)));
        default:
            return SQLiteConnection::column(statement, column);
    }
}

// The parts of a predicate the store can answer, and the rest.
struct SplitPredicate {
    std::shared_ptr<const PredicateNode> sql;
    std::vector<std::shared_ptr<const PredicateNode>> memory;
};

bool compiles(const std::shared_ptr<const PredicateNode>& node, const NSEntityDescription* entity) {
    std::string sql;
    std::vector<Value> bindings;
    return PredicateSQLCompiler(nullptr, entity).compile(*node, &sql, &bindings);
}

SplitPredicate splitPredicate(const std::shared_ptr<NSPredicate>& predicate,
                              const NSEntityDescription* entity) {
    SplitPredicate split;
    if (!predicate)
        return split;
    const auto& root = predicate->root();
    if (compiles(root, entity)) {
        split.sql = root;
        return split;
    }
    if (root->kind != PredicateNode::Kind::And) {
        split.memory.push_back(root);
        return split;
    }
    auto sqlPart = std::make_shared<PredicateNode>();
    sqlPart->kind = PredicateNode::Kind::And;
    for (const auto& child : root->children) {
        if (compiles(child, entity)) {
            sqlPart->children.push_back(child);
        } else {
            split.memory.push_back(child);
        }
    }
    if (!sqlPart->children.empty())
        split.sql = sqlPart;
    return split;
}

}  // namespace

NSManagedObjectContext::NSManagedObjectContext() = default;

NSManagedObjectContext::~NSManagedObjectContext() {
    // Relationship caches may form cycles between objects; break them.
    for (auto& [id, weak] : registered_) {
        if (auto object = weak.lock())
            object->clearRelationships();
    }
    for (auto& object : changed_)
        object->clearRelationships();
}

void NSManagedObjectContext::setPersistentStoreCoordinator(
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator) {
    coordinator_ = std::move(coordinator);
}

void NSManagedObjectContext::setRetainsRegisteredObjects(bool retains) {
    retainsRegisteredObjects_ = retains;
    if (!retains) {
        retained_.clear();
        return;
    }
    for (auto& [id, weak] : registered_) {
        if (auto object = weak.lock())
            retained_[id] = object;
    }
}

SQLiteConnection* NSManagedObjectContext::connection(
    const std::shared_ptr<NSPersistentStore>& store, NSError* error) {
    auto found = connections_.find(store.get());
    if (found != connections_.end() &&
        (!store->isAttached() || found->second.first.lock() != store)) {
        connections_.erase(found);
        found = connections_.end();
    }
    if (!store->isAttached()) {
        setError(error, CoreDataErrors::NSPersistentStoreOperationError,
                 "The store " + store->path() + " was removed");
        return nullptr;
    }
    if (found != connections_.end())
        return found->second.second.get();
    std::unique_ptr<SQLiteConnection> opened = coordinator_->openConnection(*store, error);
    if (!opened)
        return nullptr;
    SQLiteConnection* raw = opened.get();
    connections_[store.get()] = {store, std::move(opened)};
    return raw;
}

SQLiteConnection* NSManagedObjectContext::connectionForStore(
    const std::shared_ptr<NSPersistentStore>& store, NSError* error) {
    return store ? connection(store, error) : nullptr;
}

std::vector<std::shared_ptr<NSPersistentStore>> NSManagedObjectContext::storesForRequest(
    const NSFetchRequest& request, const NSEntityDescription* entity) const {
    std::vector<std::shared_ptr<NSPersistentStore>> stores =
        request.affectedStores.empty() ? coordinator_->persistentStores() : request.affectedStores;
    std::vector<std::shared_ptr<NSPersistentStore>> result;
    for (auto& store : stores) {
        if (store && store->isAttached() && store->holdsEntity(entity))
            result.push_back(store);
    }
    return result;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::registeredObject(
    const NSManagedObjectID& objectID) const {
    if (objectID.isTemporaryID()) {
        // New objects are found among the changes; they enter the table once saved.
        for (const auto& object : changed_) {
            if (object->objectID_ == objectID)
                return object;
        }
        return nullptr;
    }
    auto found = registered_.find(objectID);
    return found == registered_.end() ? nullptr : found->second.lock();
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::objectRegisteredForID(
    const NSManagedObjectID& objectID) const {
    return registeredObject(objectID);
}

void NSManagedObjectContext::registerObject(const std::shared_ptr<NSManagedObject>& object) {
    registered_[object->objectID_] = object;
    if (retainsRegisteredObjects_)
        retained_[object->objectID_] = object;
    // Sweep dead entries once as many registrations as live ones have passed.
    if (++registrationsSinceSweep_ >= 4096 && registrationsSinceSweep_ >= registered_.size()) {
        registrationsSinceSweep_ = 0;
        for (auto it = registered_.begin(); it != registered_.end();) {
            it = it->second.expired() ? registered_.erase(it) : std::next(it);
        }
    }
}

void NSManagedObjectContext::noteChanged(const std::shared_ptr<NSManagedObject>& object) {
    if (!object->pendingChange_) {
        object->pendingChange_ = true;
        unprocessed_.push_back(object);
        if (!processingScheduled_)
            scheduleProcessPendingChanges();
    }
    if (object->inChangeList_)
        return;
    object->inChangeList_ = true;
    changed_.push_back(object);
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::makeObject(
    const NSEntityDescription* entity, const NSManagedObjectID& objectID) {
    std::shared_ptr<NSManagedObject> object =
        NSManagedObject::makeObjectOfClass(entity->managedObjectClassName());
    object->entity_ = entity;
    object->context_ = weak_from_this();
    object->objectID_ = objectID;
    object->values_.resize(entity->attributes().size());
    object->transformed_.resize(entity->attributes().size());
    object->toOne_.resize(entity->relationships().size());
    object->toMany_.resize(entity->relationships().size());
    object->fault_ = true;
    return object;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::insertNewObjectForEntityForName(
    const std::string& entityName) {
    const NSManagedObjectModel* model =
        coordinator_ ? coordinator_->managedObjectModel().get() : nullptr;
    const NSEntityDescription* entity = model ? model->entityNamed(entityName) : nullptr;
    if (!entity || entity->isAbstract()) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot insert an object of entity %s",
                       entityName.c_str());
        return nullptr;
    }
    std::shared_ptr<NSPersistentStore> store;
    for (auto& candidate : coordinator_->persistentStores()) {
        if (!candidate->holdsEntity(entity))
            continue;
        if (!store)
            store = candidate;
        if (!candidate->isReadOnly()) {
            store = candidate;
            break;
        }
    }
    auto object = makeObject(entity, NSManagedObjectID(store, entity, -nextTemporaryKey++, true));
    object->fault_ = false;
    object->inserted_ = true;
    for (const auto& attribute : entity->attributes())
        object->values_[attribute->slot] = attribute->defaultValue;
    for (const auto& relationship : entity->relationships()) {
        object->toOne_[relationship->slot].loaded = true;
        object->toMany_[relationship->slot].loaded = true;
    }
    noteChanged(object);
    object->awakeFromInsert();
    return object;
}

void NSManagedObjectContext::assignObjectToPersistentStore(
    const std::shared_ptr<NSManagedObject>& object,
    const std::shared_ptr<NSPersistentStore>& store) {
    if (!object || !object->inserted_ || !store || !store->holdsEntity(object->entity_))
        return;
    object->objectID_ =
        NSManagedObjectID(store, object->entity_, object->objectID_.primaryKey(), true);
}

void NSManagedObjectContext::fillFromRow(NSManagedObject& object, sqlite3_stmt* statement,
                                         int firstColumn) {
    for (const auto& attribute : object.entity_->attributes()) {
        if (attribute->transient)
            continue;
        object.values_[attribute->slot] =
            storedValue(*attribute, statement, firstColumn + attribute->columnIndex);
        object.transformed_[attribute->slot].reset();
    }
    for (const auto& relationship : object.entity_->relationships()) {
        if (relationship->toMany)
            continue;
        NSManagedObject::ToOne& slot = object.toOne_[relationship->slot];
        slot = NSManagedObject::ToOne{};
        slot.key = sqlite3_column_int64(statement, firstColumn + relationship->columnIndex);
    }
    object.fault_ = false;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::objectForRow(
    const std::shared_ptr<NSPersistentStore>& store, const NSEntityDescription* table,
    sqlite3_stmt* statement, bool withValues) {
    int64_t key = sqlite3_column_int64(statement, 0);
    const NSEntityDescription* entity =
        coordinator_->managedObjectModel()->entityWithNumber(sqlite3_column_int(statement, 1));
    // A Z_ENT of another table's entities (a damaged file) is skipped.
    if (!entity || entity->rootEntity() != table)
        return nullptr;
    NSManagedObjectID objectID(store, entity, key, false);
    std::shared_ptr<NSManagedObject> object = registeredObject(objectID);
    if (!object) {
        object = makeObject(entity, objectID);
        registerObject(object);
        if (withValues) {
            fillFromRow(*object, statement, 3);
            object->awakeFromFetch();
        }
    } else if (withValues && object->fault_) {
        fillFromRow(*object, statement, 3);
        object->awakeFromFetch();
    }
    return object;
}

bool NSManagedObjectContext::fillFaults(const std::vector<NSManagedObject*>& objects) {
    // Group by store and table.
    std::map<std::pair<NSPersistentStore*, const NSEntityDescription*>,
             std::vector<NSManagedObject*>>
        groups;
    for (NSManagedObject* object : objects) {
        if (!object->fault_ || object->objectID_.isTemporaryID() ||
            !object->objectID_.persistentStore())
            continue;
        groups[{object->objectID_.persistentStore().get(), object->entity_->rootEntity()}]
            .push_back(object);
    }
    for (auto& [key, members] : groups) {
        std::shared_ptr<NSPersistentStore> store = members.front()->objectID_.persistentStore();
        SQLiteConnection* db = connection(store, nullptr);
        if (!db)
            return false;
        for (size_t start = 0; start < members.size(); start += kMaximumParameters) {
            size_t count = std::min(kMaximumParameters, members.size() - start);
            std::string sql = "SELECT " + selectColumns(key.second) + " FROM " +
                              key.second->tableName() + " t0 WHERE t0.Z_PK " +
                              (count == 1 ? "= ?" : "IN (" + placeholders(count) + ")");
            sqlite3_stmt* statement = db->prepare(sql, nullptr);
            if (!statement)
                return false;
            std::unordered_map<int64_t, NSManagedObject*> byKey;
            for (size_t i = 0; i < count; ++i) {
                NSManagedObject* object = members[start + i];
                byKey[object->objectID_.primaryKey()] = object;
                sqlite3_bind_int64(statement, static_cast<int>(i + 1),
                                   object->objectID_.primaryKey());
            }
            while (sqlite3_step(statement) == SQLITE_ROW) {
                auto found = byKey.find(sqlite3_column_int64(statement, 0));
                if (found == byKey.end() || !found->second->fault_)
                    continue;
                fillFromRow(*found->second, statement, 3);
                found->second->awakeFromFetch();
            }
            sqlite3_reset(statement);
        }
    }
    return true;
}

bool NSManagedObjectContext::fireFault(NSManagedObject& object) {
    if (!object.fault_)
        return true;
    std::vector<NSManagedObject*> objects;
    std::vector<std::shared_ptr<NSManagedObject>> keepAlive;
    if (object.batch_) {
        const FaultBatch& batch = *object.batch_;
        size_t begin = object.batchIndex_ - object.batchIndex_ % batch.batchSize;
        size_t end = std::min(batch.objects.size(), begin + batch.batchSize);
        for (size_t i = begin; i < end; ++i) {
            if (auto member = batch.objects[i].lock()) {
                if (member->fault_) {
                    objects.push_back(member.get());
                    keepAlive.push_back(std::move(member));
                }
            }
        }
    }
    if (std::find(objects.begin(), objects.end(), &object) == objects.end())
        objects.push_back(&object);
    fillFaults(objects);
    if (object.fault_) {
        NSLogWithLevel(NSLogLevel::Error, "The row of %s is gone",
                       object.objectID_.URIRepresentation().c_str());
        object.fault_ = false;
        return false;
    }
    return true;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::resolveToOne(
    NSManagedObject& object, const NSRelationshipDescription* relationship) {
    int64_t key = object.toOne_[relationship->slot].key;
    const std::shared_ptr<NSPersistentStore>& store = object.objectID_.persistentStore();
    if (key <= 0 || !store)
        return nullptr;
    const NSEntityDescription* destination = relationship->destinationEntity;
    if (!destination->rootEntity()->subentities().empty()) {
        // The row tells which sub-entity it is.
        SQLiteConnection* db = connection(store, nullptr);
        sqlite3_stmt* statement =
            db ? db->prepare("SELECT Z_ENT FROM " + destination->tableName() + " WHERE Z_PK = ?",
                             nullptr)
               : nullptr;
        if (!statement)
            return nullptr;
        sqlite3_bind_int64(statement, 1, key);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            const NSEntityDescription* actual =
                coordinator_->managedObjectModel()->entityWithNumber(
                    sqlite3_column_int(statement, 0));
            if (actual)
                destination = actual;
        }
        sqlite3_reset(statement);
    }
    return objectWithID(NSManagedObjectID(store, destination, key, false));
}

bool NSManagedObjectContext::loadToMany(NSManagedObject& object,
                                        const NSRelationshipDescription* relationship) {
    NSManagedObject::ToMany& slot = object.toMany_[relationship->slot];
    const std::shared_ptr<NSPersistentStore>& store = object.objectID_.persistentStore();
    if (object.objectID_.isTemporaryID() || !store)
        return true;
    SQLiteConnection* db = connection(store, nullptr);
    if (!db)
        return false;
    const NSEntityDescription* destination = relationship->destinationEntity;
    std::string sql = "SELECT " + selectColumns(destination) + " " +
                      PredicateSQLCompiler::linkClause(*relationship, "?", "t0");
    sqlite3_stmt* statement = db->prepare(sql, nullptr);
    if (!statement)
        return false;
    sqlite3_bind_int64(statement, 1, object.objectID_.primaryKey());
    std::vector<std::shared_ptr<NSManagedObject>> found;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        if (auto member = objectForRow(store, destination->rootEntity(), statement, true)) {
            found.push_back(std::move(member));
        }
    }
    sqlite3_reset(statement);
    const NSRelationshipDescription* inverse = relationship->inverseRelationship;
    for (auto& member : found) {
        if (member->deleted_)
            continue;
        // A member moved elsewhere in memory no longer belongs here.
        if (!inverse->toMany) {
            const NSManagedObject::ToOne& back = member->toOne_[inverse->slot];
            if (back.loaded && back.object.get() != &object)
                continue;
        }
        if (slot.members.insert(member.get()).second)
            slot.objects.push_back(std::move(member));
    }
    return true;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::objectWithID(
    const NSManagedObjectID& objectID) {
    if (objectID.isNull() || !coordinator_ ||
        objectID.entity()->managedObjectModel() != coordinator_->managedObjectModel().get()) {
        return nullptr;
    }
    if (auto object = registeredObject(objectID))
        return object;
    if (objectID.isTemporaryID())
        return nullptr;
    auto object = makeObject(objectID.entity(), objectID);
    registerObject(object);
    return object;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::existingObjectWithID(
    const NSManagedObjectID& objectID, NSError* error) {
    std::shared_ptr<NSManagedObject> object = objectWithID(objectID);
    if (object && object->fault_) {
        fillFaults({object.get()});
        if (object->fault_) {
            registered_.erase(objectID);
            retained_.erase(objectID);
            object.reset();
        }
    }
    if (!object || object->deleted_) {
        setError(error, CoreDataErrors::NSManagedObjectReferentialIntegrityError,
                 "No object with ID " + objectID.URIRepresentation());
        return nullptr;
    }
    return object;
}

std::optional<std::vector<std::shared_ptr<NSManagedObject>>> NSManagedObjectContext::fetchObjects(
    const NSFetchRequest& request, bool idsOnly, NSError* error) {
    const NSManagedObjectModel* model =
        coordinator_ ? coordinator_->managedObjectModel().get() : nullptr;
    const NSEntityDescription* entity = model ? model->entityNamed(request.entityName) : nullptr;
    if (!entity) {
        setError(error, CoreDataErrors::NSPersistentStoreOperationError,
                 "No entity named " + request.entityName);
        return std::nullopt;
    }
    std::vector<std::shared_ptr<NSPersistentStore>> stores = storesForRequest(request, entity);
    SplitPredicate split = splitPredicate(request.predicate, entity);
    std::string order;
    bool memorySort =
        !request.sortDescriptors.empty() &&
        !PredicateSQLCompiler(nullptr, entity).compileOrder(request.sortDescriptors, &order);
    auto ofEntity = [&](const NSManagedObject& object) {
        return request.includesSubentities ? object.entity_->isKindOfEntity(entity)
                                           : object.entity_ == entity;
    };
    bool pending = false;
    if (request.includesPendingChanges) {
        for (const auto& object : changed_) {
            if ((object->inserted_ || object->deleted_) && ofEntity(*object))
                pending = true;
        }
    }
    bool memoryWindow = stores.size() > 1 || !split.memory.empty() || memorySort || pending;
    bool batched = request.fetchBatchSize > 0 && !idsOnly;
    bool withValues = !idsOnly && !batched && request.includesPropertyValues;

    std::vector<std::shared_ptr<NSManagedObject>> results;
    for (const auto& store : stores) {
        SQLiteConnection* db = connection(store, error);
        if (!db)
            return std::nullopt;
        std::string sql =
            "SELECT " + (withValues ? selectColumns(entity) : std::string("t0.Z_PK, t0.Z_ENT")) +
            " FROM " + entity->tableName() + " t0 WHERE 1" +
            PredicateSQLCompiler::entityRestriction(entity, "t0", request.includesSubentities);
        std::vector<Value> bindings;
        if (split.sql) {
            std::string condition;
            PredicateSQLCompiler(store.get(), entity).compile(*split.sql, &condition, &bindings);
            sql += " AND " + condition;
        }
        if (!order.empty() && !memorySort)
            sql += " ORDER BY " + order;
        if (!memoryWindow) {
            if (request.fetchLimit > 0 || request.fetchOffset > 0) {
                sql += " LIMIT " +
                       (request.fetchLimit > 0 ? std::to_string(request.fetchLimit) : "-1") +
                       " OFFSET " + std::to_string(request.fetchOffset);
            }
        } else if (request.fetchLimit > 0 && split.memory.empty() && !memorySort && !pending) {
            sql += " LIMIT " + std::to_string(request.fetchLimit + request.fetchOffset);
        }
        sqlite3_stmt* statement = db->prepare(sql, error);
        if (!statement)
            return std::nullopt;
        for (size_t i = 0; i < bindings.size(); ++i) {
            SQLiteConnection::bind(statement, static_cast<int>(i + 1), bindings[i]);
        }
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            std::shared_ptr<NSManagedObject> object =
                objectForRow(store, entity->rootEntity(), statement, withValues);
            if (object && !(request.includesPendingChanges && object->deleted_))
                results.push_back(std::move(object));
        }
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE) {
            db->setError(error, "Fetch of " + request.entityName);
            return std::nullopt;
        }
    }
    if (!split.memory.empty()) {
        std::vector<std::shared_ptr<NSManagedObject>> kept;
        for (auto& object : results) {
            bool matches =
                std::all_of(split.memory.begin(), split.memory.end(),
                            [&](const auto& node) { return PredicateEvaluate(*node, object); });
            if (matches)
                kept.push_back(std::move(object));
        }
        results = std::move(kept);
    }
    if (pending) {
        for (const auto& object : changed_) {
            if (!object->inserted_ || object->deleted_ || !ofEntity(*object))
                continue;
            const auto& store = object->objectID_.persistentStore();
            if (store && std::find(stores.begin(), stores.end(), store) == stores.end())
                continue;
            if (!request.predicate || request.predicate->evaluateWithObject(object))
                results.push_back(object);
        }
    }
    if (memoryWindow && !request.sortDescriptors.empty()) {
        std::vector<std::pair<std::vector<Value>, std::shared_ptr<NSManagedObject>>> keyed;
        keyed.reserve(results.size());
        for (auto& object : results) {
            std::vector<Value> keys;
            for (const auto& descriptor : request.sortDescriptors) {
                keys.push_back(PredicateValueForKeyPath(object, descriptor.key));
            }
            keyed.emplace_back(std::move(keys), std::move(object));
        }
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
            for (size_t i = 0; i < request.sortDescriptors.size(); ++i) {
                const NSSortDescriptor& descriptor = request.sortDescriptors[i];
                int result = PredicateCompareForSort(a.first[i], b.first[i],
                                                     static_cast<int>(descriptor.comparison));
                if (result != 0)
                    return descriptor.ascending ? result < 0 : result > 0;
            }
            return false;
        });
        results.clear();
        for (auto& [keys, object] : keyed)
            results.push_back(std::move(object));
    }
    if (memoryWindow && (request.fetchOffset > 0 || request.fetchLimit > 0)) {
        size_t begin = std::min(request.fetchOffset, results.size());
        size_t end = request.fetchLimit > 0 ? std::min(results.size(), begin + request.fetchLimit)
                                            : results.size();
        results = std::vector<std::shared_ptr<NSManagedObject>>(
            results.begin() + static_cast<long>(begin), results.begin() + static_cast<long>(end));
    }
    if (batched) {
        auto batch = std::make_shared<FaultBatch>();
        batch->batchSize = request.fetchBatchSize;
        for (size_t i = 0; i < results.size(); ++i) {
            batch->objects.push_back(results[i]);
            if (results[i]->fault_) {
                results[i]->batch_ = batch;
                results[i]->batchIndex_ = i;
            }
        }
    }
    if (!idsOnly && withValues) {
        for (const std::string& keyPath : request.relationshipKeyPathsForPrefetching) {
            if (!prefetch(results, splitKeyPath(keyPath), 0, error))
                return std::nullopt;
        }
    }
    return results;
}

bool NSManagedObjectContext::prefetch(const std::vector<std::shared_ptr<NSManagedObject>>& objects,
                                      const std::vector<std::string>& path, size_t step,
                                      NSError* error) {
    if (step >= path.size() || objects.empty())
        return true;
    // Owners by store and relationship.
    std::map<std::pair<NSPersistentStore*, const NSRelationshipDescription*>,
             std::vector<std::shared_ptr<NSManagedObject>>>
        groups;
    for (const auto& object : objects) {
        const NSRelationshipDescription* relationship =
            object->entity_->relationshipNamed(path[step]);
        if (!relationship || object->objectID_.isTemporaryID() ||
            !object->objectID_.persistentStore())
            continue;
        if (object->fault_ && !fireFault(*object))
            continue;
        groups[{object->objectID_.persistentStore().get(), relationship}].push_back(object);
    }
    std::vector<std::shared_ptr<NSManagedObject>> reached;
    for (auto& [key, owners] : groups) {
        const NSRelationshipDescription* relationship = key.second;
        std::shared_ptr<NSPersistentStore> store = owners.front()->objectID_.persistentStore();
        SQLiteConnection* db = connection(store, error);
        if (!db)
            return false;
        const NSEntityDescription* destination = relationship->destinationEntity;
        std::unordered_map<int64_t, std::vector<NSManagedObject*>> ownersByKey;
        std::vector<int64_t> keys;
        for (const auto& owner : owners) {
            int64_t ownerKey;
            if (relationship->toMany) {
                if (owner->toMany_[relationship->slot].loaded) {
                    for (const auto& member : owner->toMany_[relationship->slot].objects)
                        reached.push_back(member);
                    continue;
                }
                ownerKey = owner->objectID_.primaryKey();
            } else {
                const NSManagedObject::ToOne& slot = owner->toOne_[relationship->slot];
                if (slot.loaded) {
                    if (slot.object)
                        reached.push_back(slot.object);
                    continue;
                }
                ownerKey = slot.key;
                if (ownerKey <= 0)
                    continue;
            }
            auto& list = ownersByKey[ownerKey];
            if (list.empty())
                keys.push_back(ownerKey);
            list.push_back(owner.get());
        }
        std::string columns = selectColumns(destination);
        std::string from, keyColumn;
        if (relationship->isManyToMany()) {
            from = " FROM " + destination->tableName() + " t0 JOIN " + relationship->joinTable +
                   " j ON j." + relationship->joinDestinationColumn + " = t0.Z_PK WHERE j." +
                   relationship->joinSourceColumn;
            keyColumn = ", j." + relationship->joinSourceColumn;
        } else if (relationship->toMany) {
            from = " FROM " + destination->tableName() + " t0 WHERE t0." +
                   relationship->inverseRelationship->columnName;
            keyColumn = ", t0." + relationship->inverseRelationship->columnName;
        } else {
            from = " FROM " + destination->tableName() + " t0 WHERE t0.Z_PK";
            keyColumn = ", t0.Z_PK";
        }
        int keyIndex = 3 + static_cast<int>(destination->tableColumns().size());
        std::unordered_map<int64_t, std::vector<std::shared_ptr<NSManagedObject>>> found;
        for (size_t start = 0; start < keys.size(); start += kMaximumParameters) {
            size_t count = std::min(kMaximumParameters, keys.size() - start);
            std::string sql = "SELECT " + columns + keyColumn + from + " IN (" +
                              placeholders(count) + ")" +
                              PredicateSQLCompiler::entityRestriction(destination, "t0");
            sqlite3_stmt* statement = db->prepare(sql, error);
            if (!statement)
                return false;
            for (size_t i = 0; i < count; ++i)
                sqlite3_bind_int64(statement, static_cast<int>(i + 1), keys[start + i]);
            while (sqlite3_step(statement) == SQLITE_ROW) {
                if (auto member = objectForRow(store, destination->rootEntity(), statement, true)) {
                    found[sqlite3_column_int64(statement, keyIndex)].push_back(std::move(member));
                }
            }
            sqlite3_reset(statement);
        }
        const NSRelationshipDescription* inverse = relationship->inverseRelationship;
        for (auto& [ownerKey, list] : ownersByKey) {
            std::vector<std::shared_ptr<NSManagedObject>>& members = found[ownerKey];
            for (NSManagedObject* owner : list) {
                if (relationship->toMany) {
                    NSManagedObject::ToMany& slot = owner->toMany_[relationship->slot];
                    for (const auto& member : members) {
                        if (member->deleted_)
                            continue;
                        if (!inverse->toMany) {
                            const NSManagedObject::ToOne& back = member->toOne_[inverse->slot];
                            if (back.loaded && back.object.get() != owner)
                                continue;
                        }
                        if (slot.members.insert(member.get()).second)
                            slot.objects.push_back(member);
                    }
                    slot.loaded = true;
                } else {
                    NSManagedObject::ToOne& slot = owner->toOne_[relationship->slot];
                    slot.object = members.empty() ? nullptr : members.front();
                    slot.loaded = true;
                }
            }
            reached.insert(reached.end(), members.begin(), members.end());
        }
    }
    return prefetch(reached, path, step + 1, error);
}

std::optional<std::vector<std::shared_ptr<NSManagedObject>>>
NSManagedObjectContext::executeFetchRequest(const NSFetchRequest& request, NSError* error) {
    return fetchObjects(request, false, error);
}

std::optional<std::vector<NSManagedObjectID>>
NSManagedObjectContext::executeFetchRequestForObjectIDs(const NSFetchRequest& request,
                                                        NSError* error) {
    auto objects = fetchObjects(request, true, error);
    if (!objects)
        return std::nullopt;
    std::vector<NSManagedObjectID> ids;
    ids.reserve(objects->size());
    for (const auto& object : *objects)
        ids.push_back(object->objectID_);
    return ids;
}

std::optional<std::vector<Value::Dictionary>>
NSManagedObjectContext::executeFetchRequestForDictionaries(const NSFetchRequest& request,
                                                           NSError* error) {
    auto objects = fetchObjects(request, false, error);
    if (!objects)
        return std::nullopt;
    std::vector<Value::Dictionary> rows;
    rows.reserve(objects->size());
    for (const auto& object : *objects) {
        Value::Dictionary row;
        for (const auto& attribute : object->entity_->attributes()) {
            if (attribute->transient)
                continue;
            if (!request.propertiesToFetch.empty() &&
                std::find(request.propertiesToFetch.begin(), request.propertiesToFetch.end(),
                          attribute->name) == request.propertiesToFetch.end()) {
                continue;
            }
            const Value& value = object->values_[attribute->slot];
            if (!value.isNull())
                row[attribute->name] = value;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<size_t> NSManagedObjectContext::countForFetchRequest(const NSFetchRequest& request,
                                                                   NSError* error) {
    const NSManagedObjectModel* model =
        coordinator_ ? coordinator_->managedObjectModel().get() : nullptr;
    const NSEntityDescription* entity = model ? model->entityNamed(request.entityName) : nullptr;
    if (!entity) {
        setError(error, CoreDataErrors::NSPersistentStoreOperationError,
                 "No entity named " + request.entityName);
        return std::nullopt;
    }
    SplitPredicate split = splitPredicate(request.predicate, entity);
    bool pending = false;
    if (request.includesPendingChanges) {
        for (const auto& object : changed_) {
            if ((object->inserted_ || object->deleted_) && object->entity_->isKindOfEntity(entity))
                pending = true;
        }
    }
    if (!split.memory.empty() || pending) {
        auto ids = fetchObjects(request, true, error);
        if (!ids)
            return std::nullopt;
        return ids->size();
    }
    size_t total = 0;
    for (const auto& store : storesForRequest(request, entity)) {
        SQLiteConnection* db = connection(store, error);
        if (!db)
            return std::nullopt;
        std::string sql =
            "SELECT COUNT(*) FROM " + entity->tableName() + " t0 WHERE 1" +
            PredicateSQLCompiler::entityRestriction(entity, "t0", request.includesSubentities);
        std::vector<Value> bindings;
        if (split.sql) {
            std::string condition;
            PredicateSQLCompiler(store.get(), entity).compile(*split.sql, &condition, &bindings);
            sql += " AND " + condition;
        }
        sqlite3_stmt* statement = db->prepare(sql, error);
        if (!statement)
            return std::nullopt;
        for (size_t i = 0; i < bindings.size(); ++i) {
            SQLiteConnection::bind(statement, static_cast<int>(i + 1), bindings[i]);
        }
        if (sqlite3_step(statement) != SQLITE_ROW) {
            db->setError(error, "Count of " + request.entityName);
            sqlite3_reset(statement);
            return std::nullopt;
        }
        total += static_cast<size_t>(sqlite3_column_int64(statement, 0));
        sqlite3_reset(statement);
    }
    total = total > request.fetchOffset ? total - request.fetchOffset : 0;
    if (request.fetchLimit > 0)
        total = std::min(total, request.fetchLimit);
    return total;
}

void NSManagedObjectContext::deleteObject(const std::shared_ptr<NSManagedObject>& object) {
    if (!object || object->context_.lock().get() != this)
        return;
    deleteWithRules(object);
}

void NSManagedObjectContext::deleteWithRules(const std::shared_ptr<NSManagedObject>& object) {
    if (object->deleted_)
        return;
    object->fireFault();
    object->deleted_ = true;
    noteChanged(object);
    for (const auto& relationship : object->entity_->relationships()) {
        std::vector<std::shared_ptr<NSManagedObject>> targets;
        if (relationship->toMany) {
            targets = object->loadedToMany(relationship.get()).objects;
        } else if (auto target = object->loadedToOne(relationship.get()).object) {
            targets.push_back(std::move(target));
        }
        if (relationship->deleteRule == NSDeleteRule::NoAction ||
            relationship->deleteRule == NSDeleteRule::Deny) {
            continue;
        }
        const NSRelationshipDescription* inverse = relationship->inverseRelationship;
        for (const auto& target : targets) {
            if (inverse && !target->deleted_) {
                if (inverse->toMany) {
                    target->primitiveRemove(inverse, object.get());
                } else if (target->loadedToOne(inverse).object == object) {
                    target->primitiveSetToOne(inverse, nullptr);
                }
            }
            if (relationship->deleteRule == NSDeleteRule::Cascade)
                deleteWithRules(target);
        }
    }
}

bool NSManagedObjectContext::hasChanges() const {
    return std::any_of(changed_.begin(), changed_.end(), [](const auto& object) {
        return object->updated_ || (object->inserted_ != object->deleted_);
    });
}

std::vector<std::shared_ptr<NSManagedObject>> NSManagedObjectContext::insertedObjects() const {
    std::vector<std::shared_ptr<NSManagedObject>> result;
    for (const auto& object : changed_) {
        if (object->inserted_ && !object->deleted_)
            result.push_back(object);
    }
    return result;
}

std::vector<std::shared_ptr<NSManagedObject>> NSManagedObjectContext::updatedObjects() const {
    std::vector<std::shared_ptr<NSManagedObject>> result;
    for (const auto& object : changed_) {
        if (object->updated_ && !object->inserted_ && !object->deleted_)
            result.push_back(object);
    }
    return result;
}

std::vector<std::shared_ptr<NSManagedObject>> NSManagedObjectContext::deletedObjects() const {
    std::vector<std::shared_ptr<NSManagedObject>> result;
    for (const auto& object : changed_) {
        if (object->deleted_ && !object->inserted_)
            result.push_back(object);
    }
    return result;
}

void NSManagedObjectContext::detach(NSManagedObject& object) {
    object.clearRelationships();
    object.context_.reset();
    object.batch_.reset();
    object.inChangeList_ = false;
    object.pendingChange_ = false;
    object.announcedInsert_ = false;
}

void NSManagedObjectContext::reset() {
    for (auto& [id, weak] : registered_) {
        if (auto object = weak.lock())
            detach(*object);
    }
    for (auto& object : changed_)
        detach(*object);
    for (auto& object : unprocessed_)
        detach(*object);
    registered_.clear();
    retained_.clear();
    changed_.clear();
    unprocessed_.clear();
    connections_.clear();
}

void NSManagedObjectContext::refreshObjectMergeChanges(
    const std::shared_ptr<NSManagedObject>& object, bool mergeChanges) {
    if (!object || object->context_.lock().get() != this || object->inserted_)
        return;
    if (object->hasChanges() && mergeChanges)
        return;
    if (object->hasChanges()) {
        object->updated_ = false;
        object->deleted_ = false;
        object->inChangeList_ = false;
        changed_.erase(std::remove(changed_.begin(), changed_.end(), object), changed_.end());
    }
    object->clearRelationships();
    for (const auto& attribute : object->entity_->attributes()) {
        if (attribute->transient)
            continue;
        object->values_[attribute->slot] = Value();
        object->transformed_[attribute->slot].reset();
    }
    object->fault_ = true;
    object->didTurnIntoFault();
}
