#pragma once

#include <optional>
#include <string>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// Parsing with a check of the top-level kind. A wrong kind answers nullopt
// without an error; a parse error goes to `error`. nullptr data or URL is nil.
// URLs are local: a path or a "file://" URL.

std::optional<Value> jsonObjectWithDataClassError(const Value::Data* data, Value::Type type,
                                                  NSError* error = nullptr);
std::optional<Value> jsonObjectWithContentsOfURLClassError(const std::string* url, Value::Type type,
                                                           NSError* error = nullptr);

std::optional<Value> jsonDictionaryWithData(const Value::Data* data, NSError* error = nullptr);
std::optional<Value> jsonArrayWithData(const Value::Data* data, NSError* error = nullptr);
std::optional<Value> jsonDictionaryWithContentsOfURL(const std::string* url,
                                                     NSError* error = nullptr);
std::optional<Value> jsonArrayWithContentsOfURL(const std::string* url, NSError* error = nullptr);

// The forms that name the error slot.
inline std::optional<Value> jsonDictionaryWithDataError(const Value::Data* data, NSError* error) {
    return jsonDictionaryWithData(data, error);
}
inline std::optional<Value> jsonArrayWithDataError(const Value::Data* data, NSError* error) {
    return jsonArrayWithData(data, error);
}
inline std::optional<Value> jsonDictionaryWithContentsOfURLError(const std::string* url,
                                                                 NSError* error) {
    return jsonDictionaryWithContentsOfURL(url, error);
}
inline std::optional<Value> jsonArrayWithContentsOfURLError(const std::string* url,
                                                            NSError* error) {
    return jsonArrayWithContentsOfURL(url, error);
}
