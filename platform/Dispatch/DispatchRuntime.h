#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Dispatch/DispatchWorkList.h"

// The threads behind the dispatch queues and their end with the process.
// Internal to Dispatch.
//
// Worker threads are detached, so releasing a queue never waits on its
// thread (which might itself be waiting on the releasing thread). At the
// program's end the runtime closes the main run loop and every worker's list,
// dropping pending blocks, asks running blocks to stop and waits a bounded
// time for them. A block that does not stop in time is never run over: the
// process then leaves without its exit handlers, so no static it reads is
// destroyed under it.
class DispatchRuntime {
  public:
    // The runtime; the first call arms its end at exit.
    static DispatchRuntime& shared();

    // Runs `body` on a new worker thread, which ends when `body` returns.
    // `work` is the list the worker takes from, closed at the end. Answers
    // false and starts nothing once the program is ending.
    bool startWorker(const std::shared_ptr<DispatchWorkList>& work, std::function<void()> body);

    // Runs `hook` when the program ends (DispatchEndHooks.h); at once when
    // it is ending already.
    void addEndHook(std::function<void()> hook);

    // Asks blocks to stop (isEnding), closes every list, runs the end hooks
    // and waits for the running blocks, at most kShutdownWait. The first call
    // does it; every call answers whether all blocks ended.
    bool shutdown();
    bool isEnding() const { return ending_; }

    // shutdown(), then the end of the process with `status`: through the
    // exit handlers when every block ended, else without them.
    [[noreturn]] void exitProcess(int status);

  private:
    // What must outlive the process is written out (the user defaults, the
    // standard streams); then the process ends at once.
    [[noreturn]] static void leaveWithoutExitHandlers(int status);
    static void endAtExit(int status, void*);

    std::mutex mutex_;
    std::condition_variable workerEnded_;
    std::vector<std::weak_ptr<DispatchWorkList>> lists_;
    std::vector<std::function<void()>> endHooks_;
    int liveWorkers_ = 0;
    bool shutDown_ = false;
    // Whether the end has waited out the running blocks, and whether all ended.
    bool decided_ = false;
    bool allEnded_ = true;
    std::atomic<bool> ending_{false};
};
