#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
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
struct NetTransferHandlers {
    std::function<void(const NSHTTPURLResponse&)> response;
    // Answers an error to stop the transfer with it (a full disk, too much data).
    std::function<std::optional<NSError>(const char* bytes, size_t length)> data;
    std::function<void(const std::optional<NSError>&)> complete;
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
    void expireIdleTransfers();

    void* multi_;  // CURLM*
    std::mutex mutex_;
    std::vector<std::unique_ptr<Transfer>> pending_;
    std::vector<TransferID> cancels_;
    bool stopping_ = false;
    TransferID nextID_ = 1;
    // Touched by the engine thread only.
    std::map<TransferID, std::unique_ptr<Transfer>> active_;
    std::thread thread_;
};
