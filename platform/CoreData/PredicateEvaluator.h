#pragma once

#include <memory>
#include <string>

#include "CoreData/PredicateNode.h"

class NSManagedObject;

// In-memory evaluation of a parsed predicate over managed objects (through
// attributes, relationships and derived properties) or over plain values
// and dictionaries. Internal to CoreData.
bool PredicateEvaluate(const PredicateNode& node, const std::shared_ptr<NSManagedObject>& object);
bool PredicateEvaluate(const PredicateNode& node, const Value& object);

// The scalar at a dotted key path of an object (nil across a to-many step):
// what sorting compares.
Value PredicateValueForKeyPath(const std::shared_ptr<NSManagedObject>& object,
                               const std::string& keyPath);

// Orders two stored values as SQLite does (NULL, numbers, text, blobs), text
// by the given comparison; negative, 0 or positive.
int PredicateCompareForSort(const Value& a, const Value& b, int comparison);
