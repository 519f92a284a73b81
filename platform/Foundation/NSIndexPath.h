#pragma once

#include <compare>
#include <cstddef>
#include <functional>

// A row (or item) within a section of a table or collection. Ordered by
// section, then row, the order in which tables show them.
struct NSIndexPath {
    long section = 0;
    long row = 0;

    static constexpr NSIndexPath indexPathForRowInSection(long row, long section) {
        return {section, row};
    }
    static constexpr NSIndexPath indexPathForItemInSection(long item, long section) {
        return {section, item};
    }
    constexpr long item() const { return row; }

    constexpr auto operator<=>(const NSIndexPath&) const = default;
};

template <>
struct std::hash<NSIndexPath> {
    size_t operator()(const NSIndexPath& path) const noexcept {
        const size_t s = std::hash<long>()(path.section);
        return s ^ (std::hash<long>()(path.row) + 0x9e3779b97f4a7c15ULL + (s << 6) + (s >> 2));
    }
};
