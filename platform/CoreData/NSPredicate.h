#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CoreData/NSManagedObjectID.h"
#include "Foundation/Value.h"

class NSManagedObject;
struct PredicateNode;
struct PredicateExpression;

// One argument of a predicate format: %@ takes any kind, %K a key path
// string, %d/%i/%ld an integer and %f a double.
class NSPredicateArgument {
  public:
    enum class Kind { Value, Object, ObjectID, Array };

    NSPredicateArgument(Value value) : kind_(Kind::Value), value_(std::move(value)) {}
    NSPredicateArgument(const char* text) : NSPredicateArgument(Value(text)) {}
    NSPredicateArgument(const std::string& text) : NSPredicateArgument(Value(text)) {}
    NSPredicateArgument(int number) : NSPredicateArgument(Value(number)) {}
    NSPredicateArgument(long number) : NSPredicateArgument(Value(number)) {}
    NSPredicateArgument(long long number) : NSPredicateArgument(Value(number)) {}
    NSPredicateArgument(double number) : NSPredicateArgument(Value(number)) {}
    NSPredicateArgument(bool flag) : NSPredicateArgument(Value(flag)) {}
    NSPredicateArgument(std::shared_ptr<NSManagedObject> object);
    NSPredicateArgument(NSManagedObjectID objectID);
    NSPredicateArgument(std::vector<NSPredicateArgument> items)
        : kind_(Kind::Array), items_(std::move(items)) {}
    NSPredicateArgument(const std::vector<NSManagedObjectID>& ids);
    NSPredicateArgument(const std::vector<std::shared_ptr<NSManagedObject>>& objects);

    Kind kind() const { return kind_; }
    const Value& value() const { return value_; }
    const NSManagedObjectID& objectID() const { return objectID_; }
    const std::vector<NSPredicateArgument>& items() const { return items_; }

  private:
    Kind kind_;
    Value value_;
    NSManagedObjectID objectID_;
    std::vector<NSPredicateArgument> items_;
};

// A condition over objects, dictionaries or plain values, parsed once from a
// format string. Fetches compile it to SQL; evaluateWithObject() answers the
// same in memory.
class NSPredicate {
  public:
    using Variables = std::map<std::string, NSPredicateArgument>;

    // nullptr and a logged error for a malformed format or a missing argument.
    static std::shared_ptr<NSPredicate> predicateWithFormat(
        const std::string& format, const std::vector<NSPredicateArgument>& arguments = {});
    static std::shared_ptr<NSPredicate> predicateWithValue(bool value);
    static std::shared_ptr<NSPredicate> andPredicateWithSubpredicates(
        const std::vector<std::shared_ptr<NSPredicate>>& subpredicates);
    static std::shared_ptr<NSPredicate> orPredicateWithSubpredicates(
        const std::vector<std::shared_ptr<NSPredicate>>& subpredicates);
    static std::shared_ptr<NSPredicate> notPredicateWithSubpredicate(
        const std::shared_ptr<NSPredicate>& subpredicate);

    // A copy with each $NAME replaced; an unknown variable stays and matches nothing.
    std::shared_ptr<NSPredicate> predicateWithSubstitutionVariables(
        const Variables& variables) const;

    bool evaluateWithObject(const std::shared_ptr<NSManagedObject>& object) const;
    bool evaluateWithObject(const Value& object) const;  // dictionaries and plain values

    // A canonical text of the parsed predicate.
    std::string predicateFormat() const;

    const std::shared_ptr<const PredicateNode>& root() const { return root_; }
    explicit NSPredicate(std::shared_ptr<const PredicateNode> root) : root_(std::move(root)) {}

  private:
    std::shared_ptr<const PredicateNode> root_;
};

// Filters objects with a predicate in memory.
std::vector<std::shared_ptr<NSManagedObject>> NSPredicateFilteredObjects(
    const std::vector<std::shared_ptr<NSManagedObject>>& objects, const NSPredicate& predicate);
