#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/BITHTTPOperation.h"

// Runs HTTP operations one at a time, in the order they were added, so one
// client's uploads are strictly sequential.
class BITHTTPOperationQueue : public std::enable_shared_from_this<BITHTTPOperationQueue> {
  public:
    void addOperation(const std::shared_ptr<BITHTTPOperation>& operation);
    // The operations waiting or running.
    std::vector<std::shared_ptr<BITHTTPOperation>> operations() const;
    size_t maxConcurrentOperationCount() const { return 1; }

  private:
    void startNext();
    void operationFinished(const std::shared_ptr<BITHTTPOperation>& operation);

    mutable std::mutex mutex_;
    std::deque<std::shared_ptr<BITHTTPOperation>> waiting_;
    std::shared_ptr<BITHTTPOperation> running_;
};
