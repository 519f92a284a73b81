#pragma once

#include <cstddef>

// A range of a string in UTF-16 code units, as the platform counts.
struct NSRange {
    size_t location = 0;
    size_t length = 0;
    bool operator==(const NSRange&) const = default;
};

inline NSRange NSMakeRange(size_t location, size_t length) {
    return {location, length};
}
