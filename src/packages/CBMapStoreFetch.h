#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "Net/NSURLResponse.h"

// One request to the map store server, answered on the main queue: the body
// of a 200 answer, else nullopt (no connection, another status, a malformed
// URL). The response is there whenever the server answered.
namespace CBMapStoreFetch {

using Completion =
    std::function<void(std::optional<Value::Data> body, std::optional<NSHTTPURLResponse> response)>;

constexpr double kTimeout = 20.0;

// method "GET" or "HEAD"; the cache is never used.
void fetch(const std::string& url, const std::string& method, Completion completion);

}  // namespace CBMapStoreFetch
