#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Array access that tolerates bad indices and absent objects.

// The element, or nullopt when index is not below the count.
template <typename T>
std::optional<T> objectAtIndexSafe(const std::vector<T>& array, size_t index) {
    return index < array.size() ? std::optional<T>(array[index]) : std::nullopt;
}

// For arrays of objects: the object, or nullptr.
template <typename T>
std::shared_ptr<T> objectAtIndexSafe(const std::vector<std::shared_ptr<T>>& array, size_t index) {
    return index < array.size() ? array[index] : nullptr;
}

// The elements of [location, location + length) that exist; empty when the
// range starts beyond the end.
template <typename T>
std::vector<T> subarrayWithRangeSafe(const std::vector<T>& array, size_t location, size_t length) {
    if (location >= array.size()) {
        return {};
    }
    const size_t end = location + std::min(length, array.size() - location);
    return std::vector<T>(array.begin() + long(location), array.begin() + long(end));
}

// Adds the object unless it is null.
template <typename T>
void addObjectSafe(std::vector<std::shared_ptr<T>>& array, const std::shared_ptr<T>& object) {
    if (object) {
        array.push_back(object);
    }
}

template <typename T>
void addObjectSafe(std::vector<T>& array, const std::optional<T>& object) {
    if (object) {
        array.push_back(*object);
    }
}

// Adds the string when it is not empty (an absent string is empty).
inline void addNonEmptyStringSafe(std::vector<std::string>& array,
                                  const std::optional<std::string>& string) {
    if (string && !string->empty()) {
        array.push_back(*string);
    }
}
