#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "Dispatch/DispatchWorkList.h"
#include "Foundation/NSDate.h"

// The main thread's run loop: runs blocks posted from any thread, timers and
// delayed blocks, in the order they become due. Only the main thread runs it;
// any thread may post to it. Blocks that were posted but not yet run when a
// test ends run in a later test's loop, so tests drain what they post.
//
// At process exit the loop closes: pending blocks are dropped and later ones
// refused, so a worker waiting on the main thread does not hang the exit.
class NSRunLoop {
  public:
    using Block = std::function<void()>;

    static std::shared_ptr<NSRunLoop> mainRunLoop();

    // Runs until stop() is called (from a block or another thread). A stop()
    // while no run() is under way makes the next run() return at once, so a
    // stop sent just before the loop starts is not lost.
    void run();
    void stop();
    // Runs until the date has passed.
    void runUntilDate(NSDate limit);
    // Runs until `predicate` holds or `timeoutSeconds` have passed; answers
    // whether it holds. The predicate is checked before each block and at
    // least every few milliseconds, so it may watch state other threads change.
    bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds);

    void performBlock(Block block);
    void performBlockAt(DispatchWorkList::Clock::time_point when, Block block);
    // Makes a waiting run return to check its predicate or stop request.
    void wakeUp();

    // Drops pending blocks and refuses new ones; done once at process exit.
    void close();

    NSRunLoop() = default;

  private:
    void runOne(DispatchWorkList::Clock::time_point deadline);

    DispatchWorkList work_;
    std::atomic<bool> stopRequested_ = false;
};
