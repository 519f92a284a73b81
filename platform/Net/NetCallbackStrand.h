#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "Dispatch/DispatchQueue.h"

// Internal to Net: hands one transfer's callbacks to a queue one at a time and
// in order, also when the queue runs blocks concurrently (the global queue).
// A suspended strand keeps what is posted until it is resumed; a block may
// suspend the strand it runs on, and the blocks after it wait.
class NetCallbackStrand : public std::enable_shared_from_this<NetCallbackStrand> {
  public:
    explicit NetCallbackStrand(std::shared_ptr<DispatchQueue> queue) : queue_(std::move(queue)) {}

    void post(std::function<void()> block);
    void suspend();
    void resume();

  private:
    // With the lock held: whether a drain is to be handed to the queue now.
    bool claimDrainLocked();
    void scheduleDrain();
    void drain();

    std::shared_ptr<DispatchQueue> queue_;
    std::mutex mutex_;
    std::deque<std::function<void()>> blocks_;
    bool scheduled_ = false;
    bool suspended_ = false;
};
