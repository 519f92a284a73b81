#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A decimal number of digits only that fits in 64 bits; nullopt for an
// empty text, a sign, other characters or an overflow.
std::optional<uint64_t> parseDecimal(std::string_view text);

// A port a server may be asked to listen on: a decimal number from 0 (any
// free port) to 65535; nullopt for anything else.
std::optional<int> parsePort(std::string_view text);
