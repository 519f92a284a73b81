#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

#include "LocalServer.h"

// The map store's file server on 127.0.0.1: serves the files under a root
// folder with Content-Length, Accept-Ranges, Last-Modified, ETag (the quoted
// MD5) and X-Amz-Meta-Md5-Hash, answers HEAD, and handles Range and If-Range
// itself (206 with Content-Range, the last N bytes for "bytes=-N", 416 past
// the end or for "bytes=-0", 200 when If-Range names another version of the
// file). A path with a NUL in it is refused with 400.
//
// With a test-data folder (--test-control DIR) it also takes faults for
// tests, per path and switchable while it runs; without one these paths do
// not exist, so the server that scripts/run starts cannot be steered:
//   POST /_control/fault?path=P[&cut=K][&throttle=B][&status=N][&ignoreRange=1]
//        [&lieRange=1][&badMd5=1][&replaceWith=FILE][&count=N][&noLength=1]
//        [&endless=1][&padTo=N][&hold=1]
//     cut: close the connection after K bytes of the body; throttle: send at
//     most B (at least 1) bytes a second; status: answer N (200 to 599);
//     ignoreRange: answer 200; lieRange: a 206 whose Content-Range claims the
//     range starts at 0; badMd5: a wrong X-Amz-Meta-Md5-Hash; replaceWith:
//     once the request has ended, the file is replaced by the content of
//     FILE, a file under the test-data folder; count: the fault serves the
//     next N (at least 1) requests of the path only (default: until cleared);
//     noLength: the body is sent chunked, without Content-Length; endless:
//     chunked too, and zero bytes follow the file until the client leaves;
//     padTo: Content-Length N (1 to 2^40), zero bytes after the file up to it;
//     hold: the answer waits until the path is released.
//     Any other parameter or value is refused with 400 and changes nothing.
//   POST /_control/release?path=P   lets the held answers of P go, and
//                                   those that come later
//   POST /_control/clear[?path=P]   ends the faults of P (or all)
//   GET  /_log                      the latest requests as JSON (method, path,
//                                   range, ifRange, status)
//   POST /_control/resetLog         forgets the log
class MapStoreServer {
  public:
    // `testData`: the folder replaceWith may take files from; nullopt: no
    // control endpoints.
    MapStoreServer(std::string root, std::optional<std::string> testData);

    // Binds to 127.0.0.1 (port 0: a free one); answers the port or -1.
    int bind(int port);
    // How long a client may take no byte of its answer before it is reset
    // (LocalServer::kWriteTimeout unless set).
    void setWriteTimeout(std::chrono::seconds timeout);
    void listen();
    void stop();

  private:
    struct Fault {
        std::optional<uint64_t> cutAfter;
        std::optional<uint64_t> throttle;
        std::optional<int> status;
        bool ignoreRange = false;
        bool lieRange = false;
        bool badMd5 = false;
        bool noLength = false;
        bool endless = false;
        std::optional<uint64_t> padTo;
        bool hold = false;
        std::optional<std::string> replaceWith;
        int remaining = -1;  // requests left; -1: until cleared
    };

    void addControlEndpoints();
    // The fault a control request describes, or why it is refused.
    std::optional<Fault> faultFromRequest(const httplib::Request& request,
                                          std::string& refusal) const;
    void serve(const httplib::Request& request, httplib::Response& response);
    std::optional<Fault> takeFault(const std::string& path);
    // Waits until the path is released or the server stops.
    void waitForRelease(const std::string& path);
    std::optional<std::string> filePathFor(const std::string& requestPath) const;
    void record(const httplib::Request& request, const httplib::Response& response);

    const std::string root_;
    const std::optional<std::string> testData_;
    LocalServer server_;
    std::mutex mutex_;
    std::map<std::string, Fault> faults_;
    std::set<std::string> released_;
    std::condition_variable releases_;
    bool stopping_ = false;
    std::map<std::string, std::string> pendingReplacements_;  // by request path
    std::deque<nlohmann::json> log_;
};
