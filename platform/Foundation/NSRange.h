#pragma once

#include <cstddef>

// A range of a string: a start and a length (bytes of UTF-8 text here).
struct NSRange {
    size_t location = 0;
    size_t length = 0;

    size_t end() const { return location + length; }
    bool operator==(const NSRange&) const = default;
};

inline NSRange NSMakeRange(size_t location, size_t length) {
    return {location, length};
}
