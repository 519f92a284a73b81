#include "LocalServing.h"

#include <algorithm>
#include <charconv>
#include <thread>

namespace {

// A client that has said nothing for this long is cut off; a request on
// 127.0.0.1 arrives at once.
constexpr time_t kReadTimeoutSeconds = 2;
constexpr time_t kKeepAliveSeconds = 2;

}  // namespace

unsigned localServerWorkerCount() {
    return std::max(64u, 4 * std::thread::hardware_concurrency());
}

void configureLocalServer(httplib::Server& server) {
    const unsigned workers = localServerWorkerCount();
    server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    server.set_read_timeout(kReadTimeoutSeconds, 0);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
}

std::optional<uint64_t> parseDecimal(std::string_view text) {
    uint64_t value = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}
