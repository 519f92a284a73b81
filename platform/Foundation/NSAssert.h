#pragma once

#include <cstdarg>

// Programming errors. A failed assertion logs
// "*** Assertion failure in <file>:<line>, <message>" and aborts the process:
// the caller never goes on with a broken precondition (no out-of-bounds
// access after a failed bounds check).
[[noreturn]] void NSAssertionFailure(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// NSAssert(condition, "CBGeoData/CBCoordinatePath", "Segment %zu beyond bounds", i)
#define NSAssert(condition, file, ...)                       \
    do {                                                     \
        if (!(condition))                                    \
            NSAssertionFailure(file, __LINE__, __VA_ARGS__); \
    } while (0)
