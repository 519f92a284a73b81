#pragma once

#include <memory>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchWorkList.h"

// A queue whose blocks run one at a time, in submission order, on its own
// thread. Internal to Dispatch; made by DispatchQueue::createSerial().
class SerialDispatchQueue : public DispatchQueue {
  public:
    static std::shared_ptr<SerialDispatchQueue> create(std::string label);

    explicit SerialDispatchQueue(std::string label);
    // The thread finishes the submitted blocks on its own; waiting for it
    // here could deadlock a releasing thread the blocks wait on.
    ~SerialDispatchQueue() override;

    void async(Block block) override;
    void sync(Block block) override;
    void after(double seconds, Block block) override;

  private:
    std::shared_ptr<DispatchWorkList> work_;
};
