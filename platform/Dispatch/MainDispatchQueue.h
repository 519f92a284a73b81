#pragma once

#include "Dispatch/DispatchQueue.h"

// The main queue: its blocks run on the main run loop. Internal to Dispatch;
// reached through DispatchQueue::main().
class MainDispatchQueue : public DispatchQueue {
  public:
    MainDispatchQueue() : DispatchQueue("main") {}

    void async(Block block) override;
    void sync(Block block) override;
    void after(double seconds, Block block) override;
};
