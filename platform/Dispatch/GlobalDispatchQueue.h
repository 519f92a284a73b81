#pragma once

#include <memory>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchWorkList.h"

// The concurrent queue: a fixed pool of worker threads, one per processor and
// at least two, takes blocks in submission order and runs them side by side.
// Internal to Dispatch; reached through DispatchQueue::global().
class GlobalDispatchQueue : public DispatchQueue {
  public:
    GlobalDispatchQueue();
    // Starts the pool; once, after the queue is owned by a shared_ptr.
    void startWorkers();

    void async(Block block) override;
    void sync(Block block) override;
    void after(double seconds, Block block) override;

  private:
    std::shared_ptr<DispatchWorkList> work_;
};
