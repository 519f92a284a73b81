#include "Foundation/NSAssert.h"

#include <cstdio>
#include <cstdlib>
#include <string>

void NSAssertionFailure(const char* file, int line, const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    const std::string text = std::string("*** Assertion failure in ") + file + ":" +
                             std::to_string(line) + ", " + message;
    // Straight to standard error, not through a log sink that might swallow the
    // reason for the abort.
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    std::abort();
}
