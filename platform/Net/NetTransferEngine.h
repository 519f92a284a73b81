#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "Foundation/NSError.h"
#include "Net/NSURLRequest.h"
#include "Net/NSURLResponse.h"

// Internal to Net: every transfer of the process runs on one thread that
// drives a libcurl multi handle, so many transfers proceed at once without a
// thread each. The thread ends with the program's background work
// (DispatchAddEndHook): transfers under way complete as cancelled, later ones
// at once, so nothing waits for them and no handler runs while the exit
// handlers tear down what it uses.
//
// A transfer's handlers run on that thread, in order: `response` once, before
// the first body byte (or at the end for a body-less reply), then `data` per
// chunk, then `complete` exactly once. Handlers must be quick and must not
// wait for another transfer; they hand the work to a queue.
//
// With `redirect` set, a request that follows redirects asks before each one:
// the handler hears the redirect reply and the request that would follow it,
// and answers through `decide` at any time, from any thread: the request to
// send next, or nullopt to end the transfer with the redirect reply as its
// answer (its response, body and completion then come as for any reply).
struct NetTransferHandlers {
    using RedirectDecision = std::function<void(std::optional<NSURLRequest>)>;

    std::function<void(const NSHTTPURLResponse&)> response;
    // Answers an error to stop the transfer with it (a full disk, too much data).
    std::function<std::optional<NSError>(const char* bytes, size_t length)> data;
    std::function<void(const std::optional<NSError>&)> complete;
    std::function<void(const NSHTTPURLResponse&, const NSURLRequest&, RedirectDecision)> redirect;
};

class NetTransferEngine {
  public:
    using TransferID = uint64_t;

    static NetTransferEngine& shared();

    TransferID start(const NSURLRequest& request, NetTransferHandlers handlers);
    // The transfer completes with NSURLErrorCancelled unless it already ended.
    void cancel(TransferID transfer);

    NetTransferEngine(const NetTransferEngine&) = delete;
    NetTransferEngine& operator=(const NetTransferEngine&) = delete;

    struct Transfer;

  private:
    NetTransferEngine();
    void run();
    // Ends the thread and completes every transfer as cancelled; once, at
    // the program's end.
    void stop();
    void addTransfer(std::unique_ptr<Transfer> transfer);
    void finish(Transfer* transfer, std::optional<NSError> error);
    // Drops an active transfer and tells its completion handler.
    void complete(Transfer* transfer, const std::optional<NSError>& error);
    // Puts a redirect reply to the transfer's handler; the transfer waits.
    void askRedirect(Transfer* transfer);
    void applyRedirectDecision(TransferID id, std::optional<NSURLRequest> request);
    void expireIdleTransfers();

    void* multi_;  // CURLM*
    std::mutex mutex_;
    std::vector<std::unique_ptr<Transfer>> pending_;
    std::vector<TransferID> cancels_;
    std::vector<std::pair<TransferID, std::optional<NSURLRequest>>> decisions_;
    bool stopping_ = false;
    TransferID nextID_ = 1;
    // Touched by the engine thread only.
    std::map<TransferID, std::unique_ptr<Transfer>> active_;
    // Transfers whose redirect waits for a decision.
    std::map<TransferID, std::unique_ptr<Transfer>> awaiting_;
    std::thread thread_;
};
