#pragma once

#include <optional>

#include "Foundation/Value.h"

// gzip compression of byte buffers for the telemetry upload bodies.

// The gzip member of `data`; level 0.0 to 1.0 maps to zlib levels 0 to 9, a
// negative level means zlib's default. nullopt for empty data or a zlib failure.
std::optional<Value::Data> bit_gzippedDataWithCompressionLevel(const Value::Data& data,
                                                               float level);
std::optional<Value::Data> bit_gzippedData(const Value::Data& data);
// The bytes inside gzip or zlib data; nullopt for empty, truncated or corrupt
// input, or output beyond `maximumSize`.
std::optional<Value::Data> bit_gunzippedData(const Value::Data& data,
                                             size_t maximumSize = size_t{256} << 20);
