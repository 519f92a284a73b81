#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>

// About the bytes a kept value holds: its texts, and for each value the
// value itself, its place in its object and its key.
constexpr size_t kKeptValueBytes = 96;

size_t keptBytes(const nlohmann::json& value);
