#include "CoreData/PredicateEvaluator.h"

#include <map>

#include "CoreData/KeyPath.h"
#include "CoreData/NSManagedObject.h"
#include "CoreData/NSSortDescriptor.h"
#include "CoreData/NSStringFolding.h"

namespace {

struct Operand {
    enum class Kind { Nil, Scalar, Object, Collection };
    Kind kind = Kind::Nil;
    Value scalar;
    std::shared_ptr<NSManagedObject> object;
    NSManagedObjectID objectID;
    std::vector<Operand> items;
};

using Scope = std::map<std::string, Operand>;

bool evaluateNode(const PredicateNode& node, const Operand& target, Scope& scope);

Operand fromValue(const Value& value) {
    Operand operand;
    if (value.isNull())
        return operand;
    if (const Value::Array* array = value.arrayValue()) {
        operand.kind = Operand::Kind::Collection;
        for (const Value& item : *array)
            operand.items.push_back(fromValue(item));
        return operand;
    }
    operand.kind = Operand::Kind::Scalar;
    operand.scalar = value;
    return operand;
}

Operand fromObject(const std::shared_ptr<NSManagedObject>& object) {
    Operand operand;
    if (!object)
        return operand;
    operand.kind = Operand::Kind::Object;
    operand.object = object;
    operand.objectID = object->objectID();
    return operand;
}

Operand fromArgument(const NSPredicateArgument& argument) {
    Operand operand;
    switch (argument.kind()) {
        case NSPredicateArgument::Kind::Value:
            return fromValue(argument.value());
        case NSPredicateArgument::Kind::Object:
        case NSPredicateArgument::Kind::ObjectID:
            operand.kind = Operand::Kind::Object;
            operand.objectID = argument.objectID();
            return operand;
        case NSPredicateArgument::Kind::Array:
            operand.kind = Operand::Kind::Collection;
            for (const auto& item : argument.items())
                operand.items.push_back(fromArgument(item));
            return operand;
    }
    return operand;
}

Operand step(const Operand& base, const std::string& key) {
    switch (base.kind) {
        case Operand::Kind::Nil:
            return {};
        case Operand::Kind::Scalar: {
            const Value* found = base.scalar.get(key);
            return found ? fromValue(*found) : Operand{};
        }
        case Operand::Kind::Collection: {
            Operand result;
            result.kind = Operand::Kind::Collection;
            for (const Operand& item : base.items) {
                Operand stepped = step(item, key);
                if (stepped.kind == Operand::Kind::Collection) {
                    for (Operand& inner : stepped.items)
                        result.items.push_back(std::move(inner));
                } else {
                    result.items.push_back(std::move(stepped));
                }
            }
            return result;
        }
        case Operand::Kind::Object:
            break;
    }
    const std::shared_ptr<NSManagedObject>& object = base.object;
    if (!object)
        return {};
    const NSEntityDescription* entity = object->entity();
    if (const NSRelationshipDescription* relationship = entity->relationshipNamed(key)) {
        if (!relationship->toMany)
            return fromObject(object->objectForKey(key));
        Operand result;
        result.kind = Operand::Kind::Collection;
        for (const auto& item : object->objectsForKey(key))
            result.items.push_back(fromObject(item));
        return result;
    }
    return fromValue(object->valueForKey(key));
}

Operand walk(Operand base, const std::vector<std::string>& path) {
    for (const std::string& segment : path) {
        if (segment == "@count") {
            size_t count = base.kind == Operand::Kind::Collection ? base.items.size()
                           : base.kind == Operand::Kind::Nil      ? 0
                                                                  : 1;
            base = fromValue(Value(static_cast<long long>(count)));
        } else {
            base = step(base, segment);
        }
    }
    return base;
}

Operand evaluateExpression(const PredicateExpression& expression, const Operand& target,
                           Scope& scope) {
    switch (expression.kind) {
        case PredicateExpression::Kind::Constant:
            return fromArgument(*expression.constant);
        case PredicateExpression::Kind::KeyPath:
            return walk(target, expression.path);
        case PredicateExpression::Kind::Variable: {
            auto found = scope.find(expression.variable);
            return found == scope.end() ? Operand{} : walk(found->second, expression.path);
        }
        case PredicateExpression::Kind::Aggregate: {
            Operand result;
            result.kind = Operand::Kind::Collection;
            for (const auto& item : expression.items) {
                result.items.push_back(evaluateExpression(*item, target, scope));
            }
            return result;
        }
        case PredicateExpression::Kind::Subquery: {
            Operand collection = evaluateExpression(*expression.collection, target, scope);
            long long count = 0;
            if (collection.kind == Operand::Kind::Collection) {
                auto saved = scope.find(expression.variable);
                std::optional<Operand> previous;
                if (saved != scope.end())
                    previous = saved->second;
                for (const Operand& item : collection.items) {
                    scope[expression.variable] = item;
                    if (evaluateNode(*expression.subpredicate, target, scope))
                        ++count;
                }
                if (previous) {
                    scope[expression.variable] = *previous;
                } else {
                    scope.erase(expression.variable);
                }
            }
            return fromValue(Value(count));
        }
    }
    return {};
}

bool isNumeric(const Value& value) {
    return value.isNumber() || value.type() == Value::Type::Date;
}

double numeric(const Value& value) {
    if (auto date = value.dateValue())
        return date->timeIntervalSinceReferenceDate();
    return value.doubleValue().value_or(0);
}

// Numbers and dates numerically (integers exactly), strings under folding;
// nullopt when the two cannot be ordered.
std::optional<int> order(const Value& a, const Value& b, int options) {
    if (isNumeric(a) && isNumeric(b)) {
        bool aInteger = a.type() == Value::Type::Integer || a.type() == Value::Type::Bool;
        bool bInteger = b.type() == Value::Type::Integer || b.type() == Value::Type::Bool;
        if (aInteger && bInteger) {
            int64_t x = *a.integerValue(), y = *b.integerValue();
            return x < y ? -1 : x > y ? 1 : 0;
        }
        double x = numeric(a), y = numeric(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const std::string* x = a.stringValue();
    const std::string* y = b.stringValue();
    if (x && y) {
        int result = NSStringCompareFolded(*x, *y, options);
        return result < 0 ? -1 : result > 0 ? 1 : 0;
    }
    return std::nullopt;
}

bool equal(const Operand& a, const Operand& b, int options) {
    if (a.kind == Operand::Kind::Nil || b.kind == Operand::Kind::Nil)
        return a.kind == b.kind;
    if (a.kind == Operand::Kind::Object && b.kind == Operand::Kind::Object) {
        return a.objectID == b.objectID;
    }
    if (a.kind != Operand::Kind::Scalar || b.kind != Operand::Kind::Scalar)
        return false;
    if (a.scalar.type() == Value::Type::Data || b.scalar.type() == Value::Type::Data) {
        return a.scalar == b.scalar;
    }
    std::optional<int> result = order(a.scalar, b.scalar, options);
    return result && *result == 0;
}

bool compareSingle(const PredicateNode& node, const Operand& lhs, const Operand& rhs) {
    switch (node.op) {
        case PredicateOperator::Equal:
            return equal(lhs, rhs, node.options);
        case PredicateOperator::NotEqual:
            return !equal(lhs, rhs, node.options);
        case PredicateOperator::Less:
        case PredicateOperator::LessOrEqual:
        case PredicateOperator::Greater:
        case PredicateOperator::GreaterOrEqual: {
            if (lhs.kind != Operand::Kind::Scalar || rhs.kind != Operand::Kind::Scalar)
                return false;
            std::optional<int> result = order(lhs.scalar, rhs.scalar, node.options);
            if (!result)
                return false;
            switch (node.op) {
                case PredicateOperator::Less:
                    return *result < 0;
                case PredicateOperator::LessOrEqual:
                    return *result <= 0;
                case PredicateOperator::Greater:
                    return *result > 0;
                default:
                    return *result >= 0;
            }
        }
        case PredicateOperator::BeginsWith:
        case PredicateOperator::EndsWith:
        case PredicateOperator::Contains:
        case PredicateOperator::Like:
        case PredicateOperator::Matches: {
            const std::string* subject =
                lhs.kind == Operand::Kind::Scalar ? lhs.scalar.stringValue() : nullptr;
            const std::string* pattern =
                rhs.kind == Operand::Kind::Scalar ? rhs.scalar.stringValue() : nullptr;
            if (!subject || !pattern)
                return false;
            return NSStringMatcher(node.op, *pattern, node.options).matches(*subject);
        }
        case PredicateOperator::In:
            if (rhs.kind != Operand::Kind::Collection)
                return false;
            for (const Operand& item : rhs.items) {
                if (item.kind != Operand::Kind::Nil && equal(lhs, item, node.options))
                    return true;
            }
            return false;
        case PredicateOperator::Between: {
            if (rhs.kind != Operand::Kind::Collection || rhs.items.size() != 2)
                return false;
            if (lhs.kind != Operand::Kind::Scalar || rhs.items[0].kind != Operand::Kind::Scalar ||
                rhs.items[1].kind != Operand::Kind::Scalar) {
                return false;
            }
            std::optional<int> low = order(lhs.scalar, rhs.items[0].scalar, node.options);
            std::optional<int> high = order(lhs.scalar, rhs.items[1].scalar, node.options);
            return low && high && *low >= 0 && *high <= 0;
        }
    }
    return false;
}

bool evaluateComparison(const PredicateNode& node, const Operand& target, Scope& scope) {
    Operand lhs = evaluateExpression(*node.lhs, target, scope);
    Operand rhs = evaluateExpression(*node.rhs, target, scope);
    if (lhs.kind != Operand::Kind::Collection ||
        node.lhs->kind == PredicateExpression::Kind::Aggregate ||
        node.lhs->kind == PredicateExpression::Kind::Constant) {
        return compareSingle(node, lhs, rhs);
    }
    PredicateNode itemNode = node;
    // "collection CONTAINS x" asks for membership.
    if (node.modifier == PredicateModifier::Direct && node.op == PredicateOperator::Contains) {
        itemNode.op = PredicateOperator::Equal;
    }
    if (node.modifier == PredicateModifier::All) {
        for (const Operand& item : lhs.items) {
            if (!compareSingle(itemNode, item, rhs))
                return false;
        }
        return true;
    }
    for (const Operand& item : lhs.items) {
        if (compareSingle(itemNode, item, rhs))
            return true;
    }
    return false;
}

bool evaluateNode(const PredicateNode& node, const Operand& target, Scope& scope) {
    switch (node.kind) {
        case PredicateNode::Kind::True:
            return true;
        case PredicateNode::Kind::False:
            return false;
        case PredicateNode::Kind::And:
            for (const auto& child : node.children) {
                if (!evaluateNode(*child, target, scope))
                    return false;
            }
            return true;
        case PredicateNode::Kind::Or:
            for (const auto& child : node.children) {
                if (evaluateNode(*child, target, scope))
                    return true;
            }
            return false;
        case PredicateNode::Kind::Not:
            return !evaluateNode(*node.children[0], target, scope);
        case PredicateNode::Kind::Comparison:
            return evaluateComparison(node, target, scope);
    }
    return false;
}

int typeRank(const Value& value) {
    if (value.isNull())
        return 0;
    if (isNumeric(value))
        return 1;
    if (value.stringValue())
        return 2;
    return 3;
}

}  // namespace

bool PredicateEvaluate(const PredicateNode& node, const std::shared_ptr<NSManagedObject>& object) {
    Scope scope;
    return evaluateNode(node, fromObject(object), scope);
}

bool PredicateEvaluate(const PredicateNode& node, const Value& object) {
    Scope scope;
    Operand target;
    if (!object.isNull()) {
        target.kind = Operand::Kind::Scalar;
        target.scalar = object;
    }
    return evaluateNode(node, target, scope);
}

Value PredicateValueForKeyPath(const std::shared_ptr<NSManagedObject>& object,
                               const std::string& keyPath) {
    Operand result = walk(fromObject(object), splitKeyPath(keyPath));
    return result.kind == Operand::Kind::Scalar ? result.scalar : Value();
}

int PredicateCompareForSort(const Value& a, const Value& b, int comparison) {
    int rankA = typeRank(a), rankB = typeRank(b);
    if (rankA != rankB)
        return rankA - rankB;
    if (rankA == 0)
        return 0;
    if (rankA == 3) {
        const Value::Data* x = a.dataValue();
        const Value::Data* y = b.dataValue();
        if (!x || !y)
            return 0;
        return *x < *y ? -1 : *y < *x ? 1 : 0;
    }
    if (rankA == 2) {
        const std::string& x = *a.stringValue();
        const std::string& y = *b.stringValue();
        switch (static_cast<NSSortDescriptor::Comparison>(comparison)) {
            case NSSortDescriptor::Comparison::Compare:
                return x.compare(y);
            case NSSortDescriptor::Comparison::CaseInsensitive:
                return NSStringCompareFolded(x, y, kPredicateCaseInsensitive);
            case NSSortDescriptor::Comparison::LocalizedCaseInsensitive:
                return NSStringLocalizedCompare(x, y, false);
            case NSSortDescriptor::Comparison::LocalizedStandard:
                return NSStringLocalizedCompare(x, y, true);
        }
    }
    return order(a, b, 0).value_or(0);
}
