#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "Dispatch/DispatchQueue.h"

// Makes sure a search's completion runs exactly once on the main thread.
// The search delivers through deliver(); every path that ends without a
// delivery (no hit, a failed fetch, a stack that went away, a manager that
// was released with the job queued) ends in finish() or in the destructor,
// which hand the caller the empty result. A job replaced by newer typing is
// superseded and says nothing.
template <typename Result>
class CBGeoSearchCompletion {
  public:
    using Block = std::function<void(const Result&)>;

    explicit CBGeoSearchCompletion(Block block) : block_(std::move(block)) {}
    ~CBGeoSearchCompletion() { finish(); }
    CBGeoSearchCompletion(const CBGeoSearchCompletion&) = delete;
    CBGeoSearchCompletion& operator=(const CBGeoSearchCompletion&) = delete;

    // Calls the block now (on the calling thread, the main one) unless the
    // job was already answered.
    void deliver(const Result& result) {
        if (done_.exchange(true))
            return;
        if (Block block = takeBlock())
            block(result);
    }
    // Answers the empty result on the main queue unless the job was answered
    // or superseded.
    void finish() {
        if (superseded_ || done_.exchange(true))
            return;
        if (Block block = takeBlock())
            DispatchQueue::main()->async([block] { block(Result{}); });
    }
    // A newer call took over: this job's block is never called.
    void supersede() { superseded_ = true; }
    // A repeated call for the text still pending: the pending job answers
    // the newer caller's block instead.
    void replaceBlock(Block block) {
        std::lock_guard lock(mutex_);
        block_ = std::move(block);
    }

  private:
    Block takeBlock() {
        std::lock_guard lock(mutex_);
        return std::exchange(block_, nullptr);
    }

    std::mutex mutex_;
    Block block_;
    std::atomic<bool> done_{false};
    std::atomic<bool> superseded_{false};
};
