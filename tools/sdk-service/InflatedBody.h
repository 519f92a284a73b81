#pragma once

#include <string>

// A gzip or zlib ("deflate") body unpacked, stopping as soon as it grows past
// `limit` bytes: a small upload must not become gigabytes in memory.
struct InflatedBody {
    enum class Outcome { Inflated, TooLarge, Malformed };
    Outcome outcome = Outcome::Malformed;
    std::string bytes;  // when Inflated

    static InflatedBody inflate(const std::string& body, size_t limit);
};
