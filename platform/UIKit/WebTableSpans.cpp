#include "UIKit/WebTableSpans.h"

#include <algorithm>
#include <cstdlib>
#include <string>

long WebClampedTableSpan(std::string_view value) {
    const std::string text(value);
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || number < 1)
        return 1;
    return std::min(number, kWebMaximumTableSpan);
}
