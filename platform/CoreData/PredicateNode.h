#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreData/NSPredicate.h"

// The parsed form of a predicate, shared by the SQL compiler and the
// in-memory evaluator. Internal to CoreData.

struct PredicateExpression {
    enum class Kind {
        Constant,   // constant
        KeyPath,    // path from the evaluated object (empty path: SELF)
        Variable,   // $name, then path
        Aggregate,  // { a, b, ... }
        Subquery,   // SUBQUERY(collection, $variable, predicate).@count
    };
    Kind kind = Kind::Constant;
    std::shared_ptr<const NSPredicateArgument> constant;
    std::string variable;
    std::vector<std::string> path;  // may end in "@count"
    std::vector<std::shared_ptr<const PredicateExpression>> items;
    std::shared_ptr<const PredicateExpression> collection;
    std::shared_ptr<const PredicateNode> subpredicate;
};

enum class PredicateOperator {
    Equal,
    NotEqual,
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    BeginsWith,
    EndsWith,
    Contains,
    Like,
    Matches,
    In,
    Between,
};

enum class PredicateModifier { Direct, Any, All };

// String comparison options, as [c], [d] and [cd].
enum PredicateOptions : int { kPredicateCaseInsensitive = 1, kPredicateDiacriticInsensitive = 2 };

struct PredicateNode {
    enum class Kind { True, False, And, Or, Not, Comparison };
    Kind kind = Kind::True;
    std::vector<std::shared_ptr<const PredicateNode>> children;
    // Comparison
    PredicateModifier modifier = PredicateModifier::Direct;
    PredicateOperator op = PredicateOperator::Equal;
    int options = 0;
    std::shared_ptr<const PredicateExpression> lhs;
    std::shared_ptr<const PredicateExpression> rhs;
};

// Parses a format with its arguments; nullptr with the reason on error.
std::shared_ptr<const PredicateNode> PredicateParse(
    const std::string& format, const std::vector<NSPredicateArgument>& arguments,
    std::string* reason);
// The node with bound variables replaced by constants.
std::shared_ptr<const PredicateNode> PredicateSubstitute(
    const std::shared_ptr<const PredicateNode>& node, const NSPredicate::Variables& variables);
std::string PredicateFormat(const PredicateNode& node);
