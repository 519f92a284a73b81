#include "CoreData/SQLiteConnection.h"
#include <cctype>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSStringFolding.h"
#include "Foundation/NSLog.h"

namespace {

std::string_view text(sqlite3_value* value) {
    const char* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return bytes ? std::string_view(bytes, static_cast<size_t>(sqlite3_value_bytes(value)))
                 : std::string_view();
}

// kv_streq(a, b, options): string equality under folding; two NULLs are
// equal, one NULL is not; never NULL itself.
void streqFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    bool aNull = sqlite3_value_type(argv[0]) == SQLITE_NULL;
    bool bNull = sqlite3_value_type(argv[1]) == SQLITE_NULL;
    if (aNull || bNull) {
        sqlite3_result_int(context, aNull && bNull);
        return;
    }
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT || sqlite3_value_type(argv[1]) != SQLITE_TEXT) {
        sqlite3_result_int(context, 0);
        return;
    }
    int options = sqlite3_value_int(argv[2]);
    auto* matcher = static_cast<NSStringMatcher*>(sqlite3_get_auxdata(context, 1));
    if (!matcher) {
        matcher = new NSStringMatcher(PredicateOperator::Equal, text(argv[1]), options);
        sqlite3_set_auxdata(context, 1, matcher,
                            [](void* p) { delete static_cast<NSStringMatcher*>(p); });
        matcher = static_cast<NSStringMatcher*>(sqlite3_get_auxdata(context, 1));
        if (!matcher) {
            sqlite3_result_int(context,
                               NSStringCompareFolded(text(argv[0]), text(argv[1]), options) == 0);
            return;
        }
    }
    sqlite3_result_int(context, matcher->matches(text(argv[0])));
}

// kv_cmp(a, b, options): -1, 0 or 1 for two strings under folding; NULL otherwise.
void cmpFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT || sqlite3_value_type(argv[1]) != SQLITE_TEXT) {
        sqlite3_result_null(context);
        return;
    }
    int result = NSStringCompareFolded(text(argv[0]), text(argv[1]), sqlite3_value_int(argv[2]));
    sqlite3_result_int(context, result < 0 ? -1 : result > 0 ? 1 : 0);
}

// kv_strop(op, subject, pattern, options): 1 when the string operator holds, else 0.
void stropFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) != SQLITE_TEXT || sqlite3_value_type(argv[2]) != SQLITE_TEXT) {
        sqlite3_result_int(context, 0);
        return;
    }
    auto* matcher = static_cast<NSStringMatcher*>(sqlite3_get_auxdata(context, 2));
    std::unique_ptr<NSStringMatcher> temporary;
    if (!matcher) {
        auto* made = new NSStringMatcher(static_cast<PredicateOperator>(sqlite3_value_int(argv[0])),
                                         text(argv[2]), sqlite3_value_int(argv[3]));
        sqlite3_set_auxdata(context, 2, made,
                            [](void* p) { delete static_cast<NSStringMatcher*>(p); });
        matcher = static_cast<NSStringMatcher*>(sqlite3_get_auxdata(context, 2));
        if (!matcher) {
            // SQLite dropped it at once (a pattern that is not constant).
            temporary = std::make_unique<NSStringMatcher>(
                static_cast<PredicateOperator>(sqlite3_value_int(argv[0])), text(argv[2]),
                sqlite3_value_int(argv[3]));
            matcher = temporary.get();
        }
    }
    sqlite3_result_int(context, matcher->matches(text(argv[1])));
}

int nocaseCollation(void*, int aLength, const void* a, int bLength, const void* b) {
    return NSStringCompareFolded(
        std::string_view(static_cast<const char*>(a), static_cast<size_t>(aLength)),
        std::string_view(static_cast<const char*>(b), static_cast<size_t>(bLength)),
        kPredicateCaseInsensitive);
}

int localizedCollation(void* standard, int aLength, const void* a, int bLength, const void* b) {
    return NSStringLocalizedCompare(
        std::string_view(static_cast<const char*>(a), static_cast<size_t>(aLength)),
        std::string_view(static_cast<const char*>(b), static_cast<size_t>(bLength)),
        standard != nullptr);
}

}  // namespace

void SQLiteRegisterPredicateFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "kv_streq", 3, flags, nullptr, streqFunction, nullptr, nullptr);
    sqlite3_create_function(db, "kv_cmp", 3, flags, nullptr, cmpFunction, nullptr, nullptr);
    sqlite3_create_function(db, "kv_strop", 4, flags, nullptr, stropFunction, nullptr, nullptr);
    static int standardMarker = 1;
    sqlite3_create_collation(db, "KV_NOCASE", SQLITE_UTF8, nullptr, nocaseCollation);
    sqlite3_create_collation(db, "KV_LOCALIZED", SQLITE_UTF8, nullptr, localizedCollation);
    sqlite3_create_collation(db, "KV_LOCALIZED_STANDARD", SQLITE_UTF8, &standardMarker,
                             localizedCollation);
}

std::unique_ptr<SQLiteConnection> SQLiteConnection::open(const std::string& path, Mode mode,
                                                         const Value::Dictionary& pragmas,
                                                         NSError* error) {
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    std::unique_ptr<SQLiteConnection> connection(new SQLiteConnection(db));
    if (rc != SQLITE_OK) {
        connection->setError(error, "Cannot open " + path);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    SQLiteRegisterPredicateFunctions(db);
    for (const auto& [name, value] : pragmas) {
        std::string setting;
        if (const std::string* text = value.stringValue()) {
            setting = *text;
        } else if (auto number = value.integerValue()) {
            setting = std::to_string(*number);
        } else {
            continue;
        }
        bool safeName = !name.empty();
        for (char c : name)
            safeName = safeName && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
        for (char c : setting)
            safeName =
                safeName && (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-');
        if (!safeName) {
            NSLogWithLevel(NSLogLevel::Warning, "Ignoring SQLite pragma %s", name.c_str());
            continue;
        }
        // A read-only connection cannot change the journal; the file keeps its mode.
        if (mode == Mode::ReadOnly && name == "journal_mode")
            continue;
        if (!connection->execute("PRAGMA " + name + " = " + setting, error))
            return nullptr;
    }
    return connection;
}

SQLiteConnection::~SQLiteConnection() {
    for (auto& [sql, statement] : statements_)
        sqlite3_finalize(statement);
    sqlite3_close_v2(db_);
}

sqlite3_stmt* SQLiteConnection::prepare(const std::string& sql, NSError* error) {
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        sqlite3_reset(found->second);
        sqlite3_clear_bindings(found->second);
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                           SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
        setError(error, "Cannot prepare " + sql);
        return nullptr;
    }
    // Predicates with many different argument counts must not grow the cache without bound.
    if (statements_.size() > 256) {
        for (auto& [cached, old] : statements_)
            sqlite3_finalize(old);
        statements_.clear();
    }
    statements_.emplace(sql, statement);
    return statement;
}

bool SQLiteConnection::execute(const std::string& sql, NSError* error) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        setError(error, sql);
        sqlite3_free(message);
        return false;
    }
    return true;
}

void SQLiteConnection::setError(NSError* error, const std::string& what) const {
    int code = db_ ? sqlite3_extended_errcode(db_) : SQLITE_CANTOPEN;
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    NSLogWithLevel(NSLogLevel::Error, "SQLite error %d (%s): %s", code, message.c_str(),
                   what.c_str());
    int primary = code & 0xff;
    const bool damaged = primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
    if (!error && !(damaged && damageObserver_))
        return;
    const NSError made = NSError::errorWithDomain(
        NSError::NSCocoaErrorDomain,
        damaged ? NSError::NSFileReadCorruptFileError : CoreDataErrors::NSSQLiteError,
        {{NSError::NSLocalizedDescriptionKey, Value(message + " (" + what + ")")},
         {"NSSQLiteErrorDomain", Value(code)}});
    if (damaged && damageObserver_)
        damageObserver_(made);
    if (error)
        *error = made;
}

bool SQLiteConnection::isDamageError(const NSError& error) {
    return error.domain == NSError::NSCocoaErrorDomain &&
           error.code == NSError::NSFileReadCorruptFileError;
}

void SQLiteConnection::bind(sqlite3_stmt* statement, int index, const Value& value) {
    switch (value.type()) {
        case Value::Type::Null:
            sqlite3_bind_null(statement, index);
            break;
        case Value::Type::Bool:
        case Value::Type::Integer:
            sqlite3_bind_int64(statement, index, *value.integerValue());
            break;
        case Value::Type::Real:
            sqlite3_bind_double(statement, index, *value.doubleValue());
            break;
        case Value::Type::String: {
            const std::string* text = value.stringValue();
            sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()),
                              SQLITE_TRANSIENT);
            break;
        }
        case Value::Type::Data: {
            const Value::Data* data = value.dataValue();
            sqlite3_bind_blob(statement, index, data->data(), static_cast<int>(data->size()),
                              SQLITE_TRANSIENT);
            break;
        }
        case Value::Type::Date:
            sqlite3_bind_double(statement, index,
                                value.dateValue()->timeIntervalSinceReferenceDate());
            break;
        default:
            sqlite3_bind_null(statement, index);
            break;
    }
}

Value SQLiteConnection::column(sqlite3_stmt* statement, int index) {
    switch (sqlite3_column_type(statement, index)) {
        case SQLITE_INTEGER:
            return Value(static_cast<long long>(sqlite3_column_int64(statement, index)));
        case SQLITE_FLOAT:
            return Value(sqlite3_column_double(statement, index));
        case SQLITE_TEXT:
            return Value(
                std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, index)),
                            static_cast<size_t>(sqlite3_column_bytes(statement, index))));
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(statement, index));
            return Value(Value::Data(bytes, bytes + sqlite3_column_bytes(statement, index)));
        }
        default:
            return Value();
    }
}
