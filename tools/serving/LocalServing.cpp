#include "LocalServing.h"

#include <charconv>
#include <cstdio>

std::optional<uint64_t> parseDecimal(std::string_view text) {
    uint64_t value = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<int> parsePort(const char* program, std::string_view text) {
    const auto value = parseDecimal(text);
    if (!value || *value > 65535) {
        std::fprintf(stderr, "%s: --port must be a number from 0 to 65535\n", program);
        return std::nullopt;
    }
    return int(*value);
}
