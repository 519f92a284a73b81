#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

// Typed lookups in a dictionary: the value for the key when it is of the
// named kind, else nullptr (or nullopt); never a converted guess.
const Value* numberForKey(const Value::Dictionary& dictionary, const std::string& key);
const std::string* stringForKey(const Value::Dictionary& dictionary, const std::string& key);
const Value::Array* arrayForKey(const Value::Dictionary& dictionary, const std::string& key);
// A copy the caller may change.
std::optional<Value::Array> mutableArrayForKey(const Value::Dictionary& dictionary,
                                               const std::string& key);
const Value::Dictionary* dictionaryForKey(const Value::Dictionary& dictionary,
                                          const std::string& key);
const Value::Data* dataForKey(const Value::Dictionary& dictionary, const std::string& key);
const Value* objectOfClassForKey(const Value::Dictionary& dictionary, Value::Type type,
                                 const std::string& key);
