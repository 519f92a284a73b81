#pragma once

#include <string>

#include "MemoryBudget.h"

// A gzip or zlib ("deflate") body unpacked, stopping as soon as it grows past
// `limit` bytes: a small upload must not become gigabytes in memory. The
// bytes are taken of the request's claim on the memory budget in pieces as
// they come, a small one first, so that a body takes what it unpacks to
// rather than the bound; the claim keeps them until the request ends.
struct InflatedBody {
    enum class Outcome { Inflated, TooLarge, Malformed, NoRoom };
    Outcome outcome = Outcome::Malformed;
    std::string bytes;  // when Inflated

    static InflatedBody inflate(const std::string& body, size_t limit, MemoryClaim& claim);
};
