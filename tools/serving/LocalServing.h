#pragma once

#include <httplib.h>

#include <cstdint>
#include <optional>
#include <string_view>

// Sets up a local server so that a few clients cannot hold everyone else:
// a pool of many workers (a connection holds one while it sends its request)
// and short waits for a request's next bytes and for the next request on a
// kept-alive connection.
void configureLocalServer(httplib::Server& server);

// The number of workers configureLocalServer gives a server.
unsigned localServerWorkerCount();

// A decimal number of digits only that fits in 64 bits; nullopt for an
// empty text, a sign, other characters or an overflow.
std::optional<uint64_t> parseDecimal(std::string_view text);
