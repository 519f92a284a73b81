#pragma once

#include <optional>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// Property lists in XML and binary form. Reading detects the form.
// Malformed, truncated or hostile input gives nullopt and an error (domain
// "NSCocoaErrorDomain", code 3840), never a crash or an unbounded allocation.
class NSPropertyListSerialization {
  public:
    enum class Format { XML, Binary };

    static std::optional<Value> propertyListWithData(const Value::Data& data,
                                                     Format* format = nullptr,
                                                     NSError* error = nullptr);
    // Null values cannot be written (a property list has no null): nullopt and an error.
    static std::optional<Value::Data> dataWithPropertyList(const Value& plist, Format format,
                                                           NSError* error = nullptr);

    // File helpers: read a whole file, write atomically (temporary file and rename).
    static std::optional<Value> propertyListWithContentsOfFile(const std::string& path,
                                                               NSError* error = nullptr);
    static bool writePropertyListToFile(const Value& plist, const std::string& path, Format format,
                                        NSError* error = nullptr);
};
