#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// One SQLite connection with its prepared statements, the string functions
// and collations that compiled predicates call, and the store's pragmas.
// Used by one thread at a time (each context owns its own).
class SQLiteConnection {
  public:
    enum class Mode { ReadOnly, ReadWrite, Create };

    static std::unique_ptr<SQLiteConnection> open(const std::string& path, Mode mode,
                                                  const Value::Dictionary& pragmas, NSError* error);
    ~SQLiteConnection();
    SQLiteConnection(const SQLiteConnection&) = delete;
    SQLiteConnection& operator=(const SQLiteConnection&) = delete;

    sqlite3* handle() const { return db_; }
    // A cached statement, reset and unbound; nullptr with *error on a bad query.
    sqlite3_stmt* prepare(const std::string& sql, NSError* error);
    bool execute(const std::string& sql, NSError* error);
    // Fills *error with the connection's last SQLite error.
    void setError(NSError* error, const std::string& what) const;
    // Told, on the failing thread, of every error that finds the file
    // damaged (SQLite's corrupt and not-a-database errors).
    void setDamageObserver(std::function<void(const NSError&)> observer) {
        damageObserver_ = std::move(observer);
    }
    static bool isDamageError(const NSError& error);

    // Binds a stored value: dates as seconds since 2001, booleans as integers.
    static void bind(sqlite3_stmt* statement, int index, const Value& value);
    static Value column(sqlite3_stmt* statement, int index);

  private:
    explicit SQLiteConnection(sqlite3* db) : db_(db) {}

    sqlite3* db_;
    std::function<void(const NSError&)> damageObserver_;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// Registers the functions kv_streq, kv_cmp and kv_strop and the collations
// KV_NOCASE, KV_LOCALIZED and KV_LOCALIZED_STANDARD.
void SQLiteRegisterPredicateFunctions(sqlite3* db);
