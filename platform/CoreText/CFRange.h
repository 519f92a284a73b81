#pragma once

#include <cstddef>

// A range of a string in UTF-16 code units, as the platform's strings count
// their length. A length of 0 in a range passed to Core Text means "to the end".
struct CFRange {
    long location = 0;
    long length = 0;
    bool operator==(const CFRange&) const = default;
};

constexpr CFRange CFRangeMake(long location, long length) {
    return {location, length};
}
