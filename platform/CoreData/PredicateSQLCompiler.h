#pragma once

#include <map>
#include <string>
#include <vector>

#include "CoreData/NSSortDescriptor.h"
#include "CoreData/PredicateNode.h"

class NSEntityDescription;
class NSPersistentStore;
struct NSRelationshipDescription;

// Turns a parsed predicate into an SQL condition over the table alias t0 of
// an entity, with ? parameters. Key paths through to-one relationships
// become scalar subqueries, through to-many ones EXISTS subqueries; string
// operators with options call the kv_* functions of SQLiteConnection.
// Properties a class derives in code have no column: compile() answers
// false for a predicate that uses them, and the fetch evaluates it in memory.
class PredicateSQLCompiler {
  public:
    PredicateSQLCompiler(const NSPersistentStore* store, const NSEntityDescription* entity)
        : store_(store), entity_(entity) {}

    bool compile(const PredicateNode& node, std::string* sql, std::vector<Value>* bindings);
    // "ORDER BY" terms, e.g. "t0.ZNAME COLLATE KV_LOCALIZED DESC"; false when a key has no column.
    bool compileOrder(const std::vector<NSSortDescriptor>& sortDescriptors, std::string* sql);

    // "FROM <destination> tN ... WHERE <link to ownerKey>" of a relationship.
    static std::string linkClause(const NSRelationshipDescription& relationship,
                                  const std::string& ownerKey, const std::string& alias);
    // " AND alias.Z_ENT IN (...)" when the table also holds other entities' rows.
    static std::string entityRestriction(const NSEntityDescription* entity,
                                         const std::string& alias, bool includesSubentities = true);

  private:
    struct Base {
        std::string alias;
        const NSEntityDescription* entity = nullptr;
    };
    enum class Terminal { Value, Object };

    bool node(const PredicateNode& node, const Base& self, std::string* out);
    bool comparison(const PredicateNode& node, const Base& self, std::string* out);
    bool scalarExpression(const PredicateExpression& expression, const Base& self, std::string* out,
                          Terminal* terminal);
    bool scalarPath(const Base& base, const std::vector<std::string>& path, size_t begin,
                    size_t end, std::string* out, Terminal* terminal);
    // The index of the first to-many step that is not counted, or npos.
    size_t collectionStep(const Base& base, const std::vector<std::string>& path);
    bool bindArgument(const NSPredicateArgument& argument, std::string* out);
    std::string bind(Value value);
    std::string newAlias() { return "t" + std::to_string(nextAlias_++); }

    const NSPersistentStore* store_;
    const NSEntityDescription* entity_;
    std::vector<Value>* bindings_ = nullptr;
    std::map<std::string, Base> variables_;
    int nextAlias_ = 1;
};
