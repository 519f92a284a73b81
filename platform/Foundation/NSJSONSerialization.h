#pragma once

#include <optional>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// JSON to and from Value. JSON null is Value null; integers that fit int64
// are integers, other numbers reals. Dates and data cannot be written.
// Malformed or too deeply nested input gives nullopt and an error (domain
// "NSCocoaErrorDomain", code 3840), never a crash.
class NSJSONSerialization {
  public:
    static std::optional<Value> JSONObjectWithData(const Value::Data& data,
                                                   NSError* error = nullptr);
    static std::optional<Value> JSONObjectWithString(const std::string& text,
                                                     NSError* error = nullptr);
    static std::optional<Value::Data> dataWithJSONObject(const Value& object,
                                                         bool prettyPrinted = false,
                                                         NSError* error = nullptr);
    static std::optional<std::string> stringWithJSONObject(const Value& object,
                                                           bool prettyPrinted = false,
                                                           NSError* error = nullptr);
};
