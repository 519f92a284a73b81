#include "CoreData/NSPersistentStoreCoordinator.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/SQLiteConnection.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/NSUUID.h"

namespace {

constexpr const char* kStoreUUIDKey = "NSStoreUUID";
constexpr const char* kStoreTypeKey = "NSStoreType";
constexpr const char* kVersionHashesKey = NSManagedObjectModel::NSStoreModelVersionHashesKey;

void setError(NSError* error, long code, const std::string& description, const std::string& path) {
    NSLogWithLevel(NSLogLevel::Error, "Persistent store %s: %s", path.c_str(), description.c_str());
    if (!error)
        return;
    Value::Dictionary info{{NSError::NSLocalizedDescriptionKey, Value(description)}};
    if (!path.empty())
        info[NSError::NSFilePathErrorKey] = Value(path);
    *error = NSError::errorWithDomain(NSError::NSCocoaErrorDomain, code, std::move(info));
}

const char* columnType(NSAttributeType type) {
    switch (type) {
        case NSAttributeType::Integer16:
        case NSAttributeType::Integer32:
        case NSAttributeType::Integer64:
        case NSAttributeType::Boolean:
            return "INTEGER";
        case NSAttributeType::Double:
        case NSAttributeType::Float:
            return "FLOAT";
        case NSAttributeType::String:
            return "VARCHAR";
        case NSAttributeType::Date:
            return "TIMESTAMP";
        case NSAttributeType::Binary:
        case NSAttributeType::Transformable:
            return "BLOB";
    }
    return "";
}

bool byNumber(const NSEntityDescription* a, const NSEntityDescription* b) {
    return a->entityNumber() < b->entityNumber();
}

void collectFamily(const NSEntityDescription* entity, std::set<const NSEntityDescription*>* out) {
    out->insert(entity);
    for (const NSEntityDescription* sub : entity->subentities())
        collectFamily(sub, out);
}

// The entities a store of this configuration holds (all of the model for none).
std::vector<const NSEntityDescription*> heldEntities(const NSPersistentStore& store,
                                                     const NSManagedObjectModel& model) {
    std::vector<const NSEntityDescription*> held;
    for (const auto& entity : model.entities()) {
        if (store.holdsEntity(entity.get()))
            held.push_back(entity.get());
    }
    return held;
}

bool fileIsNonEmpty(const std::string& path, bool* exists) {
    struct stat info {};
    *exists = ::stat(path.c_str(), &info) == 0;
    return *exists && info.st_size > 0;
}

}  // namespace

NSPersistentStoreCoordinator::NSPersistentStoreCoordinator(
    std::shared_ptr<NSManagedObjectModel> model)
    : model_(std::move(model)) {}

std::shared_ptr<NSPersistentStore> NSPersistentStoreCoordinator::addPersistentStoreWithType(
    const std::string& type, const std::string& configuration, const std::string& path,
    const Value::Dictionary& options, NSError* error) {
    if (type != NSSQLiteStoreType) {
        setError(error, CoreDataErrors::NSPersistentStoreInvalidTypeError,
                 "Unknown store type " + type, path);
        return nullptr;
    }
    if (!model_) {
        setError(error, CoreDataErrors::NSPersistentStoreOperationError, "No managed object model",
                 path);
        return nullptr;
    }
    if (path.empty()) {
        setError(error, CoreDataErrors::NSPersistentStoreOperationError, "No store path", path);
        return nullptr;
    }
    if (!configuration.empty() && !model_->hasConfiguration(configuration)) {
        setError(error, CoreDataErrors::NSPersistentStoreOperationError,
                 "Unknown configuration " + configuration, path);
        return nullptr;
    }
    auto store = std::make_shared<NSPersistentStore>(configuration, path, options);
    if (auto found = options.find(NSReadOnlyPersistentStoreOption); found != options.end()) {
        store->readOnly_ = found->second.boolValue().value_or(false);
    }
    if (auto found = options.find(NSSQLitePragmasOption); found != options.end()) {
        if (const Value::Dictionary* pragmas = found->second.dictionaryValue())
            store->pragmas_ = *pragmas;
    }
    if (!configuration.empty()) {
        for (const std::string& name : model_->entityNamesForConfiguration(configuration)) {
            collectFamily(model_->entityNamed(name), &store->entities_);
        }
    }

    bool exists = false;
    bool hasContent = fileIsNonEmpty(path, &exists);
    if (!exists && store->readOnly_) {
        setError(error, NSError::NSFileNoSuchFileError, "No store file to open read-only", path);
        return nullptr;
    }
    bool isEmpty = !hasContent;
    if (hasContent) {
        // Look first through a read-only connection, so a file that is not
        // ours is never written to.
        std::unique_ptr<SQLiteConnection> reader =
            SQLiteConnection::open(path, SQLiteConnection::Mode::ReadOnly, {}, error);
        if (!reader || !checkExistingStore(*reader, *store, &isEmpty, error))
            return nullptr;
    }
    if (isEmpty) {
        if (store->readOnly_) {
            setError(error, CoreDataErrors::NSPersistentStoreIncompatibleSchemaError,
                     "Empty store opened read-only", path);
            return nullptr;
        }
        std::unique_ptr<SQLiteConnection> writer =
            SQLiteConnection::open(path, SQLiteConnection::Mode::Create, store->pragmas_, error);
        if (!writer || !createSchema(*writer, *store, error)) {
            writer.reset();
            if (!exists)
                ::remove(path.c_str());
            return nullptr;
        }
    }
    std::lock_guard lock(mutex_);
    stores_.push_back(store);
    return store;
}

std::optional<Value::Dictionary> NSPersistentStoreCoordinator::metadataForPersistentStoreOfTypeURL(
    const std::string& type, const std::string& path, NSError* error) {
    auto fail = [&](long code, const std::string& description) {
        if (error)
            *error =
                NSError::errorWithDomain(NSError::NSCocoaErrorDomain, code,
                                         {{NSError::NSLocalizedDescriptionKey, Value(description)},
                                          {NSError::NSFilePathErrorKey, Value(path)}});
        return std::nullopt;
    };
    if (type != NSSQLiteStoreType)
        return fail(CoreDataErrors::NSPersistentStoreInvalidTypeError,
                    "Unknown store type " + type);
    bool exists = false;
    if (!fileIsNonEmpty(path, &exists))
        return fail(exists ? CoreDataErrors::NSPersistentStoreIncompatibleSchemaError
                           : NSError::NSFileNoSuchFileError,
                    exists ? "The file is empty" : "No store file");
    sqlite3* db = nullptr;
    std::optional<Value::Dictionary> metadata;
    long code = NSError::NSFileReadCorruptFileError;
    std::string reason = "Not an SQLite store";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &statement, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            code = CoreDataErrors::NSPersistentStoreIncompatibleSchemaError;
            reason = "The file has no store metadata";
        }
        sqlite3_finalize(statement);
        statement = nullptr;
        if (code != NSError::NSFileReadCorruptFileError &&
            sqlite3_prepare_v2(db, "SELECT Z_PLIST FROM Z_METADATA WHERE Z_VERSION = 1", -1,
                               &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(statement, 0));
            const Value::Data data(bytes, bytes + sqlite3_column_bytes(statement, 0));
            auto parsed = NSPropertyListSerialization::propertyListWithData(data);
            if (parsed && parsed->dictionaryValue())
                metadata = *parsed->dictionaryValue();
            else
                reason = "The store metadata is unreadable";
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    if (!metadata)
        return fail(code, reason);
    return metadata;
}

bool NSPersistentStoreCoordinator::checkExistingStore(SQLiteConnection& connection,
                                                      NSPersistentStore& store, bool* isEmpty,
                                                      NSError* error) const {
    sqlite3_stmt* tables = connection.prepare("SELECT count(*) FROM sqlite_master", error);
    if (!tables || sqlite3_step(tables) != SQLITE_ROW) {
        connection.setError(error, "Not an SQLite store: " + store.path());
        return false;
    }
    *isEmpty = sqlite3_column_int(tables, 0) == 0;
    sqlite3_reset(tables);
    if (*isEmpty)
        return true;
    sqlite3_stmt* metadata =
        connection.prepare("SELECT Z_UUID, Z_PLIST FROM Z_METADATA WHERE Z_VERSION = 1", nullptr);
    if (!metadata || sqlite3_step(metadata) != SQLITE_ROW) {
        setError(error, CoreDataErrors::NSPersistentStoreIncompatibleSchemaError,
                 "The file has no store metadata", store.path());
        return false;
    }
    Value plist = SQLiteConnection::column(metadata, 1);
    sqlite3_reset(metadata);
    std::optional<Value> parsed;
    if (const Value::Data* data = plist.dataValue()) {
        parsed = NSPropertyListSerialization::propertyListWithData(*data);
    }
    const Value::Dictionary* dictionary = parsed ? parsed->dictionaryValue() : nullptr;
    const Value* uuid = dictionary ? parsed->get(kStoreUUIDKey) : nullptr;
    const Value* hashes = dictionary ? parsed->get(kVersionHashesKey) : nullptr;
    if (!uuid || !uuid->stringValue() || !hashes || !hashes->dictionaryValue()) {
        setError(error, CoreDataErrors::NSPersistentStoreIncompatibleSchemaError,
                 "The store metadata is unreadable", store.path());
        return false;
    }
    if (!model_->isConfigurationCompatibleWithStoreMetadata(store.configurationName(),
                                                            *dictionary)) {
        setError(error, CoreDataErrors::NSPersistentStoreIncompatibleVersionHashError,
                 "The store was made by another model", store.path());
        return false;
    }
    store.identifier_ = *uuid->stringValue();
    store.metadata_ = *dictionary;
    return true;
}

bool NSPersistentStoreCoordinator::createSchema(SQLiteConnection& connection,
                                                NSPersistentStore& store, NSError* error) const {
    std::vector<const NSEntityDescription*> held = heldEntities(store, *model_);
    std::string sql = "BEGIN EXCLUSIVE;";
    sql +=
        "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, "
        "Z_MAX INTEGER);";
    sql +=
        "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST "
        "BLOB);";
    std::vector<const NSEntityDescription*> roots;
    std::set<std::string> joinTables;
    for (const NSEntityDescription* entity : held) {
        sql += "INSERT INTO Z_PRIMARYKEY VALUES (" + std::to_string(entity->entityNumber()) +
               ", '" + entity->name() + "', " +
               std::to_string(entity->superentity() ? entity->superentity()->entityNumber() : 0) +
               ", 0);";
        if (std::find(roots.begin(), roots.end(), entity->rootEntity()) == roots.end()) {
            roots.push_back(entity->rootEntity());
        }
    }
    for (const NSEntityDescription* root : roots) {
        std::set<const NSEntityDescription*> members;
        collectFamily(root, &members);
        // In entity number order, so every store of a model has the same schema.
        std::vector<const NSEntityDescription*> family(members.begin(), members.end());
        std::sort(family.begin(), family.end(), byNumber);
        std::vector<std::string> columns;
        std::set<std::string> seen;
        std::vector<std::string> indexes;
        for (const NSEntityDescription* entity : family) {
            for (const auto& attribute : entity->attributes()) {
                if (attribute->transient || !seen.insert(attribute->columnName).second)
                    continue;
                columns.push_back(attribute->columnName + " " +
                                  columnType(attribute->attributeType));
                if (attribute->indexed)
                    indexes.push_back(attribute->columnName);
            }
            for (const auto& relationship : entity->relationships()) {
                if (relationship->isManyToMany() && relationship->ownsJoinTable &&
                    !joinTables.count(relationship->joinTable)) {
                    const std::string& table = relationship->joinTable;
                    joinTables.insert(table);
                    const std::string& a = relationship->joinSourceColumn;
                    const std::string& b = relationship->joinDestinationColumn;
                    sql += "CREATE TABLE " + table + " (" + a + " INTEGER, " + b +
                           " INTEGER, PRIMARY KEY (" + a + ", " + b + "));";
                    sql += "CREATE INDEX " + table + "_" + b + "_INDEX ON " + table + " (" + b +
                           ", " + a + ");";
                }
                if (relationship->toMany || !seen.insert(relationship->columnName).second)
                    continue;
                columns.push_back(relationship->columnName + " INTEGER");
                indexes.push_back(relationship->columnName);
            }
        }
        const std::string& table = root->tableName();
        sql += "CREATE TABLE " + table + " (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER";
        for (const std::string& column : columns)
            sql += ", " + column;
        sql += ");";
        for (const std::string& column : indexes) {
            sql += "CREATE INDEX " + table + "_" + column + "_INDEX ON " + table + " (" + column +
                   ");";
        }
        for (const NSEntityDescription* entity : family) {
            for (const auto& index : entity->indexes()) {
                std::string name = table + "_" + entity->name();
                std::string list;
                for (const std::string& key : index) {
                    const NSAttributeDescription* attribute = entity->attributeNamed(key);
                    const NSRelationshipDescription* relationship = entity->relationshipNamed(key);
                    std::string column =
                        attribute ? attribute->columnName : relationship->columnName;
                    name += "_" + key;
                    list += (list.empty() ? "" : ", ") + column;
                }
                sql += "CREATE INDEX " + name + "_INDEX ON " + table + " (" + list + ");";
            }
        }
    }
    if (!connection.execute(sql, error)) {
        connection.execute("ROLLBACK", nullptr);
        return false;
    }
    store.identifier_ = NSUUID().UUIDString();
    Value::Dictionary hashes;
    for (const NSEntityDescription* entity : held)
        hashes[entity->name()] = Value(entity->versionHash());
    Value::Dictionary metadata{{kStoreUUIDKey, Value(store.identifier_)},
                               {kStoreTypeKey, Value(NSSQLiteStoreType)},
                               {kVersionHashesKey, Value(hashes)}};
    std::optional<Value::Data> plist = NSPropertyListSerialization::dataWithPropertyList(
        Value(metadata), NSPropertyListSerialization::Format::Binary, error);
    sqlite3_stmt* insert =
        plist ? connection.prepare("INSERT INTO Z_METADATA VALUES (1, ?, ?)", error) : nullptr;
    if (!insert) {
        connection.execute("ROLLBACK", nullptr);
        return false;
    }
    SQLiteConnection::bind(insert, 1, Value(store.identifier_));
    SQLiteConnection::bind(insert, 2, Value(*plist));
    if (sqlite3_step(insert) != SQLITE_DONE || !connection.execute("COMMIT", error)) {
        connection.setError(error, "Cannot write store metadata");
        connection.execute("ROLLBACK", nullptr);
        return false;
    }
    sqlite3_reset(insert);
    store.metadata_ = std::move(metadata);
    return true;
}

bool NSPersistentStoreCoordinator::removePersistentStore(
    const std::shared_ptr<NSPersistentStore>& store, NSError* error) {
    std::lock_guard lock(mutex_);
    auto found = std::find(stores_.begin(), stores_.end(), store);
    if (found == stores_.end()) {
        setError(error, CoreDataErrors::NSPersistentStoreOperationError,
                 "The store is not in this coordinator", store ? store->path() : "");
        return false;
    }
    store->attached_ = false;
    stores_.erase(found);
    return true;
}

std::vector<std::shared_ptr<NSPersistentStore>> NSPersistentStoreCoordinator::persistentStores()
    const {
    std::lock_guard lock(mutex_);
    return stores_;
}

NSManagedObjectID NSPersistentStoreCoordinator::managedObjectIDForURIRepresentation(
    const std::string& uri) const {
    const std::string scheme = "x-coredata://";
    if (uri.compare(0, scheme.size(), scheme) != 0)
        return {};
    size_t storeEnd = uri.find('/', scheme.size());
    if (storeEnd == std::string::npos)
        return {};
    size_t entityEnd = uri.find('/', storeEnd + 1);
    if (entityEnd == std::string::npos || entityEnd + 2 >= uri.size() ||
        uri[entityEnd + 1] != 'p') {
        return {};
    }
    std::string identifier = uri.substr(scheme.size(), storeEnd - scheme.size());
    std::string entityName = uri.substr(storeEnd + 1, entityEnd - storeEnd - 1);
    const char* digits = uri.c_str() + entityEnd + 2;
    char* end = nullptr;
    long long key = std::strtoll(digits, &end, 10);
    if (*end != '\0' || key <= 0)
        return {};
    const NSEntityDescription* entity = model_ ? model_->entityNamed(entityName) : nullptr;
    if (!entity)
        return {};
    std::lock_guard lock(mutex_);
    for (auto it = stores_.rbegin(); it != stores_.rend(); ++it) {
        if ((*it)->identifier() == identifier && (*it)->holdsEntity(entity)) {
            return NSManagedObjectID(*it, entity, key, false);
        }
    }
    return {};
}

std::unique_ptr<SQLiteConnection> NSPersistentStoreCoordinator::openConnection(
    const NSPersistentStore& store, NSError* error) const {
    NSError failure;
    auto connection = SQLiteConnection::open(
        store.path(),
        store.isReadOnly() ? SQLiteConnection::Mode::ReadOnly : SQLiteConnection::Mode::ReadWrite,
        store.pragmas(), &failure);
    if (!connection) {
        if (SQLiteConnection::isDamageError(failure))
            damageReport_->tell(store.path(), failure);
        if (error)
            *error = failure;
        return nullptr;
    }
    connection->setDamageObserver([report = damageReport_, path = store.path()](
                                      const NSError& damage) { report->tell(path, damage); });
    return connection;
}

void NSPersistentStoreCoordinator::setDamagedStoreHandler(DamagedStoreHandler handler) {
    std::lock_guard lock(damageReport_->mutex);
    damageReport_->handler = std::move(handler);
}

void NSPersistentStoreCoordinator::DamageReport::tell(const std::string& storePath,
                                                      const NSError& error) {
    DamagedStoreHandler receiver;
    {
        std::lock_guard lock(mutex);
        receiver = handler;
    }
    if (receiver)
        receiver(storePath, error);
}
