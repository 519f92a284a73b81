#pragma once

#include <optional>
#include <string>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// Whole-file reading and writing of Value::Data.

// The file's bytes; nullopt (and an error) when it cannot be read or is larger
// than maximumSize.
std::optional<Value::Data> dataWithContentsOfFile(const std::string& path, NSError* error = nullptr,
                                                  size_t maximumSize = size_t{1} << 30);

// Atomically: a temporary file in the same folder, flushed to disk, then
// renamed over the path, so readers see the old or the new file, never a part.
bool writeDataToFile(const Value::Data& data, const std::string& path, bool atomically,
                     NSError* error = nullptr);
