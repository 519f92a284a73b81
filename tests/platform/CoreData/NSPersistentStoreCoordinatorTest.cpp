#include <sqlite3.h>

#include "CoreData/NSFetchRequest.h"
#include "CoreDataFixture.h"
#include "Foundation/NSLog.h"

namespace {

// Runs a query on a file with plain SQLite and answers the first column of each row as text.
std::vector<std::string> rawQuery(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                const unsigned char* text = sqlite3_column_text(statement, 0);
                rows.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

// A store of the tests' other model at path; its model, or nullptr.
std::shared_ptr<NSManagedObjectModel> writeStoreOfOtherModel(const std::string& modelPath,
                                                             const std::string& path) {
    auto model = NSManagedObjectModel::modelWithContentsOfFile(modelPath);
    NSPersistentStoreCoordinator other(model);
    if (!model || !other.addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, nullptr))
        return nullptr;
    return model;
}

// A plain SQLite file that no model made.
void writePlainSQLite(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t (x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

using NSPersistentStoreCoordinatorTest = CoreDataTest;

TEST_F(NSPersistentStoreCoordinatorTest, NewStoreHasCoreDataTableLayout) {
    ASSERT_NE(addStore("a.sqlite"), nullptr);
    std::string path = file("a.sqlite");
    auto tables =
        rawQuery(path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    EXPECT_EQ(tables, (std::vector<std::string>{"ZCITY", "ZNODE", "ZOBJECT", "ZTAG", "Z_4TAGS",
                                                "Z_METADATA", "Z_PRIMARYKEY"}));
    auto columns = rawQuery(path, "SELECT name FROM pragma_table_info('ZOBJECT')");
    for (const char* column :
         {"Z_PK", "Z_ENT", "Z_OPT", "ZNAME", "ZTIMESTAMP", "ZPAYLOAD", "ZCITY", "ZLEVELS"}) {
        EXPECT_NE(std::find(columns.begin(), columns.end(), column), columns.end()) << column;
    }
    EXPECT_EQ(std::find(columns.begin(), columns.end(), "ZDISPLAYNAME"), columns.end());
    EXPECT_EQ(rawQuery(path, "SELECT name FROM pragma_table_info('Z_4TAGS')"),
              (std::vector<std::string>{"Z_4OBJECTS", "Z_5TAGS"}));
    EXPECT_EQ(rawQuery(path, "SELECT Z_NAME FROM Z_PRIMARYKEY ORDER BY Z_ENT"),
              (std::vector<std::string>{"building", "city", "node", "object", "tag"}));
    EXPECT_EQ(rawQuery(path, "SELECT Z_SUPER FROM Z_PRIMARYKEY WHERE Z_NAME = 'building'"),
              std::vector<std::string>{"4"});
}

TEST_F(NSPersistentStoreCoordinatorTest, RowsAreWrittenInCoreDataForm) {
    auto store = addStore("a.sqlite");
    auto context = newContext();
    auto city = context->insertNewObjectForEntityForName("city");
    city->setValueForKey("name", Value("Zürich"));
    auto object = insertObject(context, "Opera");
    object->setValueForKey("timestamp",
                           Value(NSDate::dateWithTimeIntervalSinceReferenceDate(1000.5)));
    object->setValueForKey("flag", Value(true));
    object->setObjectForKey("city", city);
    auto building = context->insertNewObjectForEntityForName("building");
    building->setValueForKey("name", Value("Tower"));
    building->setValueForKey("levels", Value(12));
    ASSERT_TRUE(context->save());

    std::string path = file("a.sqlite");
    EXPECT_EQ(rawQuery(path, "SELECT ZTIMESTAMP FROM ZOBJECT WHERE ZNAME = 'Opera'"),
              std::vector<std::string>{"1000.5"});
    EXPECT_EQ(
        rawQuery(path,
                 "SELECT ZFLAG || '/' || Z_ENT || '/' || Z_OPT FROM ZOBJECT WHERE ZNAME = 'Opera'"),
        std::vector<std::string>{"1/4/1"});
    EXPECT_EQ(rawQuery(path, "SELECT Z_ENT || '/' || ZLEVELS FROM ZOBJECT WHERE ZNAME = 'Tower'"),
              std::vector<std::string>{"1/12"});
    EXPECT_EQ(
        rawQuery(path,
                 "SELECT ZCITY = (SELECT Z_PK FROM ZCITY) FROM ZOBJECT WHERE ZNAME = 'Opera'"),
        std::vector<std::string>{"1"});
    EXPECT_EQ(rawQuery(path, "SELECT Z_MAX FROM Z_PRIMARYKEY WHERE Z_NAME = 'object'"),
              std::vector<std::string>{"2"});

    object->setValueForKey("rank", Value(5));
    ASSERT_TRUE(context->save());
    EXPECT_EQ(rawQuery(path, "SELECT Z_OPT FROM ZOBJECT WHERE ZNAME = 'Opera'"),
              std::vector<std::string>{"2"});
    EXPECT_EQ(object->objectID().URIRepresentation(),
              "x-coredata://" + store->identifier() + "/object/p" +
                  std::to_string(object->objectID().primaryKey()));
}

TEST_F(NSPersistentStoreCoordinatorTest, SeveralStoresAnswerOneFetch) {
    auto first = addStore("first.sqlite");
    auto second = addStore("second.sqlite");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->identifier(), second->identifier());
    auto context = newContext();
    auto a = insertObject(context, "b-first");
    auto b = insertObject(context, "a-second");
    context->assignObjectToPersistentStore(b, second);
    ASSERT_TRUE(context->save());
    EXPECT_EQ(a->objectID().persistentStore(), first);
    EXPECT_EQ(b->objectID().persistentStore(), second);

    auto fresh = newContext();
    NSFetchRequest request("object");
    request.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("name", true)};
    auto all = fresh->executeFetchRequest(request);
    ASSERT_TRUE(all);
    EXPECT_EQ(names(*all), (std::vector<std::string>{"a-second", "b-first"}));
    request.affectedStores = {first};
    EXPECT_EQ(names(*fresh->executeFetchRequest(request)), std::vector<std::string>{"b-first"});
    request.affectedStores.clear();
    request.fetchLimit = 1;
    request.fetchOffset = 1;
    EXPECT_EQ(names(*fresh->executeFetchRequest(request)), std::vector<std::string>{"b-first"});
    EXPECT_EQ(fresh->countForFetchRequest(NSFetchRequest("object")), 2u);

    // The same key in two stores names two different objects.
    EXPECT_EQ(a->objectID().primaryKey(), b->objectID().primaryKey());
    EXPECT_NE(a->objectID(), b->objectID());
    auto viaURI =
        coordinator_->managedObjectIDForURIRepresentation(b->objectID().URIRepresentation());
    EXPECT_EQ(viaURI, b->objectID());
    EXPECT_EQ(fresh->existingObjectWithID(viaURI)->stringForKey("name"), "a-second");

    ASSERT_TRUE(coordinator_->removePersistentStore(second, nullptr));
    EXPECT_EQ(names(*newContext()->executeFetchRequest(NSFetchRequest("object"))),
              std::vector<std::string>{"b-first"});
    EXPECT_TRUE(coordinator_->managedObjectIDForURIRepresentation(b->objectID().URIRepresentation())
                    .isNull());
}

TEST_F(NSPersistentStoreCoordinatorTest, ReadOnlyStoreRefusesWrites) {
    {
        auto writable = addStore("ro.sqlite");
        auto context = newContext();
        insertObject(context, "kept");
        ASSERT_TRUE(context->save());
        ASSERT_TRUE(coordinator_->removePersistentStore(writable, nullptr));
    }
    std::vector<uint8_t> before = bytesOfFile(file("ro.sqlite"));
    auto store = addStore(
        "ro.sqlite",
        {{NSReadOnlyPersistentStoreOption, Value(true)},
         {NSSQLitePragmasOption, Value(Value::Dictionary{{"journal_mode", Value("DELETE")}})}});
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(store->isReadOnly());
    auto context = newContext();
    auto objects = context->executeFetchRequest(NSFetchRequest("object"));
    ASSERT_TRUE(objects && objects->size() == 1);
    objects->front()->setValueForKey("name", Value("changed"));
    NSError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, CoreDataErrors::NSPersistentStoreSaveError);
    EXPECT_TRUE(context->hasChanges());

    context->reset();
    insertObject(context, "new");
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(bytesOfFile(file("ro.sqlite")), before);

    NSError missing;
    EXPECT_EQ(addStore("absent.sqlite", {{NSReadOnlyPersistentStoreOption, Value(true)}}, &missing),
              nullptr);
    EXPECT_FALSE(std::filesystem::exists(file("absent.sqlite")));
}

TEST_F(NSPersistentStoreCoordinatorTest, CorruptAndForeignFilesAreRejectedUntouched) {
    {
        std::ofstream out(file("corrupt.sqlite"), std::ios::binary);
        out << "This is not a database, just text that is long enough to look like a header. ";
        for (int i = 0; i < 100; ++i)
            out << "garbage ";
    }
    ASSERT_TRUE(writeStoreOfOtherModel(dataPath("Other.model"), file("other.sqlite")));
    writePlainSQLite(file("plain.sqlite"));
    const struct {
        const char* name;
        long code;
    } cases[] = {
        {"corrupt.sqlite", NSError::NSFileReadCorruptFileError},
        {"other.sqlite", CoreDataErrors::NSPersistentStoreIncompatibleVersionHashError},
        {"plain.sqlite", CoreDataErrors::NSPersistentStoreIncompatibleSchemaError},
    };
    auto good = addStore("good.sqlite");
    ASSERT_NE(good, nullptr);
    for (const auto& test : cases) {
        for (bool readOnly : {false, true}) {
            std::vector<uint8_t> before = bytesOfFile(file(test.name));
            NSError error;
            EXPECT_EQ(
                addStore(test.name, {{NSReadOnlyPersistentStoreOption, Value(readOnly)}}, &error),
                nullptr)
                << test.name;
            EXPECT_EQ(error.code, test.code) << test.name;
            EXPECT_EQ(error.domain, NSError::NSCocoaErrorDomain);
            EXPECT_EQ(bytesOfFile(file(test.name)), before) << test.name;
            EXPECT_FALSE(std::filesystem::exists(file(std::string(test.name) + "-journal")));
        }
    }
    EXPECT_EQ(coordinator_->persistentStores(),
              std::vector<std::shared_ptr<NSPersistentStore>>{good});
}

TEST_F(NSPersistentStoreCoordinatorTest, MetadataTellsWhetherAStoreFitsBeforeItIsAdded) {
    ASSERT_NE(addStore("good.sqlite"), nullptr);
    auto otherModel = writeStoreOfOtherModel(dataPath("Other.model"), file("other.sqlite"));
    ASSERT_TRUE(otherModel);
    std::ofstream(file("text.sqlite")) << "not a database, just text long enough for a header";
    std::ofstream(file("empty.sqlite")).flush();
    writePlainSQLite(file("plain.sqlite"));
    // Looking is quiet: the caller decides what to report.
    std::vector<std::string> logged;
    auto previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged.push_back(line); });
    NSError error;
    auto good = NSPersistentStoreCoordinator::metadataForPersistentStoreOfTypeURL(
        NSSQLiteStoreType, file("good.sqlite"), &error);
    ASSERT_TRUE(good);
    EXPECT_TRUE(model_->isConfigurationCompatibleWithStoreMetadata("", *good));
    EXPECT_FALSE(otherModel->isConfigurationCompatibleWithStoreMetadata("", *good));
    auto foreign = NSPersistentStoreCoordinator::metadataForPersistentStoreOfTypeURL(
        NSSQLiteStoreType, file("other.sqlite"), &error);
    ASSERT_TRUE(foreign);
    EXPECT_FALSE(model_->isConfigurationCompatibleWithStoreMetadata("", *foreign));
    const struct {
        const char* name;
        long code;
    } refused[] = {
        {"text.sqlite", NSError::NSFileReadCorruptFileError},
        {"empty.sqlite", CoreDataErrors::NSPersistentStoreIncompatibleSchemaError},
        {"plain.sqlite", CoreDataErrors::NSPersistentStoreIncompatibleSchemaError},
        {"missing.sqlite", NSError::NSFileNoSuchFileError},
    };
    for (const auto& test : refused) {
        const auto before = bytesOfFile(file(test.name));
        EXPECT_FALSE(NSPersistentStoreCoordinator::metadataForPersistentStoreOfTypeURL(
            NSSQLiteStoreType, file(test.name), &error))
            << test.name;
        EXPECT_EQ(error.code, test.code) << test.name;
        EXPECT_EQ(bytesOfFile(file(test.name)), before) << test.name;
    }
    NSLogSetSink(previous);
    EXPECT_TRUE(logged.empty());
    EXPECT_FALSE(std::filesystem::exists(file("missing.sqlite")));
}

TEST_F(NSPersistentStoreCoordinatorTest, ReopenedStoreKeepsIdentityAndRows) {
    std::string uri;
    std::string identifier;
    {
        auto store = addStore("keep.sqlite");
        identifier = store->identifier();
        auto context = newContext();
        auto object = insertObject(context, "stays");
        ASSERT_TRUE(context->save());
        uri = object->objectID().URIRepresentation();
        coordinator_->removePersistentStore(store, nullptr);
    }
    auto again = std::make_shared<NSPersistentStoreCoordinator>(model_);
    auto store =
        again->addPersistentStoreWithType(NSSQLiteStoreType, "", file("keep.sqlite"), {}, nullptr);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->identifier(), identifier);
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(again);
    auto object = context->existingObjectWithID(again->managedObjectIDForURIRepresentation(uri));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->stringForKey("name"), "stays");
    // New rows continue after the highest key.
    auto next = insertObject(context, "next");
    ASSERT_TRUE(context->save());
    EXPECT_EQ(next->objectID().primaryKey(), object->objectID().primaryKey() + 1);
}

TEST_F(NSPersistentStoreCoordinatorTest, ConfigurationLimitsTheStoresEntities) {
    auto guide = addStore("guide.sqlite", {}, nullptr, "Guide");
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->holdsEntity(model_->entityNamed("building")));
    NSError error;
    EXPECT_EQ(addStore("x.sqlite", {}, &error, "Nope"), nullptr);
    EXPECT_EQ(error.code, CoreDataErrors::NSPersistentStoreOperationError);
}

TEST_F(NSPersistentStoreCoordinatorTest, ExhaustedKeyCounterFailsTheSave) {
    addStore("a.sqlite");
    {
        sqlite3* db = nullptr;
        sqlite3_open(file("a.sqlite").c_str(), &db);
        sqlite3_exec(db,
                     "UPDATE Z_PRIMARYKEY SET Z_MAX = 9223372036854775807 WHERE Z_NAME = 'object'",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    auto context = newContext();
    insertObject(context, "one too many");
    NSError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, CoreDataErrors::NSPersistentStoreSaveError);
    EXPECT_TRUE(context->hasChanges());
}

// A store whose file is overwritten while open: the fetch fails, and the
// coordinator's handler hears which file is damaged, from an open
// connection as from one opened afterwards.
TEST_F(NSPersistentStoreCoordinatorTest, ADamagedStoreIsToldToTheHandler) {
    auto store = addStore("places.sqlite");
    ASSERT_NE(store, nullptr);
    auto writer = newContext();
    insertObject(writer, "Markt");
    ASSERT_TRUE(writer->save());
    std::vector<std::pair<std::string, long>> told;
    coordinator_->setDamagedStoreHandler([&](const std::string& path, const NSError& error) {
        told.emplace_back(path, error.code);
    });
    auto open = newContext();
    NSFetchRequest request("object");
    ASSERT_TRUE(open->executeFetchRequest(request));
    EXPECT_TRUE(told.empty());

    {
        std::ofstream out(file("places.sqlite"), std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 1000; ++i)
            out << "garbage ";
    }
    NSError error;
    EXPECT_FALSE(open->executeFetchRequest(request, &error));
    EXPECT_EQ(error.code, NSError::NSFileReadCorruptFileError);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, file("places.sqlite"));
    EXPECT_EQ(told[0].second, NSError::NSFileReadCorruptFileError);
    EXPECT_FALSE(newContext()->countForFetchRequest(request));
    EXPECT_EQ(told.size(), 2u);
}
