#include "foundation/ZELFormat.h"

#include <cstdio>
#include <cstring>

std::optional<std::string> ZELFormatWithDouble(std::string_view format, double value) {
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '\0')
            return std::nullopt;
        if (format[i] != '%')
            continue;
        ++i;
        if (i < format.size() && format[i] == '%')
            continue;
        while (i < format.size() && std::strchr("-+ #0", format[i]))
            ++i;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9')
            ++i;
        if (i < format.size() && format[i] == '.') {
            ++i;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9')
                ++i;
        }
        if (i >= format.size() || !std::strchr("fFeEgGaA", format[i]))
            return std::nullopt;
        ++conversions;
    }
    if (conversions != 1)
        return std::nullopt;
    const std::string fmt(format);
    const int size = std::snprintf(nullptr, 0, fmt.c_str(), value);
    if (size < 0)
        return std::nullopt;
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), fmt.c_str(), value);
    text.resize(static_cast<size_t>(size));
    return text;
}
