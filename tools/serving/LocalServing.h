#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A decimal number of digits only that fits in 64 bits; nullopt for an
// empty text, a sign, other characters or an overflow.
std::optional<uint64_t> parseDecimal(std::string_view text);

// The port a server is asked to listen on (--port): a decimal number from 0
// (any free port) to 65535; nullopt for anything else, which it tells on
// standard error in the words of `program`.
std::optional<int> parsePort(const char* program, std::string_view text);
