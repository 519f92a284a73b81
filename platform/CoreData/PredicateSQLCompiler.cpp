#include "CoreData/PredicateSQLCompiler.h"

#include "CoreData/KeyPath.h"
#include "CoreData/NSEntityDescription.h"
#include "CoreData/NSPersistentStore.h"

namespace {

const char* orderOperator(PredicateOperator op) {
    switch (op) {
        case PredicateOperator::Less:
            return "<";
        case PredicateOperator::LessOrEqual:
            return "<=";
        case PredicateOperator::Greater:
            return ">";
        default:
            return ">=";
    }
}

bool isStringOperator(PredicateOperator op) {
    return op == PredicateOperator::BeginsWith || op == PredicateOperator::EndsWith ||
           op == PredicateOperator::Contains || op == PredicateOperator::Like ||
           op == PredicateOperator::Matches;
}

}  // namespace

std::string PredicateSQLCompiler::entityRestriction(const NSEntityDescription* entity,
                                                    const std::string& alias,
                                                    bool includesSubentities) {
    const NSEntityDescription* root = entity->rootEntity();
    if (root->subentities().empty())
        return {};
    if (entity == root && includesSubentities)
        return {};
    std::vector<int> numbers = includesSubentities ? entity->entityNumbersWithSubentities()
                                                   : std::vector<int>{entity->entityNumber()};
    std::string list;
    for (int number : numbers)
        list += (list.empty() ? "" : ", ") + std::to_string(number);
    return " AND " + alias + ".Z_ENT IN (" + list + ")";
}

std::string PredicateSQLCompiler::linkClause(const NSRelationshipDescription& relationship,
                                             const std::string& ownerKey,
                                             const std::string& alias) {
    const NSEntityDescription* destination = relationship.destinationEntity;
    std::string from = "FROM " + destination->tableName() + " " + alias;
    if (relationship.isManyToMany()) {
        std::string join = "j" + alias;
        from += " JOIN " + relationship.joinTable + " " + join + " ON " + join + "." +
                relationship.joinDestinationColumn + " = " + alias + ".Z_PK WHERE " + join + "." +
                relationship.joinSourceColumn + " = " + ownerKey;
    } else if (relationship.toMany) {
        from += " WHERE " + alias + "." + relationship.inverseRelationship->columnName + " = " +
                ownerKey;
    } else {
        from += " WHERE " + alias + ".Z_PK = " + ownerKey;
    }
    return from + entityRestriction(destination, alias);
}

bool PredicateSQLCompiler::compile(const PredicateNode& predicate, std::string* sql,
                                   std::vector<Value>* bindings) {
    bindings_ = bindings;
    return node(predicate, Base{"t0", entity_}, sql);
}

bool PredicateSQLCompiler::compileOrder(const std::vector<NSSortDescriptor>& sortDescriptors,
                                        std::string* sql) {
    std::string terms;
    for (const NSSortDescriptor& descriptor : sortDescriptors) {
        std::vector<std::string> path = splitKeyPath(descriptor.key);
        std::string column;
        Terminal terminal;
        if (!scalarPath(Base{"t0", entity_}, path, 0, path.size(), &column, &terminal))
            return false;
        switch (descriptor.comparison) {
            case NSSortDescriptor::Comparison::Compare:
                break;
            case NSSortDescriptor::Comparison::CaseInsensitive:
                column += " COLLATE KV_NOCASE";
                break;
            case NSSortDescriptor::Comparison::LocalizedCaseInsensitive:
                column += " COLLATE KV_LOCALIZED";
                break;
            case NSSortDescriptor::Comparison::LocalizedStandard:
                column += " COLLATE KV_LOCALIZED_STANDARD";
                break;
        }
        terms += (terms.empty() ? "" : ", ") + column + (descriptor.ascending ? "" : " DESC");
    }
    *sql = terms;
    return true;
}

bool PredicateSQLCompiler::node(const PredicateNode& predicate, const Base& self,
                                std::string* out) {
    switch (predicate.kind) {
        case PredicateNode::Kind::True:
            *out = "1";
            return true;
        case PredicateNode::Kind::False:
            *out = "0";
            return true;
        case PredicateNode::Kind::Not: {
            std::string inner;
            if (!node(*predicate.children[0], self, &inner))
                return false;
            // NULL stands for false inside; NOT must not keep it NULL.
            *out = "(NOT IFNULL((" + inner + "), 0))";
            return true;
        }
        case PredicateNode::Kind::And:
        case PredicateNode::Kind::Or: {
            std::string joined;
            for (const auto& child : predicate.children) {
                std::string inner;
                if (!node(*child, self, &inner))
                    return false;
                if (!joined.empty())
                    joined += predicate.kind == PredicateNode::Kind::And ? " AND " : " OR ";
                joined += inner;
            }
            *out = "(" + joined + ")";
            return true;
        }
        case PredicateNode::Kind::Comparison:
            return comparison(predicate, self, out);
    }
    return false;
}

std::string PredicateSQLCompiler::bind(Value value) {
    bindings_->push_back(std::move(value));
    return "?";
}

bool PredicateSQLCompiler::bindArgument(const NSPredicateArgument& argument, std::string* out) {
    switch (argument.kind()) {
        case NSPredicateArgument::Kind::Value:
            *out = bind(argument.value());
            return true;
        case NSPredicateArgument::Kind::Object:
        case NSPredicateArgument::Kind::ObjectID: {
            const NSManagedObjectID& id = argument.objectID();
            // An object of another store or not yet saved matches no row here.
            bool here = !id.isTemporaryID() && id.persistentStore().get() == store_;
            *out = bind(Value(static_cast<long long>(here ? id.primaryKey() : 0)));
            return true;
        }
        case NSPredicateArgument::Kind::Array:
            return false;
    }
    return false;
}

size_t PredicateSQLCompiler::collectionStep(const Base& base,
                                            const std::vector<std::string>& path) {
    const NSEntityDescription* entity = base.entity;
    for (size_t i = 0; i < path.size() && entity; ++i) {
        const NSRelationshipDescription* relationship = entity->relationshipNamed(path[i]);
        if (!relationship)
            return std::string::npos;
        if (relationship->toMany) {
            if (i + 2 == path.size() && path[i + 1] == "@count")
                return std::string::npos;
            return i;
        }
        entity = relationship->destinationEntity;
    }
    return std::string::npos;
}

bool PredicateSQLCompiler::scalarPath(const Base& base, const std::vector<std::string>& path,
                                      size_t begin, size_t end, std::string* out,
                                      Terminal* terminal) {
    if (begin == end) {
        *out = base.alias + ".Z_PK";
        *terminal = Terminal::Object;
        return true;
    }
    const std::string& key = path[begin];
    if (const NSAttributeDescription* attribute = base.entity->attributeNamed(key)) {
        if (attribute->transient || begin + 1 != end)
            return false;
        *out = base.alias + "." + attribute->columnName;
        *terminal = Terminal::Value;
        return true;
    }
    const NSRelationshipDescription* relationship = base.entity->relationshipNamed(key);
    if (!relationship)
        return false;
    if (relationship->toMany) {
        if (begin + 2 != end || path[begin + 1] != "@count")
            return false;
        std::string alias = newAlias();
        *out = "(SELECT COUNT(*) " + linkClause(*relationship, base.alias + ".Z_PK", alias) + ")";
        *terminal = Terminal::Value;
        return true;
    }
    std::string column = base.alias + "." + relationship->columnName;
    if (begin + 1 == end) {
        *out = column;
        *terminal = Terminal::Object;
        return true;
    }
    std::string alias = newAlias();
    std::string inner;
    if (!scalarPath(Base{alias, relationship->destinationEntity}, path, begin + 1, end, &inner,
                    terminal)) {
        return false;
    }
    *out = "(SELECT " + inner + " " + linkClause(*relationship, column, alias) + ")";
    return true;
}

bool PredicateSQLCompiler::scalarExpression(const PredicateExpression& expression, const Base& self,
                                            std::string* out, Terminal* terminal) {
    switch (expression.kind) {
        case PredicateExpression::Kind::Constant:
            *terminal = expression.constant->kind() == NSPredicateArgument::Kind::Value
                            ? Terminal::Value
                            : Terminal::Object;
            return bindArgument(*expression.constant, out);
        case PredicateExpression::Kind::KeyPath:
            return scalarPath(self, expression.path, 0, expression.path.size(), out, terminal);
        case PredicateExpression::Kind::Variable: {
            auto found = variables_.find(expression.variable);
            if (found == variables_.end())
                return false;
            return scalarPath(found->second, expression.path, 0, expression.path.size(), out,
                              terminal);
        }
        case PredicateExpression::Kind::Subquery: {
            const PredicateExpression& collection = *expression.collection;
            Base owner = self;
            if (collection.kind == PredicateExpression::Kind::Variable) {
                auto found = variables_.find(collection.variable);
                if (found == variables_.end())
                    return false;
                owner = found->second;
            } else if (collection.kind != PredicateExpression::Kind::KeyPath) {
                return false;
            }
            const std::vector<std::string>& path = collection.path;
            size_t step = collectionStep(owner, path);
            if (step == std::string::npos || step + 1 != path.size())
                return false;
            std::string ownerKey;
            Terminal ownerTerminal;
            if (!scalarPath(owner, path, 0, step, &ownerKey, &ownerTerminal))
                return false;
            const NSEntityDescription* ownerEntity = owner.entity;
            for (size_t i = 0; i < step; ++i) {
                ownerEntity = ownerEntity->relationshipNamed(path[i])->destinationEntity;
            }
            const NSRelationshipDescription* relationship =
                ownerEntity->relationshipNamed(path[step]);
            std::string alias = newAlias();
            auto saved = variables_.find(expression.variable);
            std::optional<Base> previous;
            if (saved != variables_.end())
                previous = saved->second;
            variables_[expression.variable] = Base{alias, relationship->destinationEntity};
            std::string condition;
            bool compiled = node(*expression.subpredicate, self, &condition);
            if (previous) {
                variables_[expression.variable] = *previous;
            } else {
                variables_.erase(expression.variable);
            }
            if (!compiled)
                return false;
            *out = "(SELECT COUNT(*) " + linkClause(*relationship, ownerKey, alias) + " AND " +
                   condition + ")";
            *terminal = Terminal::Value;
            return true;
        }
        case PredicateExpression::Kind::Aggregate:
            return false;
    }
    return false;
}

bool PredicateSQLCompiler::comparison(const PredicateNode& predicate, const Base& self,
                                      std::string* out) {
    const PredicateExpression& lhs = *predicate.lhs;
    // A key path that crosses a to-many relationship: EXISTS over its rows.
    if (lhs.kind == PredicateExpression::Kind::KeyPath ||
        lhs.kind == PredicateExpression::Kind::Variable) {
        Base base = self;
        if (lhs.kind == PredicateExpression::Kind::Variable) {
            auto found = variables_.find(lhs.variable);
            if (found == variables_.end())
                return false;
            base = found->second;
        }
        size_t step = collectionStep(base, lhs.path);
        if (step != std::string::npos) {
            std::string ownerKey;
            Terminal ownerTerminal;
            if (!scalarPath(base, lhs.path, 0, step, &ownerKey, &ownerTerminal))
                return false;
            const NSEntityDescription* ownerEntity = base.entity;
            for (size_t i = 0; i < step; ++i) {
                ownerEntity = ownerEntity->relationshipNamed(lhs.path[i])->destinationEntity;
            }
            const NSRelationshipDescription* relationship =
                ownerEntity->relationshipNamed(lhs.path[step]);
            std::string alias = newAlias();
            PredicateNode inner = predicate;
            auto rest = std::make_shared<PredicateExpression>();
            rest->kind = PredicateExpression::Kind::KeyPath;
            rest->path.assign(lhs.path.begin() + static_cast<long>(step) + 1, lhs.path.end());
            inner.lhs = rest;
            if (predicate.modifier == PredicateModifier::Direct &&
                predicate.op == PredicateOperator::Contains) {
                inner.op = PredicateOperator::Equal;
            }
            std::string condition;
            if (!comparison(inner, Base{alias, relationship->destinationEntity}, &condition))
                return false;
            std::string from = linkClause(*relationship, ownerKey, alias);
            if (predicate.modifier == PredicateModifier::All) {
                *out =
                    "(NOT EXISTS (SELECT 1 " + from + " AND NOT IFNULL((" + condition + "), 0)))";
            } else {
                *out = "(EXISTS (SELECT 1 " + from + " AND " + condition + "))";
            }
            return true;
        }
    }
    std::string left;
    Terminal leftTerminal;
    if (!scalarExpression(lhs, self, &left, &leftTerminal))
        return false;
    const PredicateExpression& rhs = *predicate.rhs;
    const int options = predicate.options;

    // The right side as a list, for IN and BETWEEN.
    auto listItems = [&](std::vector<std::string>* items) {
        if (rhs.kind == PredicateExpression::Kind::Aggregate) {
            for (const auto& item : rhs.items) {
                if (item->kind == PredicateExpression::Kind::Constant &&
                    item->constant->kind() == NSPredicateArgument::Kind::Value &&
                    item->constant->value().isNull()) {
                    items->push_back("");
                    continue;
                }
                std::string sql;
                Terminal terminal;
                if (!scalarExpression(*item, self, &sql, &terminal))
                    return false;
                items->push_back(sql);
            }
            return true;
        }
        if (rhs.kind != PredicateExpression::Kind::Constant)
            return false;
        const NSPredicateArgument& constant = *rhs.constant;
        if (constant.kind() == NSPredicateArgument::Kind::Array) {
            for (const auto& item : constant.items()) {
                if (item.kind() == NSPredicateArgument::Kind::Value && item.value().isNull()) {
                    items->push_back("");
                    continue;
                }
                std::string sql;
                if (!bindArgument(item, &sql))
                    return false;
                items->push_back(sql);
            }
            return true;
        }
        if (constant.kind() == NSPredicateArgument::Kind::Value) {
            if (const Value::Array* array = constant.value().arrayValue()) {
                for (const Value& item : *array)
                    items->push_back(item.isNull() ? "" : bind(item));
                return true;
            }
        }
        return false;
    };

    if (predicate.op == PredicateOperator::In) {
        std::vector<std::string> items;
        if (!listItems(&items))
            return false;
        std::string terms;
        for (const std::string& item : items) {
            if (item.empty())
                continue;  // nil is in no list
            if (options) {
                terms += (terms.empty() ? "" : " OR ") +
                         ("kv_streq(" + left + ", " + item + ", " + std::to_string(options) + ")");
            } else {
                terms += (terms.empty() ? "" : ", ") + item;
            }
        }
        if (terms.empty()) {
            *out = "0";
        } else {
            *out = options ? "(" + terms + ")" : "(" + left + " IN (" + terms + "))";
        }
        return true;
    }
    if (predicate.op == PredicateOperator::Between) {
        std::vector<std::string> items;
        if (!listItems(&items) || items.size() != 2)
            return false;
        if (items[0].empty() || items[1].empty()) {
            *out = "0";
        } else if (options) {
            *out = "(kv_cmp(" + left + ", " + items[0] + ", " + std::to_string(options) +
                   ") >= 0 AND kv_cmp(" + left + ", " + items[1] + ", " + std::to_string(options) +
                   ") <= 0)";
        } else {
            *out = "(" + left + " >= " + items[0] + " AND " + left + " <= " + items[1] + ")";
        }
        return true;
    }
    std::string right;
    Terminal rightTerminal;
    bool rightIsNil = rhs.kind == PredicateExpression::Kind::Constant &&
                      rhs.constant->kind() == NSPredicateArgument::Kind::Value &&
                      rhs.constant->value().isNull();
    if (!rightIsNil && !scalarExpression(rhs, self, &right, &rightTerminal))
        return false;
    std::string flags = std::to_string(options);
    switch (predicate.op) {
        case PredicateOperator::Equal:
        case PredicateOperator::NotEqual: {
            std::string test;
            if (rightIsNil) {
                test = left + " IS NULL";
            } else if (options && leftTerminal == Terminal::Value) {
                test = "kv_streq(" + left + ", " + right + ", " + flags + ")";
            } else {
                test = left + " IS " + right;
            }
            *out = predicate.op == PredicateOperator::Equal ? "(" + test + ")"
                                                            : "(NOT (" + test + "))";
            return true;
        }
        case PredicateOperator::Less:
        case PredicateOperator::LessOrEqual:
        case PredicateOperator::Greater:
        case PredicateOperator::GreaterOrEqual:
            if (rightIsNil) {
                *out = "0";
            } else if (options) {
                *out = "(kv_cmp(" + left + ", " + right + ", " + flags + ") " +
                       orderOperator(predicate.op) + " 0)";
            } else {
                *out = "(" + left + " " + orderOperator(predicate.op) + " " + right + ")";
            }
            return true;
        default:
            break;
    }
    if (isStringOperator(predicate.op)) {
        if (rightIsNil) {
            *out = "0";
        } else {
            *out = "kv_strop(" + std::to_string(static_cast<int>(predicate.op)) + ", " + left +
                   ", " + right + ", " + flags + ")";
        }
        return true;
    }
    return false;
}
