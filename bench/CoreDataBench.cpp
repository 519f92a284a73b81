// The Core Data stand-in beside the same work done with plain SQLite on the
// same file: indexed fetch, CONTAINS[cd] over names, faulting, insert and save.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"

namespace {

constexpr int kObjects = 200000;
constexpr int kPlaces = 50000;
constexpr int kFaults = 10000;
constexpr int kInserts = 100000;

const char* kModel = R"(
model Bench
entity object
    attribute key integer64 indexed
    attribute name string
    attribute latitude double
    attribute typeID integer32
entity place
    attribute name string
)";

std::string benchDirectory() {
    static const std::string path = [] {
        auto directory = std::filesystem::temp_directory_path() / "kvcoredata-bench";
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        return directory.string();
    }();
    return path;
}

std::string nameFor(int i) {
    static const char* syllables[] = {"ber",  "Zü",  "rich", "ma", "in", "Öl",
                                      "stra", "sse", "ga",   "te", "lo", "ne"};
    std::string name;
    for (int n = i * 7919 + 13, k = 0; k < 3; ++k, n /= 12)
        name += syllables[n % 12];
    return name + " " + std::to_string(i);
}

std::shared_ptr<NSManagedObjectModel> model() {
    static auto shared = NSManagedObjectModel::modelWithText(kModel);
    return shared;
}

// The 200,000-row store, written once through the stand-in.
struct Store {
    std::string path = benchDirectory() + "/store.sqlite";
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator;
    std::vector<NSManagedObjectID> objectIDs;

    Store() {
        coordinator = std::make_shared<NSPersistentStoreCoordinator>(model());
        coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, nullptr);
        auto context = newContext();
        std::vector<std::shared_ptr<NSManagedObject>> objects;
        for (int i = 0; i < kObjects; ++i) {
            auto object = context->insertNewObjectForEntityForName("object");
            object->setValueForKey("key", Value(i));
            object->setValueForKey("name", Value(nameFor(i)));
            object->setValueForKey("latitude", Value(47.0 + i * 1e-6));
            object->setValueForKey("typeID", Value(i % 10));
            objects.push_back(object);
        }
        for (int i = 0; i < kPlaces; ++i) {
            context->insertNewObjectForEntityForName("place")->setValueForKey("name",
                                                                              Value(nameFor(i)));
        }
        context->save();
        for (int i = 0; i < kObjects; i += kObjects / kFaults)
            objectIDs.push_back(objects[i]->objectID());
    }

    std::shared_ptr<NSManagedObjectContext> newContext() const {
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        return context;
    }
};

Store& store() {
    static Store shared;
    return shared;
}

struct RawDatabase {
    sqlite3* db = nullptr;
    explicit RawDatabase(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    }
    ~RawDatabase() { sqlite3_close(db); }
    sqlite3_stmt* prepare(const char* sql) const {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
        return statement;
    }
};

// What a row read costs either way: the values copied out.
struct Row {
    int64_t key;
    std::string name;
    double latitude;
    int64_t typeID;
};

Row readRow(sqlite3_stmt* statement, int first) {
    return Row{
        sqlite3_column_int64(statement, first),
        std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, first + 1))),
        sqlite3_column_double(statement, first + 2), sqlite3_column_int64(statement, first + 3)};
}

void BM_FetchByIndexedKey_CoreData(benchmark::State& state) {
    auto context = store().newContext();
    auto predicate = NSPredicate::predicateWithFormat("key = $KEY");
    std::mt19937 random(1);
    NSFetchRequest request("object");
    for (auto _ : state) {
        request.predicate = predicate->predicateWithSubstitutionVariables(
            {{"KEY", Value(static_cast<long long>(random() % kObjects))}});
        auto found = context->executeFetchRequest(request);
        benchmark::DoNotOptimize(found->front()->stringForKey("name"));
    }
}

void BM_FetchByIndexedKey_SQLite(benchmark::State& state) {
    store();
    RawDatabase raw(store().path);
    sqlite3_stmt* statement = raw.prepare(
        "SELECT Z_PK, Z_ENT, Z_OPT, ZKEY, ZNAME, ZLATITUDE, ZTYPEID FROM ZOBJECT WHERE ZKEY = ?");
    std::mt19937 random(1);
    for (auto _ : state) {
        sqlite3_bind_int64(statement, 1, random() % kObjects);
        std::vector<Row> rows;
        while (sqlite3_step(statement) == SQLITE_ROW)
            rows.push_back(readRow(statement, 3));
        sqlite3_reset(statement);
        benchmark::DoNotOptimize(rows.front().name);
    }
    sqlite3_finalize(statement);
}

void BM_ContainsCDOverNames_CoreData(benchmark::State& state) {
    auto context = store().newContext();
    NSFetchRequest request("place");
    request.predicate = NSPredicate::predicateWithFormat("name CONTAINS[cd] %@", {"ZURICH 1"});
    size_t count = 0;
    for (auto _ : state) {
        auto found = context->executeFetchRequest(request);
        count = found->size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["rows"] = static_cast<double>(count);
}

// The nearest plain query: LIKE ignores ASCII case; its accents must match.
void BM_ContainsCDOverNames_SQLite(benchmark::State& state) {
    store();
    RawDatabase raw(store().path);
    sqlite3_stmt* statement =
        raw.prepare("SELECT Z_PK, Z_ENT, Z_OPT, ZNAME FROM ZPLACE WHERE ZNAME LIKE ?");
    size_t count = 0;
    for (auto _ : state) {
        sqlite3_bind_text(statement, 1, "%ZüRICH 1%", -1, SQLITE_STATIC);
        std::vector<std::pair<int64_t, std::string>> rows;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            rows.emplace_back(sqlite3_column_int64(statement, 0),
                              reinterpret_cast<const char*>(sqlite3_column_text(statement, 3)));
        }
        sqlite3_reset(statement);
        count = rows.size();
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_finalize(statement);
    state.counters["rows"] = static_cast<double>(count);
}

void BM_Fault10000Objects_CoreData(benchmark::State& state) {
    const auto& ids = store().objectIDs;
    for (auto _ : state) {
        auto context = store().newContext();
        std::vector<std::shared_ptr<NSManagedObject>> objects;
        objects.reserve(ids.size());
        for (const auto& id : ids)
            objects.push_back(context->objectWithID(id));
        for (const auto& object : objects)
            benchmark::DoNotOptimize(object->stringForKey("name"));
    }
}

void BM_Fault10000Objects_SQLite(benchmark::State& state) {
    const auto& ids = store().objectIDs;
    RawDatabase raw(store().path);
    sqlite3_stmt* statement = raw.prepare(
        "SELECT Z_PK, Z_ENT, Z_OPT, ZKEY, ZNAME, ZLATITUDE, ZTYPEID FROM ZOBJECT WHERE Z_PK = ?");
    for (auto _ : state) {
        std::vector<Row> rows;
        rows.reserve(ids.size());
        for (const auto& id : ids) {
            sqlite3_bind_int64(statement, 1, id.primaryKey());
            if (sqlite3_step(statement) == SQLITE_ROW)
                rows.push_back(readRow(statement, 3));
            sqlite3_reset(statement);
        }
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_finalize(statement);
}

void BM_InsertAndSave100000_CoreData(benchmark::State& state) {
    std::string path = benchDirectory() + "/insert.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(path);
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model());
        coordinator->addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, nullptr);
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        state.ResumeTiming();
        for (int i = 0; i < kInserts; ++i) {
            auto object = context->insertNewObjectForEntityForName("object");
            object->setValueForKey("key", Value(i));
            object->setValueForKey("name", Value(nameFor(i)));
            object->setValueForKey("latitude", Value(47.0 + i * 1e-6));
            object->setValueForKey("typeID", Value(i % 10));
        }
        if (!context->save())
            state.SkipWithError("save failed");
    }
}

void BM_InsertAndSave100000_SQLite(benchmark::State& state) {
    std::string path = benchDirectory() + "/insert-raw.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(path);
        {
            // The same empty store, made by the stand-in.
            NSPersistentStoreCoordinator coordinator(model());
            coordinator.addPersistentStoreWithType(NSSQLiteStoreType, "", path, {}, nullptr);
        }
        RawDatabase raw(path);
        state.ResumeTiming();
        sqlite3_exec(raw.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = raw.prepare(
            "INSERT INTO ZOBJECT (Z_PK, Z_ENT, Z_OPT, ZKEY, ZNAME, ZLATITUDE, ZTYPEID) VALUES (?, "
            "2, 1, ?, ?, ?, ?)");
        for (int i = 0; i < kInserts; ++i) {
            std::string name = nameFor(i);
            sqlite3_bind_int64(insert, 1, i + 1);
            sqlite3_bind_int64(insert, 2, i);
            sqlite3_bind_text(insert, 3, name.data(), static_cast<int>(name.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 4, 47.0 + i * 1e-6);
            sqlite3_bind_int64(insert, 5, i % 10);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(raw.db, "UPDATE Z_PRIMARYKEY SET Z_MAX = 100000 WHERE Z_ENT = 1", nullptr,
                     nullptr, nullptr);
        sqlite3_exec(raw.db, "COMMIT", nullptr, nullptr, nullptr);
    }
}

}  // namespace

BENCHMARK(BM_FetchByIndexedKey_CoreData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FetchByIndexedKey_SQLite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ContainsCDOverNames_CoreData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContainsCDOverNames_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fault10000Objects_CoreData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fault10000Objects_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertAndSave100000_CoreData)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_InsertAndSave100000_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3);
