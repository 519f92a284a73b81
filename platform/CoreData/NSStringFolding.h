#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "CoreData/PredicateNode.h"

// Case and diacritic folding and string comparisons shared by predicates in
// memory and the SQL functions of every store connection, so that both give
// the same answer. Options are PredicateOptions bits.

// The string folded: case folded for kPredicateCaseInsensitive, accents
// removed for kPredicateDiacriticInsensitive; plain ASCII takes a fast path.
std::string NSStringFold(std::string_view text, int options);

// Byte order of the folded strings: negative, 0 or positive.
int NSStringCompareFolded(std::string_view a, std::string_view b, int options);

// ICU collation of the root locale ignoring case; `standard` also orders
// digit runs by their numeric value (Finder-like).
int NSStringLocalizedCompare(std::string_view a, std::string_view b, bool standard);

// A string operator's right side, folded (and compiled for MATCHES) once and
// tested against many subjects.
class NSStringMatcher {
  public:
    NSStringMatcher(PredicateOperator op, std::string_view pattern, int options);
    ~NSStringMatcher();
    NSStringMatcher(const NSStringMatcher&) = delete;
    NSStringMatcher& operator=(const NSStringMatcher&) = delete;

    bool matches(std::string_view subject) const;

  private:
    PredicateOperator op_;
    int options_;
    std::string pattern_;  // folded
    struct Regex;
    std::unique_ptr<Regex> regex_;
};

// SQLite glob of the predicate LIKE: '*' any run, '?' one character.
bool NSStringLikeMatch(std::string_view subject, std::string_view pattern);
